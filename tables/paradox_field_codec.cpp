#include "tables/paradox_field_codec.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tables/error.h"
#include "tables/paradox_format.h"

namespace rf::tables::paradox {

bool allZero(const std::uint8_t* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (p[i]) return false;
  return true;
}

void encodeInt(std::uint8_t* p, std::int64_t v, int bytes) {
  auto u = static_cast<std::uint64_t>(v);
  for (int i = bytes - 1; i >= 0; --i) {
    p[i] = static_cast<std::uint8_t>(u);
    u >>= 8;
  }
  p[0] ^= 0x80;
}

std::int64_t decodeInt(const std::uint8_t* p, int bytes) {
  std::uint64_t u = p[0] ^ 0x80u;
  for (int i = 1; i < bytes; ++i) u = (u << 8) | p[i];
  int shift = 64 - 8 * bytes;
  return static_cast<std::int64_t>(u << shift) >> shift;
}

void encodeDouble(std::uint8_t* p, double v) {
  if (v == 0) v = 0;  // no negative zero: it would sort below +0
  auto bits = std::bit_cast<std::uint64_t>(v);
  if (bits >> 63) bits = ~bits;
  else bits |= 1ull << 63;
  for (int i = 7; i >= 0; --i) {
    p[i] = static_cast<std::uint8_t>(bits);
    bits >>= 8;
  }
}

double decodeDouble(const std::uint8_t* p) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = (bits << 8) | p[i];
  if (bits >> 63) bits &= ~(1ull << 63);
  else bits = ~bits;
  return std::bit_cast<double>(bits);
}

std::optional<double> decodeBcd(const std::uint8_t* p) {
  if (allZero(p, 17)) return std::nullopt;
  bool negative = !(p[0] & 0x80);
  int decimals = p[0] & 0x3F;
  if (decimals > 32) decimals = 32;
  std::string text = negative ? "-" : "";
  bool stopped = false;
  for (int i = 0; i < 32; ++i) {
    if (i == 32 - decimals) text += i == 0 ? "0." : ".";
    int nib = (p[1 + i / 2] >> (i % 2 ? 0 : 4)) & 0x0F;
    if (negative) nib = 15 - nib;
    if (nib > 9) stopped = true;  // noise past what the writer meant
    text += static_cast<char>('0' + (stopped ? 0 : nib));
  }
  return std::strtod(text.c_str(), nullptr);
}

bool encodeBcd(std::uint8_t* p, double v, int decimals) {
  if (!std::isfinite(v) || decimals < 0 || decimals > 32) return false;
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, std::fabs(v));
  std::string text = buf;
  auto dot = text.find('.');
  std::string whole = text.substr(0, dot);
  std::string frac = dot == std::string::npos ? std::string() : text.substr(dot + 1);
  while (whole.size() > 1 && whole[0] == '0') whole.erase(0, 1);
  if (whole == "0") whole.clear();
  if (static_cast<int>(whole.size()) > 32 - decimals) return false;
  int digits[32] = {};
  for (std::size_t i = 0; i < whole.size(); ++i)
    digits[32 - decimals - static_cast<int>(whole.size()) + static_cast<int>(i)] = whole[i] - '0';
  for (std::size_t i = 0; i < frac.size() && i < static_cast<std::size_t>(decimals); ++i)
    digits[32 - decimals + static_cast<int>(i)] = frac[i] - '0';
  bool anyDigit = false;
  for (int d : digits) anyDigit = anyDigit || d != 0;
  bool negative = v < 0 && anyDigit;
  p[0] = static_cast<std::uint8_t>((negative ? 0 : 0x80) | 0x40 | decimals);
  for (int i = 0; i < 16; ++i) {
    int hi = digits[2 * i], lo = digits[2 * i + 1];
    if (negative) {
      hi = 15 - hi;
      lo = 15 - lo;
    }
    p[1 + i] = static_cast<std::uint8_t>((hi << 4) | lo);
  }
  return true;
}

BlobRef readBlobRef(const std::uint8_t* field, int fieldLength) {
  const std::uint8_t* d = field + fieldLength - kBlobDescriptor;
  return BlobRef{le32(d), le32(d + 4), le16(d + 8)};
}

void writeBlobRef(std::uint8_t* field, int fieldLength, const BlobRef& ref) {
  std::uint8_t* d = field + fieldLength - kBlobDescriptor;
  putLe32(d, ref.offset);
  putLe32(d + 4, ref.length);
  putLe16(d + 8, ref.mod);
}

namespace {

// 9999-12-31 in days from 0001-01-01 (day 1): the last date any of the formats can hold.
constexpr std::int64_t kLastDay = 3652059;

[[noreturn]] void refuse(const std::string& path, const std::string& name, const std::string& why) {
  throwError(ErrorKind::InvalidInput, path, "field " + name + ": " + why);
}

std::int64_t integralOf(const Value& v, std::int64_t limit, const std::string& path, const std::string& name) {
  double d = v.asNumber();
  if (!std::isfinite(d) || d != std::trunc(d)) refuse(path, name, "needs a whole number, not " + v.asText());
  if (d > static_cast<double>(limit) || d < -static_cast<double>(limit))
    refuse(path, name, "the number " + v.asText() + " does not fit the field");
  return static_cast<std::int64_t>(d);
}

// The first `chars` code points of UTF-8 text.
std::string firstChars(const std::string& utf8, std::size_t chars) {
  std::size_t i = 0, n = 0;
  while (i < utf8.size() && n < chars) {
    ++i;
    while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) ++i;
    ++n;
  }
  return utf8.substr(0, i);
}

}  // namespace

