#pragma once
// The one rule both memo formats' integrity checks share: no two live values may claim the same
// blocks.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rf::tables {

struct MemoSpan {
  std::uint64_t first = 0;  // first block of a value
  std::uint64_t end = 0;    // one past its last block
};

// Sorts `spans` by first block and reports each block used by two values and each pair that
// overlaps, through `problem(what, file offset)`.
void reportMemoOverlaps(std::vector<MemoSpan>& spans, std::uint32_t blockSize,
                        const std::function<void(const std::string&, std::uint64_t)>& problem);

}  // namespace rf::tables
