#include "tools/railfolio_db/csv_reader.h"

#include "tools/railfolio_db/tool_context.h"

namespace rf::tool {

CsvReader::CsvReader(std::string text, std::string name)
    : text_(std::move(text)), name_(std::move(name)) {
  if (text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
}

void CsvReader::fail(const std::string& what) const {
  throw UsageError(name_ + ":" + std::to_string(line_) + ": " + what);
}

bool CsvReader::next(std::vector<std::string>& cells) {
  cells.clear();
  if (pos_ >= text_.size()) return false;
  rowLine_ = line_;
  std::string cell;
  const std::size_t n = text_.size();
  while (true) {
    if (pos_ < n && text_[pos_] == '"') {
      ++pos_;
      while (true) {
        if (pos_ >= n) fail("a quoted field is not closed (it opened on line " +
                            std::to_string(rowLine_) + ")");
        char c = text_[pos_++];
        if (c == '"') {
          if (pos_ < n && text_[pos_] == '"') {
            cell += '"';
            ++pos_;
            continue;
          }
          break;
        }
        if (c == '\n') ++line_;
        cell += c;
      }
      if (pos_ < n && text_[pos_] != ',' && text_[pos_] != '\n' &&
          !(text_[pos_] == '\r' && pos_ + 1 < n && text_[pos_ + 1] == '\n'))
        fail("unexpected text after a closing quote");
    } else {
      while (pos_ < n && text_[pos_] != ',' && text_[pos_] != '\n') {
        if (text_[pos_] == '\r' && pos_ + 1 < n && text_[pos_ + 1] == '\n') break;
        if (text_[pos_] == '"') fail("a quote inside an unquoted field");
        cell += text_[pos_++];
      }
    }
    cells.push_back(std::move(cell));
    cell.clear();
    if (pos_ >= n) return true;
    if (text_[pos_] == ',') {
      ++pos_;
      continue;
    }
    if (text_[pos_] == '\r') ++pos_;
    ++pos_;  // the LF
    ++line_;
    return true;
  }
}

}  // namespace rf::tool
