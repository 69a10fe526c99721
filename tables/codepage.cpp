#include "tables/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "tables/error.h"

namespace rf::tables {

namespace {

struct Known {
  int number;
  const char* iconvName;
  bool singleByte;
};

constexpr Known kKnown[] = {
    {437, "CP437", true},   {737, "CP737", true},   {775, "CP775", true},   {850, "CP850", true},
    {852, "CP852", true},   {855, "CP855", true},   {857, "CP857", true},   {860, "CP860", true},
    {861, "CP861", true},   {862, "CP862", true},   {863, "CP863", true},   {865, "CP865", true},
    {866, "CP866", true},   {874, "CP874", true},   {1250, "CP1250", true}, {1251, "CP1251", true},
    {1252, "CP1252", true}, {1253, "CP1253", true}, {1254, "CP1254", true}, {1255, "CP1255", true},
    {1256, "CP1256", true}, {1257, "CP1257", true}, {1258, "CP1258", true}, {10000, "MACINTOSH", true},
    {932, "CP932", false},  {936, "GBK", false},    {949, "CP949", false},  {950, "BIG5", false},
};

const Known* known(int number) {
  for (const auto& k : kKnown)
    if (k.number == number) return &k;
  return nullptr;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 character at s[i] and steps past it; returns U+FFFFFFFF for malformed input.
char32_t nextUtf8(std::string_view s, std::size_t& i) {
  constexpr char32_t kBad = 0xFFFFFFFF;
  auto b = static_cast<unsigned char>(s[i]);
  int extra;
  char32_t c;
  if (b < 0x80) {
    ++i;
    return b;
  } else if ((b >> 5) == 6) {
    extra = 1;
    c = b & 0x1F;
  } else if ((b >> 4) == 14) {
    extra = 2;
    c = b & 0x0F;
  } else if ((b >> 3) == 30) {
    extra = 3;
    c = b & 0x07;
  } else {
    ++i;
    return kBad;
  }
  for (int k = 1; k <= extra; ++k) {
    std::size_t at = i + static_cast<std::size_t>(k);
    if (at >= s.size()) {
      i = s.size();
      return kBad;
    }
    auto cb = static_cast<unsigned char>(s[at]);
    if ((cb & 0xC0) != 0x80) {
      i = at;
      return kBad;
    }
    c = (c << 6) | (cb & 0x3F);
  }
  i += static_cast<std::size_t>(extra) + 1;
  return c;
}

// iconv in one go; returns false when the input holds something the target can't represent.
bool convert(const char* to, const char* from, std::string_view in, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.assign(in.size() * 4 + 16, '\0');
  char* inp = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  char* outp = out.data();
  std::size_t outLeft = out.size();
  std::size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1)) return false;
  out.resize(out.size() - outLeft);
  return true;
}

std::string describeChar(char32_t c) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
  std::string s;
  appendUtf8(s, c);
  return "'" + s + "' (" + buf + ")";
}

}  // namespace

bool CodePage::isSupported(int number) { return known(number) != nullptr; }

CodePage::CodePage(int number) : number_(number) {
  const Known* k = known(number);
  if (!k) throwError(ErrorKind::Unsupported, {}, "code page " + std::to_string(number) + " is not supported");
  for (int b = 0; b < 128; ++b) high_[b] = static_cast<char32_t>(0x80 + b);
  if (!k->singleByte) return;
  // Built once per code page from the C library's tables; bytes the code page leaves undefined
  // keep the Latin-1 meaning (as Windows does), so every byte reads as something and writes back.
  static std::mutex mu;
  static std::vector<std::pair<int, std::vector<char32_t>>> cache;
  std::lock_guard<std::mutex> g(mu);
  for (const auto& [n, table] : cache)
    if (n == number) {
      std::memcpy(high_, table.data(), sizeof high_);
      return;
    }
  for (int b = 0; b < 128; ++b) {
    char in = static_cast<char>(0x80 + b);
    std::string out;
    if (convert("UTF-32LE", k->iconvName, std::string_view(&in, 1), out) && out.size() == 4) {
      high_[b] = static_cast<char32_t>(static_cast<unsigned char>(out[0]) | (static_cast<unsigned char>(out[1]) << 8) |
                                       (static_cast<unsigned char>(out[2]) << 16) |
                                       (static_cast<unsigned char>(out[3]) << 24));
    }
  }
  cache.emplace_back(number, std::vector<char32_t>(high_, high_ + 128));
}

std::string CodePage::toUtf8(std::string_view bytes) const {
  const Known* k = known(number_);
  if (!k->singleByte) {
    std::string out;
    if (convert("UTF-8", k->iconvName, bytes, out)) return out;
    // Undecodable bytes in a multi-byte file: keep what decodes byte by byte.
    out.clear();
    for (char c : bytes) appendUtf8(out, static_cast<unsigned char>(c) < 0x80 ? static_cast<char32_t>(c) : 0xFFFD);
    return out;
  }
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) out += ch;
    else appendUtf8(out, high_[b - 0x80]);
  }
  return out;
}

