#include "tables/schema.h"

#include "tables/error.h"

namespace rf::tables {

static char upperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upperChar(a[i]) != upperChar(b[i])) return false;
  return true;
}

std::string upperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = upperChar(c);
  return out;
}

int Schema::find(std::string_view name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i)
    if (equalsNoCase(fields_[i].name, name)) return static_cast<int>(i);
  return -1;
}

int Schema::require(std::string_view name, const std::string& table) const {
  int i = find(name);
  if (i < 0) throwError(ErrorKind::NotFound, table, "Field '" + std::string(name) + "' not found");
  return i;
}

}  // namespace rf::tables
