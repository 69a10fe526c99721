#pragma once
// Stored keys of dBASE .MDX tags: 12-byte BCD numbers, 8-byte date doubles, padded text; and
// their order.

#include <cstdint>
#include <string>
#include <string_view>

namespace rf::tables::mdx {

constexpr int kNumericKeyLength = 12;
constexpr int kDateKeyLength = 8;

// A number as the 12-byte decimal key dBASE IV writes: byte 0 = 0x34 + digits before the point,
// byte 1 = significant digits << 2 | 1, with 0x80 for a negative number, then up to 20 digits as
// nibbles, most significant first. Zero is 34 01 00... Throws InvalidInput for a magnitude the
// exponent byte can't hold.
std::string encodeNumber(double v);
// The value of a stored numeric key (for diagnostics and tests).
double decodeNumber(std::string_view key);
// Numeric order of two stored numeric keys. Writers differ in byte 1, so only its sign bit
// counts: dBASE itself (jdbfdriver/TEST.MDX) put 10 digits there for 10 in an N(10) field, the
// siemens-s7 writer significant digits << 2 | 1, Free Pascal's TDbf (bytes used * 8) + 1.
int compareNumbers(std::string_view a, std::string_view b);

// A date (Julian day, 1721426 = 0001-01-01; 0 for blank) as an 8-byte little-endian double.
// No real file here has a date tag and no reader at hand decodes one: Perl XBase prints key
// bytes as they are (it walks our date tags in our order, see the tests) and TDbf refuses to
// build date tags at all. The Xbase64 library, written against dBASE's files, stores dates this
// way, with the same day numbers.
std::string encodeDate(double julianDay);
double decodeDate(std::string_view key);
int compareDates(std::string_view a, std::string_view b);

// Key order of one tag type: text (and unknown types) byte by byte, in the weights of
// `collation` when there is one (see mdx_collation.h), with a shorter key taken as a prefix;
// numbers and dates by value.
int compareKeys(char keyType, const std::uint8_t* collation, std::string_view a, std::string_view b);

}  // namespace rf::tables::mdx