std::string CodePage::fromUtf8(std::string_view utf8, std::string_view what) const {
  const Known* k = known(number_);
  std::string suffix = what.empty() ? std::string() : " in field " + std::string(what);
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out += utf8[i++];
      continue;
    }
    std::size_t start = i;
    char32_t c = nextUtf8(utf8, i);
    if (c == 0xFFFFFFFF)
      throwError(ErrorKind::InvalidInput, {}, "text is not valid UTF-8" + suffix);
    if (k->singleByte) {
      int found = -1;
      for (int h = 0; h < 128; ++h)
        if (high_[h] == c) {
          found = h;
          break;
        }
      if (found < 0)
        throwError(ErrorKind::InvalidInput, {},
                   "the character " + describeChar(c) + suffix + " cannot be stored in code page " +
                       std::to_string(number_));
      out += static_cast<char>(0x80 + found);
    } else {
      std::string piece;
      if (!convert(k->iconvName, "UTF-8", utf8.substr(start, i - start), piece))
        throwError(ErrorKind::InvalidInput, {},
                   "the character " + describeChar(c) + suffix + " cannot be stored in code page " +
                       std::to_string(number_));
      out += piece;
    }
  }
  return out;
}

std::string CodePage::upper(std::string_view bytes) const {
  std::string out(bytes);
  const Known* k = known(number_);
  for (char& ch : out) {
    auto b = static_cast<unsigned char>(ch);
    if (b >= 'a' && b <= 'z') {
      ch = static_cast<char>(b - 32);
    } else if (b >= 0x80 && k->singleByte) {
      char32_t c = high_[b - 0x80];
      // Latin-1 supplement and Latin Extended-A, Greek and Cyrillic: the common letter ranges.
      char32_t u = c;
      if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) u = c - 0x20;
      else if (c >= 0x100 && c <= 0x17F && (c & 1) && c != 0x131 && c != 0x138 && c != 0x149) u = c - 1;
      else if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) u = c - 0x20;
      else if (c >= 0x430 && c <= 0x44F) u = c - 0x20;
      else if (c >= 0x450 && c <= 0x45F) u = c - 0x50;
      if (u != c)
        for (int h = 0; h < 128; ++h)
          if (high_[h] == u) {
            ch = static_cast<char>(0x80 + h);
            break;
          }
    }
  }
  return out;
}

std::size_t CodePage::fitChars(std::string_view utf8, std::size_t width) const {
  const Known* k = known(number_);
  std::size_t chars = 0, bytes = 0, i = 0;
  while (i < utf8.size()) {
    std::size_t start = i;
    char32_t c = nextUtf8(utf8, i);
    std::size_t need = 1;
    if (!k->singleByte && c >= 0x80) {
      std::string piece;
      need = convert(k->iconvName, "UTF-8", utf8.substr(start, i - start), piece) ? piece.size() : 1;
    }
    if (bytes + need > width) break;
    bytes += need;
    ++chars;
  }
  return chars;
}

int codePageOfLanguageDriver(std::uint8_t id) {
  switch (id) {
    case 0x01: case 0x09: case 0x0B: case 0x0D: case 0x0F: case 0x11: case 0x15: case 0x18:
    case 0x19: case 0x1B: return 437;
    case 0x02: case 0x0A: case 0x0E: case 0x10: case 0x12: case 0x14: case 0x16: case 0x1A:
    case 0x1D: case 0x25: case 0x37: return 850;
    case 0x03: case 0x57: case 0x58: case 0x59: return 1252;
    case 0x04: return 10000;
    case 0x08: case 0x17: case 0x66: return 865;
    case 0x13: case 0x7B: return 932;
    case 0x1C: case 0x6C: return 863;
    case 0x1F: case 0x22: case 0x23: case 0x40: case 0x64: case 0x87: return 852;
    case 0x24: return 860;
    case 0x26: case 0x65: return 866;
    case 0x4D: case 0x7A: return 936;
    case 0x4E: case 0x79: return 949;
    case 0x4F: case 0x78: return 950;
    case 0x50: case 0x7C: return 874;
    case 0x67: return 861;
    case 0x6A: case 0x86: return 737;
    case 0x6B: case 0x88: return 857;
    case 0x7D: return 1255;
    case 0x7E: return 1256;
    case 0xC8: return 1250;
    case 0xC9: return 1251;
    case 0xCA: return 1254;
    case 0xCB: return 1253;
    case 0xCC: return 1257;
    default: return 0;
  }
}

std::uint8_t languageDriverOfCodePage(int codePage, bool foxpro) {
  switch (codePage) {
    case 437: return 0x01;
    case 850: return 0x02;
    case 1252: return foxpro ? 0x03 : 0x57;
    case 852: return 0x64;
    case 866: return 0x65;
    case 865: return 0x66;
    case 861: return 0x67;
    case 857: return 0x6B;
    case 863: return 0x6C;
    case 1250: return 0xC8;
    case 1251: return 0xC9;
    case 1253: return 0xCB;
    case 1254: return 0xCA;
    case 1257: return 0xCC;
    case 1255: return 0x7D;
    case 1256: return 0x7E;
    case 874: return 0x7C;
    case 932: return 0x7B;
    case 936: return 0x7A;
    case 949: return 0x79;
    case 950: return 0x78;
    default: return 0x00;
  }
}

}  // namespace rf::tables
