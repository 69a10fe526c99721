#pragma once
// Reads RFC 4180 CSV as written by CsvWriter and by spreadsheets: quoted cells may hold
// commas, doubled quotes and line breaks; rows end in LF or CRLF; a UTF-8 byte order mark at
// the start is skipped. An empty line is a row of one empty cell.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rf::tool {

class CsvReader {
 public:
  // `name` names the input in messages.
  CsvReader(std::string text, std::string name);

  // The next row; false at the end. Throws UsageError naming the input and line for an
  // unterminated quote or text after a closing quote.
  bool next(std::vector<std::string>& cells);
  // Line (1-based) on which the row last returned by next() starts.
  std::size_t rowLine() const { return rowLine_; }
  const std::string& name() const { return name_; }

 private:
  [[noreturn]] void fail(const std::string& what) const;
  std::string text_;
  std::string name_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
  std::size_t rowLine_ = 0;
};

}  // namespace rf::tool
