// Cross-checks with python3-dbf (Debian's, run with /usr/bin/python3), a third independent xBase
// implementation: it writes dBASE III (0x83 + .dbt), FoxPro 2 (0xF5 + .fpt) and Visual FoxPro
// (0x30 + .fpt) tables in Windows-1252, which we read; and it reads the same three kinds from
// us (it refuses dBASE IV tables, so 0x8B is not among them).
//
// Found by experiment: python3-dbf stores the field names in upper case and shows them in lower
// case; an appended empty record of a VFP table holds zeros in I, Y, B and T fields, which read
// as 0, 0, 0 and blank; it keeps 0x1A-free dBASE III memos in 512-byte blocks.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "tables/engine.h"
#include "tables/error.h"
#include "tests/support/test_support.h"

namespace rf::tables {
namespace {

namespace fs = std::filesystem;
using test::shellQuote;
using test::TempDir;

const char* kPython = "/usr/bin/python3";

// Writes py_db3, py_fp and py_vfp into argv[1]: four records, the second deleted, the third
// empty.
const char* kWriteScript = R"PY(
import sys, datetime, dbf
d = sys.argv[1]
for kind in ('db3', 'fp', 'vfp'):
    spec = 'name C(20); qty N(10,2); born D; ok L; note M'
    if kind == 'vfp':
        spec += '; cnt I; price Y; stamp T; dbl B'
    t = dbf.Table(d + '/py_' + kind, spec, dbf_type=kind, codepage='cp1252')
    t.open(mode=dbf.READ_WRITE)
    extra = lambda *v: v if kind == 'vfp' else ()
    t.append(('Crème brûlée', 2.5, datetime.date(1999, 12, 31), True, 'line1\r\nline2 €')
             + extra(42, 12.5, datetime.datetime(2020, 2, 29, 13, 14, 15), 0.1))
    t.append(('deleted', 1, datetime.date(2000, 1, 1), False, 'gone')
             + extra(1, 1, datetime.datetime(2000, 1, 1), 1.0))
    t.append()
    t.append(('long', -1.25, datetime.date(1850, 1, 2), False, 'x' * 2000)
             + extra(-7, 0.25, datetime.datetime(1900, 1, 1, 0, 0, 0), -2.5))
    dbf.delete(t[1])
    t.close()
)PY";

// Prints the field names, then each live record: "#recno" and its values, tab-separated;
// None as \N, control characters as \xHH, logicals T/F, dates and timestamps ISO, numbers as
// Python's repr of a float or int.
const char* kReadScript = R"PY(
import sys, datetime, decimal, dbf
def esc(s):
    return ''.join('\\\\' if ch == '\\' else ('\\x%02x' % ord(ch) if ord(ch) < 0x20 or ord(ch) == 0x7f else ch) for ch in s)
def cell(v):
    if v is None: return '\\N'
    if isinstance(v, bool): return 'T' if v else 'F'
    if isinstance(v, (datetime.datetime, datetime.date)): return v.isoformat()
    if isinstance(v, str): return esc(v)
    if isinstance(v, decimal.Decimal): return repr(float(v))
    return repr(v)
t = dbf.Table(sys.argv[1])
t.open(mode=dbf.READ_ONLY)
print('\t'.join(t.field_names))
for r in t:
    if dbf.is_deleted(r):
        continue
    print('#%d\t%s' % (dbf.recno(r) + 1, '\t'.join(cell(r[n]) for n in t.field_names)))
t.close()
)PY";