std::string FieldCodec::textOf(const std::uint8_t* p, std::size_t n) const {
  std::size_t len = 0;
  while (len < n && p[len]) ++len;
  return cp_.toUtf8(std::string_view(reinterpret_cast<const char*>(p), len));
}

std::string FieldCodec::bytesOf(const std::string& utf8, std::size_t width, const std::string& name) const {
  if (utf8.find('\0') != std::string::npos) refuse(path_, name, "text holds a NUL character");
  std::string cut = firstChars(utf8, cp_.fitChars(utf8, width));
  std::string bytes = cp_.fromUtf8(cut, name);
  if (bytes.size() > width) bytes.resize(width);
  return bytes;
}

Value FieldCodec::decode(const FieldLayout& f, const std::uint8_t* rec) const {
  const std::uint8_t* p = rec + f.offset;
  if (allZero(p, f.length)) return Value::blank();
  switch (f.code) {
    case kAlpha: return Value::text(textOf(p, f.length));
    case kDate: {
      // Days outside 0001-01-01..9999-12-31 are no calendar date: garbage reads as blank.
      std::int64_t days = decodeInt(p, 4);
      if (days < 1 || days > kLastDay) return Value::blank();
      return Value::date(civilFromDays(days));
    }
    case kShort: return Value::number(static_cast<double>(decodeInt(p, 2)));
    case kLong:
    case kAutoIncrement: return Value::number(static_cast<double>(decodeInt(p, 4)));
    case kMoney:
    case kNumber: return Value::number(decodeDouble(p));
    case kLogical: return Value::logical((p[0] & 0x7F) != 0);
    case kTime: return Value::time(TimeOfDay{decodeInt(p, 4)});
    case kTimestamp: {
      double ms = decodeDouble(p);
      if (!std::isfinite(ms) || ms < 0 || ms >= static_cast<double>(kLastDay + 1) * kMsPerDay) return Value::blank();
      auto total = static_cast<std::int64_t>(std::llround(ms));
      std::int64_t days = total / kMsPerDay;
      if (total % kMsPerDay < 0) --days;
      return Value::timestamp(Timestamp{civilFromDays(days), total - days * kMsPerDay});
    }
    case kBcd: return Value::number(*decodeBcd(p));
    case kBytes: return Value::bytes(Bytes(p, p + f.length));
    default: throwError(ErrorKind::Unsupported, path_, "field type is a blob; read it through the table");
  }
}

void FieldCodec::encode(const FieldLayout& f, std::uint8_t* rec, const Value& v, const std::string& name) const {
  std::uint8_t* p = rec + f.offset;
  if (v.isBlank()) {
    std::memset(p, 0, f.length);
    return;
  }
  std::uint8_t tmp[32] = {};
  switch (f.code) {
    case kAlpha: {
      std::string bytes = bytesOf(v.asText(), f.length, name);
      std::memset(p, 0, f.length);
      std::memcpy(p, bytes.data(), bytes.size());
      return;
    }
    case kDate: {
      Date d = v.asDate();
      if (!d.ok()) refuse(path_, name, "not a valid date");
      std::int64_t days = daysFromCivil(d);
      if (days < 1) refuse(path_, name, "dates before 0001-01-01 cannot be stored");
      encodeInt(tmp, days, 4);
      break;
    }
    case kShort: encodeInt(tmp, integralOf(v, 32767, path_, name), 2); break;
    case kLong:
    case kAutoIncrement: encodeInt(tmp, integralOf(v, 2147483647, path_, name), 4); break;
    case kMoney:
    case kNumber: {
      double d = v.asNumber();
      if (!std::isfinite(d)) refuse(path_, name, "needs a finite number");
      encodeDouble(tmp, d);
      break;
    }
    case kLogical: tmp[0] = v.asLogical() ? 0x81 : 0x80; break;
    case kTime: {
      std::int64_t ms = v.asTime().ms;
      if (ms < 0 || ms >= kMsPerDay) refuse(path_, name, "a time of day must lie within one day");
      encodeInt(tmp, ms, 4);
      break;
    }
    case kTimestamp: {
      Timestamp t = v.asTimestamp();
      if (!t.date.ok() || t.msOfDay < 0 || t.msOfDay >= kMsPerDay) refuse(path_, name, "not a valid timestamp");
      std::int64_t days = daysFromCivil(t.date);
      if (days < 1) refuse(path_, name, "dates before 0001-01-01 cannot be stored");
      encodeDouble(tmp, static_cast<double>(days * kMsPerDay + t.msOfDay));
      break;
    }
    case kBcd:
      if (!encodeBcd(tmp, v.asNumber(), f.size))
        refuse(path_, name, "the number " + v.asText() + " does not fit the field");
      break;
    case kBytes: {
      const Bytes& b = v.asBytes();
      if (b.size() > f.length)
        refuse(path_, name, std::to_string(b.size()) + " bytes do not fit " + std::to_string(f.length));
      std::memset(p, 0, f.length);
      std::memcpy(p, b.data(), b.size());
      return;
    }
    default: throwError(ErrorKind::Unsupported, path_, "field type is a blob; set it through the table");
  }
  std::memcpy(p, tmp, f.length);
}

}  // namespace rf::tables::paradox
