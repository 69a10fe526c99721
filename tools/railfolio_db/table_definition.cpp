#include "tools/railfolio_db/table_definition.h"

#include <cctype>
#include <charconv>
#include <optional>
#include <stdexcept>

#include "tables/file_names.h"
#include "tools/railfolio_db/field_types.h"
#include "tools/railfolio_db/tool_context.h"

namespace rf::tool {

using tables::Format;

std::vector<std::string> splitDefinitionWords(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"' || c == '\'') {
      std::size_t close = line.find(c, i + 1);
      if (close == std::string_view::npos) throw std::invalid_argument("a quote is not closed");
      words.emplace_back(line.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      std::size_t end = line.find_first_of(" \t\r", i);
      if (end == std::string_view::npos) end = line.size();
      words.emplace_back(line.substr(i, end - i));
      i = end;
    }
  }
  return words;
}

namespace {

std::optional<int> parseInt(std::string_view s) {
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  int v = 0;
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (s.empty() || ec != std::errc() || ptr != s.data() + s.size() || v < 0) return std::nullopt;
  return v;
}

struct Pending {
  tables::FieldDef field;
  bool widthGiven = false;
  std::size_t line = 0;
};

class DefinitionParser {
 public:
  DefinitionParser(const std::string& source, const std::string& tablePath)
      : source_(source), tablePath_(tablePath) {}

  tables::TableDef parse(std::string_view text) {
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      ++line_;
      statement(text.substr(start, end - start));
      start = end + 1;
    }
    return finish();
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw UsageError(source_ + ":" + std::to_string(line_) + ": " + what);
  }

  int number(const std::vector<std::string>& w, std::size_t i, const char* what) const {
    if (i >= w.size()) fail(std::string("missing ") + what);
    auto v = parseInt(w[i]);
    if (!v) fail(std::string("'") + w[i] + "' is not a valid " + what);
    return *v;
  }

  void expectCount(const std::vector<std::string>& w, std::size_t n) const {
    if (w.size() != n) fail("'" + w[0] + "' takes " + std::to_string(n - 1) + " value" +
                            (n == 2 ? "" : "s"));
  }

  void statement(std::string_view text) {
    std::vector<std::string> w;
    try {
      w = splitDefinitionWords(text);
    } catch (const std::invalid_argument& e) {
      fail(e.what());
    }
    if (w.empty()) return;
    const std::string& kw = w[0];
    if (kw == "format") {
      expectCount(w, 2);
      format_ = formatOfName(w[1]);
      if (!format_) fail("unknown format '" + w[1] + "' (dbase, foxpro or paradox)");
    } else if (kw == "version") {
      expectCount(w, 2);
      def_.version = number(w, 1, "version");
    } else if (kw == "codepage") {
      expectCount(w, 2);
      def_.codePage = number(w, 1, "code page");
    } else if (kw == "primary") {
      expectCount(w, 2);
      def_.primaryKeyFields = number(w, 1, "primary key field count");
    } else if (kw == "indexfile") {
      expectCount(w, 2);
      def_.indexFile = w[1];
    } else if (kw == "index") {
      index(w);
    } else if (kw == "field") {
      field(std::vector<std::string>(w.begin() + 1, w.end()));
    } else {
      field(w);
    }
  }

  void index(const std::vector<std::string>& w) {
    if (w.size() < 3) fail("an index needs a name and a key");
    tables::IndexDef ix;
    ix.name = w[1];
    ix.expression = w[2];
    for (std::size_t i = 3; i < w.size(); ++i) {
      std::string flag = tables::upperAscii(w[i]);
      if (flag == "UNIQUE") ix.unique = true;
      else if (flag == "DESCENDING") ix.descending = true;
      else fail("unknown index option '" + w[i] + "' (unique or descending)");
    }
    indexLines_.push_back(line_);
    def_.indexes.push_back(std::move(ix));
  }

  void field(const std::vector<std::string>& w) {
    if (w.size() < 2 || w.size() > 4) fail("a field is NAME TYPE [WIDTH [DECIMALS]]");
    if (w[1].size() != 1) fail("'" + w[1] + "' is not a type letter");
    Pending p;
    p.line = line_;
    p.field.name = w[0];
    p.field.native = w[1][0];
    if (w.size() >= 3) {
      p.field.width = number(w, 2, "width");
      p.widthGiven = true;
    }
    if (w.size() == 4) p.field.decimals = number(w, 3, "decimal count");
    fields_.push_back(std::move(p));
  }

  tables::TableDef finish() {
    if (!format_) {
      std::string ext = tables::upperAscii(tables::extensionOf(tablePath_));
      if (ext == ".DB") format_ = Format::Paradox;
      else if (ext == ".DBF") format_ = Format::Dbase;
      else throw UsageError(source_ + ": no 'format' line and the extension of " + tablePath_ +
                            " does not tell the format");
    }
    def_.format = *format_;
    if (fields_.empty()) throw UsageError(source_ + ": the definition has no fields");
    for (auto& p : fields_) {
      line_ = p.line;
      auto type = fieldTypeOfLetter(def_.format, p.field.native);
      if (!type)
        fail("'" + std::string(1, p.field.native) + "' is not a " +
             std::string(formatName(def_.format)) + " field type");
      p.field.type = *type;
      p.field.native = static_cast<char>(std::toupper(static_cast<unsigned char>(p.field.native)));
      if (!p.widthGiven) {
        p.field.width = fixedWidth(def_.format, def_.version, p.field.native);
        if (p.field.width == 0) fail("field " + p.field.name + " needs a width");
      }
      def_.fields.push_back(p.field);
    }
    if (def_.primaryKeyFields > static_cast<int>(def_.fields.size()))
      throw UsageError(source_ + ": the primary key has more fields than the table");
    if (def_.format == Format::Paradox) {
      // A Paradox index names its fields; the xBase families keep the expression.
      for (std::size_t i = 0; i < def_.indexes.size(); ++i) {
        line_ = indexLines_[i];
        auto& ix = def_.indexes[i];
        std::string_view list = ix.expression;
        while (!list.empty()) {
          std::size_t comma = list.find(',');
          std::string name(list.substr(0, comma));
          if (name.empty()) fail("an empty field name in index " + ix.name);
          bool known = false;
          for (const auto& f : def_.fields) known = known || tables::equalsNoCase(f.name, name);
          if (!known) fail("index " + ix.name + " names an unknown field '" + name + "'");
          ix.fields.push_back(name);
          if (comma == std::string_view::npos) break;
          list.remove_prefix(comma + 1);
          if (list.empty()) fail("an empty field name in index " + ix.name);
        }
        ix.expression.clear();
      }
    }
    return def_;
  }

  const std::string& source_;
  const std::string& tablePath_;
  std::size_t line_ = 0;
  std::optional<Format> format_;
  tables::TableDef def_;
  std::vector<Pending> fields_;
  std::vector<std::size_t> indexLines_;
};

}  // namespace

tables::TableDef parseTableDefinition(std::string_view text, const std::string& source,
                                      const std::string& tablePath) {
  return DefinitionParser(source, tablePath).parse(text);
}

}  // namespace rf::tool