bool pythonDbfAvailable() {
  return test::runCommand(std::string(kPython) + " -c 'import dbf' 2>/dev/null") == 0;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string runPython(const TempDir& dir, const char* script, const std::vector<std::string>& args) {
  std::ofstream(dir.file("script.py"), std::ios::binary) << script;
  std::string cmd = std::string(kPython) + " " + shellQuote(dir.file("script.py"));
  for (const auto& a : args) cmd += " " + shellQuote(a);
  cmd += " 2>" + shellQuote(dir.file("python.stderr"));
  std::string out;
  if (test::runCommand(cmd, &out) != 0) ADD_FAILURE() << "python3-dbf failed: " << slurp(dir.file("python.stderr"));
  return out;
}

// The expected records, in the forms of the comparison below: text without trailing blanks,
// numbers, ISO dates and timestamps, T/F, "" for blank.
struct Expected {
  std::string name, qty, born, ok, note, cnt, price, stamp, dbl;
};

std::vector<Expected> expectedRows() {
  return {{"Crème brûlée", "2.5", "1999-12-31", "T", "line1\r\nline2 €", "42", "12.5", "2020-02-29T13:14:15", "0.1"},
          {"", "", "", "", "", "0", "0", "", "0"},
          {"long", "-1.25", "1850-01-02", "F", std::string(2000, 'x'), "-7", "0.25", "1900-01-01T00:00:00", "-2.5"}};
}

std::string ourCell(const Value& v, const FieldDef& f) {
  char buf[32];
  switch (v.kind()) {
    case Value::Kind::Blank: return {};
    case Value::Kind::Text: {
      std::string s = v.asText();
      if (f.type == FieldType::Text) s.erase(s.find_last_not_of(' ') == std::string::npos ? 0 : s.find_last_not_of(' ') + 1);
      return s;
    }
    case Value::Kind::Number: return formatNumber(v.asNumber());
    case Value::Kind::Logical: return v.asLogical() ? "T" : "F";
    case Value::Kind::Date: return formatDate(v.asDate());
    case Value::Kind::Timestamp: {
      const auto t = v.asTimestamp();
      std::snprintf(buf, sizeof buf, "T%02d:%02d:%02d", static_cast<int>(t.msOfDay / 3600000),
                    static_cast<int>(t.msOfDay / 60000 % 60), static_cast<int>(t.msOfDay / 1000 % 60));
      return formatDate(t.date) + buf;
    }
    default: return "(unexpected kind)";
  }
}

struct Kind {
  const char* name;  // python3-dbf's dbf_type
  Format format;
  int version;
};

std::ostream& operator<<(std::ostream& os, const Kind& k) { return os << k.name; }

class PythonDbf : public ::testing::TestWithParam<Kind> {};

TEST_P(PythonDbf, WeReadWhatItWrites) {
  if (!pythonDbfAvailable()) GTEST_SKIP() << "python3-dbf is not installed for /usr/bin/python3";
  const Kind& k = GetParam();
  TempDir dir;
  runPython(dir, kWriteScript, {dir.path()});
  const bool vfp = std::string(k.name) == "vfp";

  Engine engine(dir.file("engine.conf"));
  auto table = engine.openPath(dir.file(std::string("py_") + k.name + ".dbf"), std::nullopt, true);
  const TableInfo info = table->info();
  EXPECT_EQ(info.format, k.format);
  EXPECT_EQ(info.version, k.version);
  EXPECT_EQ(info.codePage, 1252);
  EXPECT_EQ(info.recordCount, 3u);
  EXPECT_FALSE(info.memoFile.empty());

  std::vector<std::string> names = {"NAME", "QTY", "BORN", "OK", "NOTE"};
  if (vfp) names.insert(names.end(), {"CNT", "PRICE", "STAMP", "DBL"});
  ASSERT_EQ(table->schema().size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(table->schema()[i].name, names[i]);

  const auto rows = expectedRows();
  auto cursor = table->openCursor();
  std::size_t n = 0;
  for (bool on = cursor->first(); on; on = cursor->next(), ++n) {
    ASSERT_LT(n, rows.size());
    const Expected& e = rows[n];
    std::vector<std::string> want = {e.name, e.qty, e.born, e.ok, e.note};
    if (vfp) want.insert(want.end(), {e.cnt, e.price, e.stamp, e.dbl});
    for (std::size_t f = 0; f < names.size(); ++f)
      EXPECT_EQ(ourCell(table->get(cursor->record(), static_cast<int>(f)), table->schema()[f]), want[f])
          << "record " << n << " field " << names[f];
  }
  EXPECT_EQ(n, rows.size());
  CheckReport report = table->check();
  EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems.front());
}

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> cells;
  std::size_t start = 0;
  while (true) {
    std::size_t tab = line.find('\t', start);
    cells.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return cells;
    start = tab + 1;
  }
}

