#include "tables/cdx_key.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "tables/error.h"

namespace rf::tables::cdx {

namespace {

std::string doubleKey(double v) {
  if (v == 0) v = 0;  // -0 and +0 must share one key
  auto bits = std::bit_cast<std::uint64_t>(v);
  bits = (bits >> 63) ? ~bits : (bits | (std::uint64_t{1} << 63));
  std::string out(8, '\0');
  for (int i = 0; i < 8; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(bits >> (56 - 8 * i));
  return out;
}

std::string integerKey(std::int32_t v) {
  const std::uint32_t bits = static_cast<std::uint32_t>(v) ^ 0x80000000u;
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(bits >> (24 - 8 * i));
  return out;
}

double decodeDouble(std::string_view stored) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 8; ++i)
    bits = (bits << 8) | (i < stored.size() ? static_cast<unsigned char>(stored[i]) : 0u);
  bits = (bits >> 63) ? (bits & ~(std::uint64_t{1} << 63)) : ~bits;
  return std::bit_cast<double>(bits);
}

std::string upperTrimmed(std::string_view s) {
  std::string out;
  for (char c : s)
    if (!std::isspace(static_cast<unsigned char>(c)))
      out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool among(const std::string& name, std::initializer_list<const char*> names) {
  return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

// Keys of the binary encodings start with a byte >= 0x80 (values >= 0) or, inverted, carry
// bytes text seldom has: controls, and 0xFF where a negative number's mantissa had zeros.
bool looksBinary(const std::string& stored) {
  if (stored.empty()) return false;  // all filler: a blank text key, never a number
  if (static_cast<unsigned char>(stored[0]) >= 0x80) return true;
  return std::any_of(stored.begin(), stored.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F || b == 0xFF;
  });
}

}  // namespace

std::string encodeKey(const KeyShape& shape, const KeyValue& value, const std::string& path,
                      const std::string& tag) {
  const int len = shape.valueLength();
  std::string out;
  if (shape.nullable) out += '\x80';
  if (value.type == 'C') {
    std::string text = value.text.substr(0, static_cast<std::size_t>(std::max(0, len)));
    text.resize(static_cast<std::size_t>(std::max(0, len)), ' ');
    return out + text;
  }
  if (value.type != 'N' && value.type != 'D')
    throwError(ErrorKind::InvalidInput, path,
               "tag " + tag + ": unknown key type '" + std::string(1, value.type) + "'");
  if (std::isnan(value.number))
    throwError(ErrorKind::InvalidInput, path, "tag " + tag + ": a key cannot be NaN");
  if (len == 8) return out + doubleKey(value.number);
  if (len == 4) {
    const double v = value.number;
    if (v != std::floor(v) || v < -2147483648.0 || v > 2147483647.0)
      throwError(ErrorKind::InvalidInput, path,
                 "tag " + tag + ": " + std::to_string(v) + " does not fit an integer key");
    return out + integerKey(static_cast<std::int32_t>(v));
  }
  throwError(ErrorKind::Unsupported, path,
             "tag " + tag + ": numeric keys of " + std::to_string(len) + " bytes");
}

char inferKeyType(std::string_view expression, int valueLength,
                  const std::vector<std::string>& samples) {
  const std::string e = upperTrimmed(expression);
  if (e.find('"') != std::string::npos || e.find('\'') != std::string::npos) return 'C';
  if (valueLength != 4 && valueLength != 8) return 'C';
  if (const auto paren = e.find('('); paren != std::string::npos) {
    const std::string fn = e.substr(0, paren);
    if (among(fn, {"UPPER", "LOWER", "STR", "DTOS", "DTOC", "TTOC", "LEFT", "RIGHT", "SUBSTR",
                   "PADR", "PADL", "PADC", "TRIM", "RTRIM", "LTRIM", "ALLTRIM", "CHR",
                   "TRANSFORM", "PROPER", "SYS", "BINTOC", "STRTRAN", "CDOW", "CMONTH"}))
      return 'C';
    if (among(fn, {"CTOD", "DATE", "TTOD", "GOMONTH"}) && valueLength == 8) return 'D';
  }
  // A majority vote: a negative number can look like text ("?\xFF\xFF..." is -2), a text key
  // can start with an accented letter.
  const auto binary = std::count_if(samples.begin(), samples.end(), looksBinary);
  if (binary == 0 || 2 * static_cast<std::size_t>(binary) <= samples.size()) return 'C';
  if (valueLength == 4) return 'N';
  // Julian days of 0001-01-01 and 9999-12-31: a tag whose values are all whole days in that
  // span is taken for a date tag.
  const bool dates = std::all_of(samples.begin(), samples.end(), [](const std::string& s) {
    const double d = decodeDouble(s);
    return d == std::floor(d) && d >= 1721426.0 && d <= 5373484.0;
  });
  return dates ? 'D' : 'N';
}

}  // namespace rf::tables::cdx
