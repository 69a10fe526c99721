#include "tables/mdx_keys.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tables/error.h"

namespace rf::tables::mdx {

namespace {

constexpr int kDigitBytes = 10;
constexpr int kMaxDigits = 2 * kDigitBytes;

int nibble(std::string_view key, int i) {
  auto b = static_cast<unsigned char>(key[2 + static_cast<std::size_t>(i / 2)]);
  return (i % 2 == 0) ? b >> 4 : b & 0x0F;
}

// Sign, exponent (digits before the point) and digits with leading zeros moved into the
// exponent, so keys from writers that don't normalise still order correctly.
struct Decimal {
  int sign = 0;  // -1, 0, 1
  int exponent = 0;
  int first = 0;  // index of the first significant nibble
};

Decimal decimalOf(std::string_view key) {
  Decimal d;
  int first = 0;
  while (first < kMaxDigits && nibble(key, first) == 0) ++first;
  if (first == kMaxDigits) return d;  // zero, whatever the exponent byte says
  d.sign = (static_cast<unsigned char>(key[1]) & 0x80) ? -1 : 1;
  d.exponent = static_cast<unsigned char>(key[0]) - 0x34 - first;
  d.first = first;
  return d;
}

int compareMagnitude(std::string_view a, const Decimal& da, std::string_view b, const Decimal& db) {
  if (da.exponent != db.exponent) return da.exponent < db.exponent ? -1 : 1;
  for (int i = 0; i < kMaxDigits; ++i) {
    int x = da.first + i < kMaxDigits ? nibble(a, da.first + i) : 0;
    int y = db.first + i < kMaxDigits ? nibble(b, db.first + i) : 0;
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

}  // namespace

std::string encodeNumber(double v) {
  std::string key(kNumericKeyLength, '\0');
  if (!std::isfinite(v) || v == 0) {
    key[0] = 0x34;
    key[1] = 0x01;
    return key;
  }
  bool negative = v < 0;
  // 15 significant digits: what a double read from a field's decimal text carries.
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(v));
  std::string digits;
  digits += buf[0];
  digits.append(buf + 2, 14);
  int exponent = std::atoi(buf + 17) + 1;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int head = 0x34 + exponent;
  if (head < 0 || head > 0xFF) throwError(ErrorKind::InvalidInput, {}, "Number too large for an index key");
  key[0] = static_cast<char>(head);
  key[1] = static_cast<char>((static_cast<int>(digits.size()) << 2) | 0x01 | (negative ? 0x80 : 0));
  for (std::size_t i = 0; i < digits.size(); ++i) {
    int d = digits[i] - '0';
    auto& byte = key[2 + i / 2];
    byte = static_cast<char>(static_cast<unsigned char>(byte) | (i % 2 == 0 ? d << 4 : d));
  }
  return key;
}

double decodeNumber(std::string_view key) {
  if (key.size() < static_cast<std::size_t>(kNumericKeyLength)) return 0;
  Decimal d = decimalOf(key);
  if (d.sign == 0) return 0;
  // Built in a fixed buffer: GCC 12 at -O3 misreads string appends here as overlapping copies.
  char text[2 + kMaxDigits + 16];
  int n = 0;
  text[n++] = '0';
  text[n++] = '.';
  for (int i = d.first; i < kMaxDigits; ++i) text[n++] = static_cast<char>('0' + nibble(key, i));
  std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), "e%d", d.exponent);
  return d.sign * std::strtod(text, nullptr);
}

int compareNumbers(std::string_view a, std::string_view b) {
  auto ua = reinterpret_cast<const unsigned char*>(a.data());
  auto ub = reinterpret_cast<const unsigned char*>(b.data());
  // The common case: both normalised with the same exponent and sign.
  if (ua[0] == ub[0] && ((ua[1] ^ ub[1]) & 0x80) == 0 && ua[2] >= 0x10 && ub[2] >= 0x10) {
    int c = std::memcmp(ua + 2, ub + 2, kDigitBytes);
    c = c < 0 ? -1 : (c > 0 ? 1 : 0);
    return (ua[1] & 0x80) ? -c : c;
  }
  Decimal da = decimalOf(a), db = decimalOf(b);
  if (da.sign != db.sign) return da.sign < db.sign ? -1 : 1;
  if (da.sign == 0) return 0;
  int c = compareMagnitude(a, da, b, db);
  return da.sign < 0 ? -c : c;
}

std::string encodeDate(double julianDay) {
  std::uint64_t bits;
  std::memcpy(&bits, &julianDay, sizeof bits);
  std::string key(kDateKeyLength, '\0');
  for (int i = 0; i < 8; ++i) key[static_cast<std::size_t>(i)] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  return key;
}

double decodeDate(std::string_view key) {
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | static_cast<unsigned char>(key[static_cast<std::size_t>(i)]);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

int compareDates(std::string_view a, std::string_view b) {
  double x = decodeDate(a), y = decodeDate(b);
  // A NaN (a damaged key) sorts first so that the order stays total.
  bool nx = std::isnan(x), ny = std::isnan(y);
  if (nx || ny) return nx == ny ? 0 : (nx ? -1 : 1);
  return x < y ? -1 : (x > y ? 1 : 0);
}

int compareKeys(char keyType, const std::uint8_t* collation, std::string_view a, std::string_view b) {
  if ((keyType == 'N' || keyType == 'F') && a.size() >= static_cast<std::size_t>(kNumericKeyLength) &&
      b.size() >= static_cast<std::size_t>(kNumericKeyLength))
    return compareNumbers(a, b);
  if (keyType == 'D' && a.size() >= static_cast<std::size_t>(kDateKeyLength) &&
      b.size() >= static_cast<std::size_t>(kDateKeyLength))
    return compareDates(a, b);
  std::size_t n = std::min(a.size(), b.size());
  if (collation) {
    for (std::size_t i = 0; i < n; ++i) {
      std::uint8_t x = collation[static_cast<unsigned char>(a[i])], y = collation[static_cast<unsigned char>(b[i])];
      if (x != y) return x < y ? -1 : 1;
    }
    return 0;
  }
  int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace rf::tables::mdx
