#include "tools/railfolio_db/cell_parse.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>

namespace rf::tool {

using tables::FieldType;
using tables::Value;

namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

[[noreturn]] void bad(std::string_view cell, const char* wanted) {
  throw std::invalid_argument("'" + std::string(cell) + "' is not " + wanted);
}

// Exactly `digits` decimal digits at `pos`.
bool readDigits(std::string_view s, std::size_t& pos, std::size_t digits, int& out) {
  if (pos + digits > s.size()) return false;
  out = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    char c = s[pos + i];
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  pos += digits;
  return true;
}

double parseNumber(std::string_view cell) {
  std::string_view s = trimmed(cell);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  double v = 0;
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
  if (s.empty() || ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(v))
    bad(cell, "a number");
  return v;
}

bool parseLogical(std::string_view cell) {
  std::string lower;
  for (char c : trimmed(cell)) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  if (lower == "t" || lower == "y" || lower == "true" || lower == "yes" || lower == "1") return true;
  if (lower == "f" || lower == "n" || lower == "false" || lower == "no" || lower == "0") return false;
  bad(cell, "a logical (T or F)");
}

}  // namespace

tables::Date parseDate(std::string_view text) {
  std::string_view s = trimmed(text);
  std::size_t pos = 0;
  int y = 0, m = 0, d = 0;
  bool shape = readDigits(s, pos, 4, y) && pos < s.size() && s[pos++] == '-' &&
               readDigits(s, pos, 2, m) && pos < s.size() && s[pos++] == '-' &&
               readDigits(s, pos, 2, d) && pos == s.size();
  tables::Date date{std::chrono::year{y}, std::chrono::month{static_cast<unsigned>(m)},
                    std::chrono::day{static_cast<unsigned>(d)}};
  if (!shape || !date.ok() || y == 0) bad(text, "a date (YYYY-MM-DD)");
  return date;
}

std::int64_t parseTimeOfDay(std::string_view text) {
  std::string_view s = trimmed(text);
  std::size_t pos = 0;
  int h = 0, mi = 0, sec = 0, ms = 0;
  bool shape = readDigits(s, pos, 2, h) && pos < s.size() && s[pos++] == ':' &&
               readDigits(s, pos, 2, mi);
  if (shape && pos < s.size()) {
    shape = s[pos++] == ':' && readDigits(s, pos, 2, sec);
    if (shape && pos < s.size()) {
      shape = s[pos++] == '.';
      std::size_t digits = s.size() - pos;
      if (shape && (digits < 1 || digits > 3)) shape = false;
      if (shape) {
        shape = readDigits(s, pos, digits, ms);
        for (std::size_t i = digits; i < 3; ++i) ms *= 10;
      }
    }
  }
  if (!shape || h > 23 || mi > 59 || sec > 59) bad(text, "a time (HH:MM:SS or HH:MM:SS.mmm)");
  return ((static_cast<std::int64_t>(h) * 60 + mi) * 60 + sec) * 1000 + ms;
}

tables::Timestamp parseTimestamp(std::string_view text) {
  std::string_view s = trimmed(text);
  if (s.size() == 10) return {parseDate(s), 0};
  if (s.size() < 16 || (s[10] != 'T' && s[10] != ' '))
    bad(text, "a timestamp (YYYY-MM-DDTHH:MM:SS[.mmm])");
  return {parseDate(s.substr(0, 10)), parseTimeOfDay(s.substr(11))};
}

tables::Bytes parseHex(std::string_view text) {
  std::string_view s = trimmed(text);
  if (s.size() % 2) bad(text, "hex digits in pairs");
  tables::Bytes out;
  out.reserve(s.size() / 2);
  auto digit = [&](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    bad(text, "hex digits");
  };
  for (std::size_t i = 0; i < s.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(digit(s[i]) * 16 + digit(s[i + 1])));
  return out;
}

Value parseCell(std::string_view cell, const tables::FieldDef& field) {
  if (cell.empty()) return Value::blank();
  switch (field.type) {
    case FieldType::Text:
    case FieldType::Memo:
      return Value::text(std::string(cell));
    case FieldType::Number:
    case FieldType::Integer:
    case FieldType::Money:
    case FieldType::AutoIncrement:
    case FieldType::Bcd:
      return Value::number(parseNumber(cell));
    case FieldType::Logical:
      if (trimmed(cell) == "?") return Value::blank();
      return Value::logical(parseLogical(cell));
    case FieldType::Date: return Value::date(parseDate(cell));
    case FieldType::Time: return Value::time(tables::TimeOfDay{parseTimeOfDay(cell)});
    case FieldType::Timestamp: return Value::timestamp(parseTimestamp(cell));
    case FieldType::Bytes:
    case FieldType::Binary:
      return Value::bytes(parseHex(cell));
    case FieldType::NullFlags:
      throw std::invalid_argument("the _NullFlags field is kept by the engine");
  }
  return Value::blank();
}

}  // namespace rf::tool
