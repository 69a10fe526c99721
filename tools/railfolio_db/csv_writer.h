#pragma once
// RFC 4180 CSV: a cell holding a comma, a double quote, CR or LF is quoted and its quotes are
// doubled; rows end in LF.

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace rf::tool {

class CsvWriter {
 public:
  explicit CsvWriter(std::ostream& out) : out_(out) {}
  void writeRow(const std::vector<std::string>& cells);

  static std::string quote(std::string_view cell);

 private:
  std::ostream& out_;
};

}  // namespace rf::tool
