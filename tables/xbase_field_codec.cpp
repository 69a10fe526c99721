#include "tables/xbase_field_codec.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "tables/error.h"

namespace rf::tables {

namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  return s;
}

std::int64_t sle(const std::uint8_t* p, int n) {
  std::uint64_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
  if (n < 8 && (p[n - 1] & 0x80)) v |= ~0ull << (8 * n);
  return static_cast<std::int64_t>(v);
}
void putle(std::uint8_t* p, std::uint64_t v, int n) {
  for (int i = 0; i < n; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool parseNumber(std::string_view s, double& out) {
  s = trimmed(s);
  if (s.empty()) return false;
  if (s.front() == '+') s.remove_prefix(1);
  if (s.find(',') == std::string_view::npos) {
    auto res = std::from_chars(s.data(), s.data() + s.size(), out);
    return res.ec == std::errc() && res.ptr == s.data() + s.size();
  }
  // Some writers use a decimal comma.
  std::string t(s);
  for (char& c : t)
    if (c == ',') c = '.';
  auto res = std::from_chars(t.data(), t.data() + t.size(), out);
  return res.ec == std::errc() && res.ptr == t.data() + t.size();
}

std::optional<Date> parseDate8(std::string_view s) {
  if (s.size() != 8) return std::nullopt;
  int y = 0, m = 0, d = 0;
  for (int i = 0; i < 8; ++i)
    if (s[static_cast<std::size_t>(i)] < '0' || s[static_cast<std::size_t>(i)] > '9') return std::nullopt;
  std::from_chars(s.data(), s.data() + 4, y);
  std::from_chars(s.data() + 4, s.data() + 6, m);
  std::from_chars(s.data() + 6, s.data() + 8, d);
  Date date{std::chrono::year{y}, std::chrono::month{static_cast<unsigned>(m)}, std::chrono::day{static_cast<unsigned>(d)}};
  if (!date.ok()) return std::nullopt;
  return date;
}

}  // namespace

XbaseFieldCodec::XbaseFieldCodec(const XbaseHeader& header, const CodePage& codePage, std::string path)
    : h_(header), cp_(codePage), path_(std::move(path)) {
  nullBit_.assign(h_.fields.size(), -1);
  int bit = 0;
  for (std::size_t i = 0; i < h_.fields.size(); ++i) {
    const auto& f = h_.fields[i];
    if (f.type == FieldType::NullFlags) nullFlagsField_ = static_cast<int>(i);
    // Varchar/varbinary fields own a bit (full length) before their null bit.
    if (f.native == 'V' || f.native == 'Q') ++bit;
    if (f.nullable) nullBit_[i] = bit++;
  }
}

bool XbaseFieldCodec::isBlob(int field) const {
  auto t = h_.fields[static_cast<std::size_t>(field)].type;
  return t == FieldType::Memo || t == FieldType::Binary;
}

bool XbaseFieldCodec::isNull(const std::uint8_t* record, int field) const {
  int bit = nullBit_[static_cast<std::size_t>(field)];
  if (bit < 0 || nullFlagsField_ < 0) return false;
  const auto& nf = h_.fields[static_cast<std::size_t>(nullFlagsField_)];
  if (bit / 8 >= nf.width) return false;
  return (record[nf.offset + static_cast<std::uint32_t>(bit / 8)] >> (bit % 8)) & 1;
}

void XbaseFieldCodec::setNull(std::uint8_t* record, int field, bool null) const {
  int bit = nullBit_[static_cast<std::size_t>(field)];
  if (bit < 0 || nullFlagsField_ < 0) return;
  const auto& nf = h_.fields[static_cast<std::size_t>(nullFlagsField_)];
  if (bit / 8 >= nf.width) return;
  std::uint8_t& b = record[nf.offset + static_cast<std::uint32_t>(bit / 8)];
  auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
  b = null ? static_cast<std::uint8_t>(b | mask) : static_cast<std::uint8_t>(b & ~mask);
}

Value XbaseFieldCodec::decode(const std::uint8_t* record, int field) const {
  const auto& f = h_.fields[static_cast<std::size_t>(field)];
  if (isNull(record, field)) return Value::blank();
  const std::uint8_t* p = record + f.offset;
  std::string_view raw(reinterpret_cast<const char*>(p), static_cast<std::size_t>(f.width));
  switch (f.native) {
    case 'C': case 'V': {
      std::string_view t = raw;
      while (!t.empty() && (t.back() == ' ' || t.back() == '\0')) t.remove_suffix(1);
      if (f.native == 'V') {
        // A varchar shorter than its width keeps its length in the last byte.
        int bit = -1, b = 0;
        for (std::size_t i = 0; i <= static_cast<std::size_t>(field); ++i) {
          const auto& g = h_.fields[i];
          if (g.native == 'V' || g.native == 'Q') {
            if (i == static_cast<std::size_t>(field)) bit = b;
            ++b;
          }
          if (g.nullable) ++b;
        }
        if (nullFlagsField_ >= 0 && bit >= 0) {
          const auto& nf = h_.fields[static_cast<std::size_t>(nullFlagsField_)];
          if (bit / 8 < nf.width && ((record[nf.offset + static_cast<std::uint32_t>(bit / 8)] >> (bit % 8)) & 1)) {
            std::size_t len = std::min<std::size_t>(p[f.width - 1], static_cast<std::size_t>(f.width - 1));
            t = raw.substr(0, len);
          }
        }
      }
      if (f.binaryText) return Value::text(std::string(t));
      return Value::text(cp_.toUtf8(t));
    }
    case 'N': case 'F': {
      std::string_view t = trimmed(raw);
      if (t.empty() || t.find_first_not_of('*') == std::string_view::npos) return Value::blank();
      double v;
      if (!parseNumber(t, v)) return Value::blank();  // unreadable digits read as blank, as dBASE shows them
      return Value::number(v);
    }
    case 'D': {
      if (trimmed(raw).empty()) return Value::blank();
      auto d = parseDate8(raw);
      if (!d) return Value::blank();
      return Value::date(*d);
    }
    case 'L': {
      switch (p[0]) {
        case 'T': case 't': case 'Y': case 'y': return Value::logical(true);
        case 'F': case 'f': case 'N': case 'n': return Value::logical(false);
        default: return Value::blank();
      }
    }
    case 'I':
    case '+':
      if (!h_.foxpro && (f.native == '+' || h_.level7)) {
        // dBASE 7 long and autoincrement: big-endian with the sign bit flipped.
        std::uint32_t u = (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
        return Value::number(static_cast<double>(static_cast<std::int32_t>(u ^ 0x80000000u)));
      }
      return Value::number(static_cast<double>(sle(p, 4)));
    case 'Y': return Value::number(static_cast<double>(sle(p, 8)) / 10000.0);
    case 'B': case 'O': {
      if (f.type != FieldType::Number) break;
      std::uint64_t u = 0;
      if (f.native == 'O') {
        for (int i = 0; i < 8; ++i) u = (u << 8) | p[i];
        if (u == 0) return Value::blank();
        u = (u & (1ull << 63)) ? (u ^ (1ull << 63)) : ~u;
      } else {
        u = static_cast<std::uint64_t>(sle(p, 8));
      }
      double v;
      std::memcpy(&v, &u, 8);
      return Value::number(v);
    }
    case 'T': case '@': {
      std::int64_t day, ms;
      if (f.native == 'T') {
        day = sle(p, 4);
        ms = sle(p + 4, 4);
      } else {
        std::uint64_t u = 0;
        for (int i = 0; i < 8; ++i) u = (u << 8) | p[i];
        if (u == 0) return Value::blank();
        u = (u & (1ull << 63)) ? (u ^ (1ull << 63)) : ~u;
        double d;
        std::memcpy(&d, &u, 8);
        // dBASE 7: milliseconds since 0001-01-01 minus one day... counted from day 1.
        auto total = static_cast<std::int64_t>(d);
        day = total / 86400000 + 1721425;
        ms = total % 86400000;
      }
      if (day == 0 && ms == 0) return Value::blank();
      if (day < 1721426 || day > 5373484 || ms < 0 || ms >= 86400000) return Value::blank();
      return Value::timestamp(Timestamp{civilFromDays(day - 1721425), ms});
    }
    case 'Q':
      return Value::bytes(Bytes(p, p + f.width));
    case '0':
      return Value::bytes(Bytes(p, p + f.width));
    default: break;
  }
  return Value::blank();
}

void XbaseFieldCodec::encode(std::uint8_t* record, int field, const Value& v) const {
  const auto& f = h_.fields[static_cast<std::size_t>(field)];
  std::uint8_t* p = record + f.offset;
  auto invalid = [&](const std::string& what) {
    throwError(ErrorKind::InvalidInput, path_, what + " for field '" + f.name + "'");
  };
  bool blank = v.isBlank();
  if (f.nullable) setNull(record, field, blank);
  switch (f.native) {
    case 'C': case 'V': {
      if (v.kind() != Value::Kind::Text && !blank && v.kind() != Value::Kind::Number && v.kind() != Value::Kind::Date &&
          v.kind() != Value::Kind::Logical)
        invalid("not a text value");
      std::string text = v.asText();
      std::string bytes = f.binaryText ? text : cp_.fromUtf8(text, f.name);
      std::size_t width = static_cast<std::size_t>(f.width);
      if (bytes.size() > width) {
        if (f.binaryText) bytes.resize(width);
        else bytes = cp_.fromUtf8(text.substr(0, [&] {
          // Cut in characters: find the byte length of the first fitChars characters.
          std::size_t chars = cp_.fitChars(text, width), i = 0;
          while (chars > 0 && i < text.size()) {
            auto b = static_cast<unsigned char>(text[i]);
            i += b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : 4;
            --chars;
          }
          return std::min(i, text.size());
        }()), f.name);
      }
      std::memset(p, ' ', width);
      std::memcpy(p, bytes.data(), bytes.size());
      return;
    }
    case 'N': case 'F': {
      std::memset(p, ' ', static_cast<std::size_t>(f.width));
      if (blank) return;
      double d = 0;
      if (v.kind() == Value::Kind::Number || v.kind() == Value::Kind::Logical) d = v.asNumber();
      else if (v.kind() == Value::Kind::Text) {
        if (trimmed(v.asText()).empty()) return;
        if (!parseNumber(v.asText(), d)) invalid("'" + v.asText() + "' is not a number");
      } else {
        invalid("not a number");
      }
      if (!std::isfinite(d)) invalid("not a finite number");
      char buf[64];
      int n = std::snprintf(buf, sizeof buf, "%*.*f", f.width, f.decimals, d);
      if (n > f.width) {
        // Too wide with its decimals: dBASE shows such values in scientific form only for F;
        // refuse rather than store asterisks.
        invalid("the number " + formatNumber(d) + " does not fit (width " + std::to_string(f.width) + ", " +
                std::to_string(f.decimals) + " decimals)");
      }
      std::memcpy(p, buf, static_cast<std::size_t>(n));
      return;
    }
    case 'D': {
      std::memset(p, ' ', 8);
      if (blank) return;
      if (v.kind() != Value::Kind::Date && v.kind() != Value::Kind::Timestamp) invalid("not a date");
      Date d = v.asDate();
      if (!d.ok() || static_cast<int>(d.year()) < 1 || static_cast<int>(d.year()) > 9999) invalid("impossible date");
      char buf[16];
      std::snprintf(buf, sizeof buf, "%04d%02u%02u", static_cast<int>(d.year()), static_cast<unsigned>(d.month()),
                    static_cast<unsigned>(d.day()));
      std::memcpy(p, buf, 8);
      return;
    }
    case 'L':
      if (blank) p[0] = h_.foxpro ? ' ' : '?';
      else if (v.kind() == Value::Kind::Logical || v.kind() == Value::Kind::Number) p[0] = v.asLogical() ? 'T' : 'F';
      else invalid("not a logical value");
      return;
    case 'I': case 'Y': {
      double d = blank ? 0 : v.asNumber();
      if (!std::isfinite(d)) invalid("not a finite number");
      if (f.native == 'I') {
        if (d != std::floor(d) || d < -2147483648.0 || d > 2147483647.0) invalid("not a 32-bit whole number");
        auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(d));
        if (!h_.foxpro && h_.level7) {
          u ^= 0x80000000u;
          for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(u >> (24 - 8 * i));
        } else {
          putle(p, u, 4);
        }
      } else {
        double scaled = std::round(d * 10000.0);
        if (std::fabs(scaled) > 9.2e18) invalid("amount too large");
        putle(p, static_cast<std::uint64_t>(static_cast<std::int64_t>(scaled)), 8);
      }
      return;
    }
    case 'B': {
      if (f.type != FieldType::Number) break;
      double d = blank ? 0 : v.asNumber();
      std::uint64_t u;
      std::memcpy(&u, &d, 8);
      putle(p, u, 8);
      return;
    }
    case 'T': {
      if (blank) {
        std::memset(p, 0, 8);
        return;
      }
      Timestamp t = v.asTimestamp();
      putle(p, static_cast<std::uint64_t>(julianDay(t.date)), 4);
      putle(p + 4, static_cast<std::uint64_t>(t.msOfDay), 4);
      return;
    }
    default: break;
  }
  throwError(ErrorKind::Unsupported, path_, "writing fields of type '" + std::string(1, f.native) + "' (field '" + f.name + "') is not supported");
}

std::uint32_t XbaseFieldCodec::memoBlock(const std::uint8_t* record, int field) const {
  const auto& f = h_.fields[static_cast<std::size_t>(field)];
  const std::uint8_t* p = record + f.offset;
  if (f.width == 4) return static_cast<std::uint32_t>(sle(p, 4));
  std::string_view t = trimmed(std::string_view(reinterpret_cast<const char*>(p), static_cast<std::size_t>(f.width)));
  std::uint32_t block = 0;
  if (t.empty()) return 0;
  auto res = std::from_chars(t.data(), t.data() + t.size(), block);
  if (res.ec != std::errc() || res.ptr != t.data() + t.size()) return 0;
  return block;
}

void XbaseFieldCodec::setMemoBlock(std::uint8_t* record, int field, std::uint32_t block) const {
  const auto& f = h_.fields[static_cast<std::size_t>(field)];
  std::uint8_t* p = record + f.offset;
  if (f.width == 4) {
    putle(p, block, 4);
    return;
  }
  std::memset(p, ' ', static_cast<std::size_t>(f.width));
  if (block == 0) return;
  char buf[16];
  int n = std::snprintf(buf, sizeof buf, "%*u", f.width, block);
  std::memcpy(p, buf, static_cast<std::size_t>(std::min(n, f.width)));
}

std::vector<std::uint8_t> XbaseFieldCodec::blankRecord() const {
  std::vector<std::uint8_t> r(h_.recordLength, ' ');
  for (std::size_t i = 0; i < h_.fields.size(); ++i) {
    const auto& f = h_.fields[i];
    switch (f.native) {
      case 'I': case 'Y': case 'T': case 'B': case 'O': case '@': case '+': case '0': case 'Q':
        if (f.native == 'B' && f.type != FieldType::Number) break;
        std::memset(r.data() + f.offset, 0, static_cast<std::size_t>(f.width));
        break;
      case 'M': case 'G': case 'P': case 'W':
        if (f.width == 4) std::memset(r.data() + f.offset, 0, 4);
        break;
      case 'L': r[f.offset] = h_.foxpro ? ' ' : '?'; break;
      default: break;
    }
    if (f.nullable) setNull(r.data(), static_cast<int>(i), true);
  }
  r[0] = ' ';
  return r;
}

}  // namespace rf::tables
