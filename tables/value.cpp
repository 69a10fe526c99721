#include "tables/value.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "tables/error.h"

namespace rf::tables {

namespace {
[[noreturn]] void wrongKind(const char* wanted) {
  throwError(ErrorKind::InvalidInput, {}, std::string("value is not ") + wanted);
}
}  // namespace

std::string Value::asText() const {
  switch (kind()) {
    case Kind::Blank: return {};
    case Kind::Text: return std::get<std::string>(v_);
    case Kind::Number: return formatNumber(std::get<double>(v_));
    case Kind::Logical: return std::get<bool>(v_) ? "T" : "F";
    case Kind::Date: return formatDate(std::get<Date>(v_));
    default: wrongKind("text");
  }
}

double Value::asNumber() const {
  switch (kind()) {
    case Kind::Blank: return 0;
    case Kind::Number: return std::get<double>(v_);
    case Kind::Logical: return std::get<bool>(v_) ? 1 : 0;
    default: wrongKind("a number");
  }
}

bool Value::asLogical() const {
  switch (kind()) {
    case Kind::Blank: return false;
    case Kind::Logical: return std::get<bool>(v_);
    case Kind::Number: return std::get<double>(v_) != 0;
    default: wrongKind("a logical");
  }
}

Date Value::asDate() const {
  if (kind() == Kind::Date) return std::get<Date>(v_);
  if (kind() == Kind::Timestamp) return std::get<Timestamp>(v_).date;
  wrongKind("a date");
}

TimeOfDay Value::asTime() const {
  if (kind() == Kind::Time) return std::get<TimeOfDay>(v_);
  wrongKind("a time");
}

Timestamp Value::asTimestamp() const {
  if (kind() == Kind::Timestamp) return std::get<Timestamp>(v_);
  if (kind() == Kind::Date) return Timestamp{std::get<Date>(v_), 0};
  wrongKind("a timestamp");
}

const Bytes& Value::asBytes() const {
  static const Bytes none;
  if (kind() == Kind::Bytes) return std::get<Bytes>(v_);
  if (kind() == Kind::Blank) return none;
  wrongKind("binary");
}

std::string formatNumber(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
  if (v == 0) return "0";  // also -0
  // The shortest digits that read back to the same double, written out in plain decimal
  // (1000000, 0.0001) as people and spreadsheets expect; scientific only where plain decimal
  // would run past 24 characters.
  char buf[400];
  auto fixed = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  if (fixed.ec == std::errc() && fixed.ptr - buf <= 24) return std::string(buf, fixed.ptr);
  auto sci = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  return std::string(buf, sci.ptr);
}

std::string formatDate(Date d) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(d.year()),
                static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()));
  return buf;
}

std::int64_t daysFromCivil(Date d) {
  using namespace std::chrono;
  // sys_days counts from 1970-01-01; 0001-01-01 is day 1 of our base.
  static const std::int64_t base = sys_days{year{1} / January / 1}.time_since_epoch().count();
  return sys_days{d}.time_since_epoch().count() - base + 1;
}

Date civilFromDays(std::int64_t days) {
  using namespace std::chrono;
  static const std::int64_t base = sys_days{year{1} / January / 1}.time_since_epoch().count();
  return year_month_day{sys_days{std::chrono::days{base + days - 1}}};
}

}  // namespace rf::tables