std::string unescapePython(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x') {
      out += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

TEST_P(PythonDbf, ItReadsWhatWeWrite) {
  if (!pythonDbfAvailable()) GTEST_SKIP() << "python3-dbf is not installed for /usr/bin/python3";
  const Kind& k = GetParam();
  const bool vfp = std::string(k.name) == "vfp";
  TempDir dir;
  Engine engine(dir.file("engine.conf"));
  auto field = [](const char* name, FieldType type, char native, int width, int decimals = 0) {
    FieldDef f;
    f.name = name;
    f.type = type;
    f.native = native;
    f.width = width;
    f.decimals = decimals;
    return f;
  };
  TableDef def;
  def.format = k.format;
  def.version = k.version;
  def.codePage = 1252;
  def.fields = {field("NAME", FieldType::Text, 'C', 20), field("QTY", FieldType::Number, 'N', 10, 2),
                field("BORN", FieldType::Date, 'D', 8), field("OK", FieldType::Logical, 'L', 1),
                field("NOTE", FieldType::Memo, 'M', vfp ? 4 : 10)};
  if (vfp) {
    def.fields.push_back(field("CNT", FieldType::Integer, 'I', 4));
    def.fields.push_back(field("PRICE", FieldType::Money, 'Y', 8, 4));
    def.fields.push_back(field("STAMP", FieldType::Timestamp, 'T', 8));
    def.fields.push_back(field("DBL", FieldType::Number, 'B', 8));
  }
  // python3-dbf looks for the memo file with the table's extension case (ours.dbt beside
  // ours.dbf); we name companions in upper case, so the table is named in upper case here.
  const std::string path = dir.file("OURS.DBF");
  const auto rows = expectedRows();
  {
    auto table = engine.create(path, def);
    auto put = [&](Record& r, const char* f, const std::string& cell) {
      const FieldDef& fd = table->schema()[static_cast<std::size_t>(table->schema().find(f))];
      if (cell.empty()) return;
      switch (fd.type) {
        case FieldType::Text: case FieldType::Memo: table->set(r, f, Value::text(cell)); break;
        case FieldType::Date:
          table->set(r, f, Value::date(test::ymd(std::stoi(cell.substr(0, 4)), static_cast<unsigned>(std::stoi(cell.substr(5, 2))),
                                                  static_cast<unsigned>(std::stoi(cell.substr(8, 2))))));
          break;
        case FieldType::Logical: table->set(r, f, Value::logical(cell == "T")); break;
        case FieldType::Timestamp: {
          Timestamp t{test::ymd(std::stoi(cell.substr(0, 4)), static_cast<unsigned>(std::stoi(cell.substr(5, 2))),
                                static_cast<unsigned>(std::stoi(cell.substr(8, 2)))),
                      ((std::stoll(cell.substr(11, 2)) * 60 + std::stoll(cell.substr(14, 2))) * 60 + std::stoll(cell.substr(17, 2))) * 1000};
          table->set(r, f, Value::timestamp(t));
          break;
        }
        default: table->set(r, f, Value::number(std::stod(cell))); break;
      }
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
      // A record deleted afterwards sits between the first and the second.
      for (int pass = 0; pass < (i == 1 ? 2 : 1); ++pass) {
        Record r = table->blankRecord();
        const Expected& e = pass == 0 && i == 1 ? Expected{"doomed", "1", "2000-01-01", "F", "gone", "1", "1", "", "1"} : rows[i];
        put(r, "NAME", e.name);
        put(r, "QTY", e.qty);
        put(r, "BORN", e.born);
        put(r, "OK", e.ok);
        put(r, "NOTE", e.note);
        if (vfp) {
          put(r, "CNT", e.cnt);
          put(r, "PRICE", e.price);
          put(r, "STAMP", e.stamp);
          put(r, "DBL", e.dbl);
        }
        Bookmark b = table->insert(r);
        if (pass == 0 && i == 1) table->remove(b);
      }
    }
  }

  std::istringstream out(runPython(dir, kReadScript, {path}));
  std::string line;
  ASSERT_TRUE(std::getline(out, line));
  std::vector<std::string> names = {"name", "qty", "born", "ok", "note"};
  if (vfp) names.insert(names.end(), {"cnt", "price", "stamp", "dbl"});
  EXPECT_EQ(splitTabs(line), names);
  const std::vector<int> recnos = {1, 3, 4};
  std::size_t n = 0;
  while (std::getline(out, line)) {
    ASSERT_LT(n, rows.size());
    auto cells = splitTabs(line);
    ASSERT_EQ(cells.size(), names.size() + 1) << line;
    EXPECT_EQ(cells[0], "#" + std::to_string(recnos[n]));
    const Expected& e = rows[n];
    std::vector<std::string> want = {e.name, e.qty, e.born, e.ok, e.note};
    if (vfp) want.insert(want.end(), {e.cnt, e.price, e.stamp, e.dbl});
    for (std::size_t f = 0; f < names.size(); ++f) {
      std::string theirs = cells[f + 1] == "\\N" ? std::string() : unescapePython(cells[f + 1]);
      if (f == 0) theirs.erase(theirs.find_last_not_of(' ') == std::string::npos ? 0 : theirs.find_last_not_of(' ') + 1);
      const bool numeric = f == 1 || f == 5 || f == 6 || f == 8;
      if (numeric && !theirs.empty() && !want[f].empty()) {
        EXPECT_DOUBLE_EQ(std::stod(theirs), std::stod(want[f])) << "record " << recnos[n] << " " << names[f];
      } else {
        EXPECT_EQ(theirs, want[f]) << "record " << recnos[n] << " " << names[f];
      }
    }
    ++n;
  }
  EXPECT_EQ(n, rows.size());
}

INSTANTIATE_TEST_SUITE_P(Kinds, PythonDbf,
                         ::testing::Values(Kind{"db3", Format::Dbase, 0x83}, Kind{"fp", Format::FoxPro, 0xF5},
                                           Kind{"vfp", Format::FoxPro, 0x30}),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace rf::tables
