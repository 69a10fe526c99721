#pragma once
// Fuzz entry points for the table readers. Each takes one input, turns it into table files in
// memory, opens them, reads every record through every order and runs the integrity check. A
// TableError is the expected answer to a malformed file; anything else is a finding.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rf::fuzz {

// Input: byte 0 picks the family (even dBASE, odd FoxPro); two little-endian u32 lengths; then
// the .DBF bytes, the memo bytes and the index bytes (the rest).
void fuzzXbase(const std::uint8_t* data, std::size_t size);

// Builds an input of that layout from the files of a table.
std::vector<std::uint8_t> packXbase(bool foxpro, const std::vector<std::uint8_t>& dbf,
                                    const std::vector<std::uint8_t>& memo, const std::vector<std::uint8_t>& index);

// Input: three little-endian u32 lengths, then the .DB, .PX and .MB bytes, and the rest as a
// secondary index .X02.
void fuzzParadox(const std::uint8_t* data, std::size_t size);
std::vector<std::uint8_t> packParadox(const std::vector<std::uint8_t>& db, const std::vector<std::uint8_t>& px,
                                      const std::vector<std::uint8_t>& mb, const std::vector<std::uint8_t>& x02);

}  // namespace rf::fuzz
