#include "tables/paradox_collation.h"

#include <cstring>

#include "tables/schema.h"

namespace rf::tables::paradox {

namespace {

char32_t firstCodePoint(const std::string& s) {
  if (s.empty()) return 0;
  auto b = static_cast<unsigned char>(s[0]);
  if (b < 0x80) return b;
  int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
  char32_t c = b & (0x3F >> extra);
  for (int i = 1; i <= extra && i < static_cast<int>(s.size()); ++i)
    c = (c << 6) | (static_cast<unsigned char>(s[static_cast<std::size_t>(i)]) & 0x3F);
  return c;
}

// The unaccented capital a Latin letter sorts with, or 0 for anything else.
char baseLetter(char32_t c) {
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c);
  static const char kLatin1[] =
      "AAAAAAACEEEEIIII"   // U+00C0
      "DNOOOOO\0OUUUUYTS"  // U+00D0 (x sign, thorn, sharp s)
      "AAAAAAACEEEEIIII"   // U+00E0
      "DNOOOOO\0OUUUUYTY";  // U+00F0 (division sign, thorn, y diaeresis)
  if (c >= 0xC0 && c <= 0xFF) return kLatin1[c - 0xC0];
  switch (c) {
    case 0x160: case 0x161: return 'S';
    case 0x152: case 0x153: return 'O';
    case 0x17D: case 0x17E: return 'Z';
    case 0x178: return 'Y';
    default: return 0;
  }
}

}  // namespace

bool Collation::isBinaryOrder(const std::string& name) { return name.empty() || equalsNoCase(name, "ascii"); }

Collation::Collation(const CodePage& cp, bool binary) : binary_(binary) {
  std::string up;
  for (int b = 0; b < 256; ++b) {
    std::string one(1, static_cast<char>(b));
    up = cp.upper(one);
    upper_[b] = static_cast<std::uint8_t>(up.empty() ? b : static_cast<unsigned char>(up[0]));
  }
  int n = cp.number();
  bool multiByte = n == 932 || n == 936 || n == 949 || n == 950;
  for (int b = 0; b < 256; ++b) {
    if (binary_ || multiByte) {
      weight_[b] = static_cast<std::uint16_t>(upper_[b]);
      continue;
    }
    char32_t c = b < 0x80 ? static_cast<char32_t>(b) : firstCodePoint(cp.toUtf8(std::string(1, static_cast<char>(b))));
    char letter = baseLetter(c);
    if (b == 0) weight_[b] = 0;
    else if (letter) weight_[b] = static_cast<std::uint16_t>(0x300 + (letter - 'A'));
    else if (c >= '0' && c <= '9') weight_[b] = static_cast<std::uint16_t>(0x200 + (c - '0'));
    else if (b < 0x80) weight_[b] = static_cast<std::uint16_t>(b);
    else weight_[b] = static_cast<std::uint16_t>(0x100 + (b - 0x80));
  }
}

int Collation::compare(const std::uint8_t* a, const std::uint8_t* b, std::size_t n, bool ignoreCase) const {
  if (binary_) {
    if (!ignoreCase) return std::memcmp(a, b, n);
    for (std::size_t i = 0; i < n; ++i)
      if (upper_[a[i]] != upper_[b[i]]) return upper_[a[i]] < upper_[b[i]] ? -1 : 1;
    return 0;
  }
  for (std::size_t i = 0; i < n; ++i)
    if (weight_[a[i]] != weight_[b[i]]) return weight_[a[i]] < weight_[b[i]] ? -1 : 1;
  return ignoreCase ? 0 : std::memcmp(a, b, n);
}

KeyOrder::KeyOrder(std::vector<KeyPart> parts, const Collation* collation)
    : parts_(std::move(parts)), collation_(collation) {
  for (const auto& p : parts_) length_ = std::max<std::size_t>(length_, p.offset + p.length);
}

int KeyOrder::compare(const std::uint8_t* a, const std::uint8_t* b, std::size_t parts) const {
  std::size_t n = std::min(parts, parts_.size());
  for (std::size_t i = 0; i < n; ++i) {
    const KeyPart& p = parts_[i];
    int c = p.alpha && collation_ ? collation_->compare(a + p.offset, b + p.offset, p.length, p.ignoreCase)
                                  : std::memcmp(a + p.offset, b + p.offset, p.length);
    if (c != 0) return p.descending ? (c < 0 ? 1 : -1) : (c < 0 ? -1 : 1);
  }
  return 0;
}

}  // namespace rf::tables::paradox
