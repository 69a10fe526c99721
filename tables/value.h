#pragma once
// A field value as the engine hands it out and takes it in: text is UTF-8, dates are calendar
// dates, numbers are doubles. Blank is a value of its own: a blank number reads as 0 through
// asNumber() but stays distinguishable through isBlank().

#include <chrono>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace rf::tables {

using Bytes = std::vector<std::uint8_t>;
using Date = std::chrono::year_month_day;

struct Timestamp {
  Date date;
  std::int64_t msOfDay = 0;  // milliseconds since midnight
  bool operator==(const Timestamp&) const = default;
};

struct TimeOfDay {
  std::int64_t ms = 0;  // milliseconds since midnight
  bool operator==(const TimeOfDay&) const = default;
};

class Value {
 public:
  // The kinds are named after the types they hold; the names only clash with those types
  // inside this enum's own scope, so the shadowing warning is quietened for it alone.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
  enum class Kind { Blank, Text, Number, Logical, Date, Time, Timestamp, Bytes };
#pragma GCC diagnostic pop

  Value() = default;
  static Value blank() { return Value(); }
  static Value text(std::string utf8) { return Value(std::move(utf8)); }
  static Value number(double v) { return Value(v); }
  static Value logical(bool v) { return Value(v); }
  static Value date(Date d) { return Value(d); }
  static Value time(TimeOfDay t) { return Value(t); }
  static Value timestamp(Timestamp t) { return Value(t); }
  static Value bytes(Bytes b) { return Value(std::move(b)); }

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool isBlank() const { return kind() == Kind::Blank; }

  // Typed reads. Blank reads as "", 0, false, an empty byte string; a value of another kind
  // throws InvalidInput (numbers and logicals also read as text).
  std::string asText() const;
  double asNumber() const;
  bool asLogical() const;
  Date asDate() const;  // blank throws
  TimeOfDay asTime() const;
  Timestamp asTimestamp() const;
  const Bytes& asBytes() const;

  bool operator==(const Value&) const = default;

 private:
  using Storage = std::variant<std::monostate, std::string, double, bool, Date, TimeOfDay,
                               Timestamp, Bytes>;
  template <class T>
  explicit Value(T v) : v_(std::move(v)) {}
  Storage v_;
};

// Shortest decimal text that reads back to the same double; integers without a decimal point.
std::string formatNumber(double v);
// "YYYY-MM-DD".
std::string formatDate(Date d);
// Days since 0001-01-01 (that day = 1), the Paradox and the Julian-day base both derive from it.
std::int64_t daysFromCivil(Date d);
Date civilFromDays(std::int64_t days);
// Julian day number (xBase "DTOS" order, FoxPro and MDX date keys): 1721426 = 0001-01-01.
inline std::int64_t julianDay(Date d) { return daysFromCivil(d) + 1721425; }

}  // namespace rf::tables
