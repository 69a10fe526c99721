#include "tools/railfolio_db/csv_writer.h"

namespace rf::tool {

std::string CsvWriter::quote(std::string_view cell) {
  if (cell.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(cell);
  std::string q = "\"";
  for (char c : cell) {
    if (c == '"') q += '"';
    q += c;
  }
  q += '"';
  return q;
}

void CsvWriter::writeRow(const std::vector<std::string>& cells) {
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i) out_ << ',';
    out_ << quote(cells[i]);
  }
  out_ << '\n';
}

}  // namespace rf::tool
