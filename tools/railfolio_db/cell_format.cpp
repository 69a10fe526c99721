#include "tools/railfolio_db/cell_format.h"

#include <cstdio>

namespace rf::tool {

using tables::Value;

std::string formatTimeOfDay(std::int64_t msOfDay) {
  if (msOfDay < 0) msOfDay = 0;
  const long long total = msOfDay / 1000;
  const int ms = static_cast<int>(msOfDay % 1000);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
  std::string s = buf;
  if (ms) {
    std::snprintf(buf, sizeof buf, ".%03d", ms);
    s += buf;
  }
  return s;
}

std::string formatTimestamp(const tables::Timestamp& t) {
  return tables::formatDate(t.date) + "T" + formatTimeOfDay(t.msOfDay);
}

std::string hexBytes(const tables::Bytes& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  s.reserve(bytes.size() * 2);
  for (auto b : bytes) {
    s += digits[b >> 4];
    s += digits[b & 0x0F];
  }
  return s;
}

std::string formatCell(const Value& v, const tables::FieldDef& field) {
  switch (v.kind()) {
    case Value::Kind::Blank: return {};
    case Value::Kind::Text: {
      std::string s = v.asText();
      if (field.type == tables::FieldType::Text) {
        // Padding: spaces for xBase, NULs for Paradox Alpha.
        std::size_t end = s.find_last_not_of(std::string_view(" \0", 2));
        s.erase(end == std::string::npos ? 0 : end + 1);
      }
      return s;
    }
    case Value::Kind::Number: return tables::formatNumber(v.asNumber());
    case Value::Kind::Logical: return v.asLogical() ? "T" : "F";
    case Value::Kind::Date: return tables::formatDate(v.asDate());
    case Value::Kind::Time: return formatTimeOfDay(v.asTime().ms);
    case Value::Kind::Timestamp: return formatTimestamp(v.asTimestamp());
    case Value::Kind::Bytes: return hexBytes(v.asBytes());
  }
  return {};
}

}  // namespace rf::tool
