// Cross-checks with Free Pascal's TDbf (tests/helpers/tdbf/rf-tdbf), a dBASE engine written
// independently of ours that keeps production .MDX files itself:
// - we read the tables, memos and MDX tags TDbf writes (dBASE III, IV and 7, FoxPro 2);
// - TDbf reads the dBASE IV tables and MDX tags we write, after inserts, an update that moves
//   keys and a delete, and walks every tag in the order we expect.
//
// Found by experiment: TDbf names the companions in lower case (T4.dbt, T4.mdx beside T4.DBF);
// it cannot index a date field directly (only DTOS(...)); a blank date reaches its DTOS() keys
// as 1899-12-30, so the data here has no blank dates in indexed fields; at level 25 it keeps
// FoxPro tables with .fpt memos but writes no .cdx (its tags would go to an .mdx), so the FoxPro
// case carries no tags. TDbf compares MDX numeric keys by their bytes, so it files 0.01
// (33 09 10 ...) below 0 (34 01 00 ...); the data keeps clear of values between 0 and 1.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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

const std::string kHelper = RF_BINARY_DIR "/tests/helpers/tdbf/rf-tdbf";

struct Row {
  std::string name;
  std::optional<double> qty;
  int cnt;
  Date born;
  std::optional<bool> ok;
  std::string note;
};

const std::string kLongNote = [] {
  std::string s;
  for (int i = 1; i <= 25; ++i) s += "Line " + std::to_string(i) + ": a memo that runs over several blocks.\r\n";
  return s;
}();

// Names in one case: TDbf orders character keys by the language driver's collation (see
// MixedCaseKeysFollowTheFile), which agrees with byte order only then.
std::vector<Row> rows() {
  return {{"beta", 2.5, -3, test::ymd(1999, 12, 31), true, "hello\r\nworld"},
          {"alpha", -1.25, 7, test::ymd(1850, 1, 2), false, ""},
          {"gamma", 1000, 0, test::ymd(2024, 2, 29), std::nullopt, kLongNote},
          {"alpha two", 12.75, 12, test::ymd(1970, 1, 1), true, "tab\there"},
          {"delta", std::nullopt, 5, test::ymd(2000, 2, 29), false, "x"}};
}

// TDbf looks for its companions with lower-case extensions (T.dbt, T.mdx) even beside T.DBF;
// ours carry upper-case ones. On a case-sensitive file system it gets links under its names.
void linkCompanionsForTdbf(const std::string& table) {
  for (const char* ext : {".DBT", ".MDX"}) {
    fs::path upper = fs::path(table).replace_extension(ext);
    std::string lowerExt = ext;
    for (auto& c : lowerExt) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    fs::path lower = fs::path(table).replace_extension(lowerExt);
    if (fs::exists(upper) && !fs::exists(lower)) fs::create_symlink(upper.filename(), lower);
  }
}

std::string escapeTdbf(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out;
}

std::string number(double v) {
  std::ostringstream os;
  os << v;
  return os.str();
}

// The form rf-tdbf prints a row in (and reads rows from).
std::string tdbfLine(const Row& r) {
  return r.name + "\t" + (r.qty ? number(*r.qty) : "") + "\t" + std::to_string(r.cnt) + "\t" + formatDate(r.born) +
         "\t" + (r.ok ? (*r.ok ? "T" : "F") : "") + "\t" + escapeTdbf(r.note);
}

struct TdbfRun {
  int code;
  std::string out;
};

// A confused reader may loop: each run gets 60 seconds and 10 MB of output.
TdbfRun tdbf(const std::vector<std::string>& args, const TempDir& dir) {
  std::string cmd = "ulimit -f 20480; timeout 60 " + shellQuote(kHelper);
  for (const auto& a : args) cmd += " " + shellQuote(a);
  cmd += " >" + shellQuote(dir.file("tdbf.stdout")) + " 2>" + shellQuote(dir.file("tdbf.stderr"));
  TdbfRun r;
  r.code = test::runCommand(cmd);
  auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  };
  r.out = slurp(dir.file("tdbf.stdout"));
  if (r.code != 0) {
    r.out = (r.code == 124 ? "rf-tdbf did not finish within 60 s; " : "") + slurp(dir.file("tdbf.stderr")) +
            "\n" + r.out.substr(0, 2000);
  }
  return r;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::string rtrimmed(std::string s) {
  auto end = s.find_last_not_of(' ');
  s.erase(end == std::string::npos ? 0 : end + 1);
  return s;
}

#define REQUIRE_TDBF()                                                     \
  if (!fs::exists(kHelper)) GTEST_SKIP() << "rf-tdbf was not built (fpc missing)"

// ---------------------------------------------------------------------------------------------

struct Level {
  const char* name;
  int level;
  Format format;
  int version;
  bool tags;
};

std::ostream& operator<<(std::ostream& os, const Level& l) { return os << l.name; }

class TdbfWrites : public ::testing::TestWithParam<Level> {};

TEST_P(TdbfWrites, WeReadItsValuesMemosAndTags) {
  REQUIRE_TDBF();
  const Level& lv = GetParam();
  TempDir dir;
  const std::vector<Row> data = rows();
  std::string input;
  for (const auto& r : data) input += tdbfLine(r) + "\n";
  std::ofstream(dir.file("rows.tsv")) << input;
  const std::string path = dir.file("T.DBF");
  TdbfRun w = tdbf({"write", path, std::to_string(lv.level), dir.file("rows.tsv")}, dir);
  ASSERT_EQ(w.code, 0) << w.out;

  Engine engine(dir.file("engine.conf"));
  auto table = engine.openPath(path, std::nullopt, /*readOnly=*/true);
  const TableInfo info = table->info();
  EXPECT_EQ(info.format, lv.format);
  EXPECT_EQ(info.version, lv.version);
  EXPECT_EQ(info.recordCount, data.size());
  EXPECT_FALSE(info.memoFile.empty());

  auto cursor = table->openCursor();
  std::size_t k = 0;
  for (bool on = cursor->first(); on; on = cursor->next(), ++k) {
    ASSERT_LT(k, data.size());
    const Record& rec = cursor->record();
    const Row& want = data[k];
    EXPECT_EQ(rtrimmed(table->get(rec, "NAME").asText()), want.name);
    const Value qty = table->get(rec, "QTY");
    if (want.qty) {
      EXPECT_DOUBLE_EQ(qty.asNumber(), *want.qty) << want.name;
    } else {
      EXPECT_TRUE(qty.isBlank()) << want.name;
    }
    EXPECT_DOUBLE_EQ(table->get(rec, "CNT").asNumber(), want.cnt) << want.name;
    EXPECT_EQ(table->get(rec, "BORN").asDate(), want.born) << want.name;
    const Value ok = table->get(rec, "OK");
    if (want.ok) {
      EXPECT_EQ(ok.asLogical(), *want.ok) << want.name;
    } else {
      EXPECT_TRUE(ok.isBlank()) << want.name;
    }
    const Value note = table->get(rec, "NOTE");
    EXPECT_EQ(note.isBlank() ? std::string() : note.asText(), want.note) << want.name;
  }
  EXPECT_EQ(k, data.size());

  std::vector<std::string> tags;
  for (const auto& ix : table->indexes()) tags.push_back(ix.name);
  std::sort(tags.begin(), tags.end());
  if (!lv.tags) {
    EXPECT_TRUE(tags.empty());
    return;
  }
  EXPECT_EQ(tags, (std::vector<std::string>{"BORN", "CNT", "NAME", "QTY", "UNAME"}));
  for (const auto& ix : table->indexes()) {
    if (ix.name == "QTY") {
      EXPECT_TRUE(ix.descending);
    }
    if (ix.name == "CNT") {
      EXPECT_TRUE(ix.unique);
    }
  }
  // Every tag in TDbf's own order.
  for (const auto& tag : tags) {
    SCOPED_TRACE(tag);
    TdbfRun d = tdbf({"dump", path, tag}, dir);
    ASSERT_EQ(d.code, 0) << d.out;
    std::vector<std::string> theirs;
    for (const auto& line : lines(d.out)) theirs.push_back(line.substr(0, line.find('\t')));
    theirs.erase(theirs.begin());  // the field names
    std::vector<std::string> ours;
    auto byTag = table->openCursor(tag);
    for (bool on = byTag->first(); on && ours.size() <= data.size(); on = byTag->next())
      ours.push_back(rtrimmed(table->get(byTag->record(), "NAME").asText()));
    EXPECT_EQ(ours, theirs);
  }
  CheckReport report = table->check();
  EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems.front());
}

INSTANTIATE_TEST_SUITE_P(Levels, TdbfWrites,
                         ::testing::Values(Level{"dbase3", 3, Format::Dbase, 0x83, false},
                                           Level{"dbase4_mdx", 4, Format::Dbase, 0x8B, true},
                                           Level{"dbase7_mdx", 7, Format::Dbase, 0x8C, true},
                                           Level{"foxpro2", 25, Format::FoxPro, 0xF5, false}),
                         [](const auto& param) { return std::string(param.param.name); });

// ---------------------------------------------------------------------------------------------

TEST(TdbfReads, OurDbase4TablesMemosAndTagsAfterInsertsUpdateAndDelete) {
  REQUIRE_TDBF();
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
  def.format = Format::Dbase;
  def.version = 0x8B;
  def.fields = {field("NAME", FieldType::Text, 'C', 20),   field("QTY", FieldType::Number, 'N', 10, 2),
                field("CNT", FieldType::Number, 'N', 9),   field("BORN", FieldType::Date, 'D', 8),
                field("OK", FieldType::Logical, 'L', 1),   field("NOTE", FieldType::Memo, 'M', 10)};
  def.indexes = {{"NAME", "NAME", {}, false, false},
                 {"UNAME", "UPPER(NAME)", {}, false, false},
                 {"QTY", "QTY", {}, false, true},
                 {"BORN", "DTOS(BORN)", {}, false, false},
                 {"CNT", "CNT", {}, true, false}};
  const std::string path = dir.file("ours.dbf");
  std::vector<Row> data = rows();
  data.push_back({"epsilon", 3.75, 99, test::ymd(1901, 1, 1), true, "added last"});
  {
    auto table = engine.create(path, def);
    for (const auto& r : data) {
      Record rec = table->blankRecord();
      table->set(rec, "NAME", Value::text(r.name));
      if (r.qty) table->set(rec, "QTY", Value::number(*r.qty));
      table->set(rec, "CNT", Value::number(r.cnt));
      table->set(rec, "BORN", Value::date(r.born));
      if (r.ok) table->set(rec, "OK", Value::logical(*r.ok));
      if (!r.note.empty()) table->set(rec, "NOTE", Value::text(r.note));
      table->insert(rec);
    }
    // Record 1 renamed and re-dated (its NAME, UNAME and BORN keys move), record 4 deleted.
    auto cursor = table->openCursor();
    ASSERT_TRUE(cursor->first());
    Record rec = cursor->record();
    table->set(rec, "NAME", Value::text("zeta"));
    table->set(rec, "BORN", Value::date(test::ymd(1800, 6, 15)));
    table->set(rec, "NOTE", Value::text(kLongNote + "grown"));
    table->update(rec);
    data[0].name = "zeta";
    data[0].born = test::ymd(1800, 6, 15);
    data[0].note = kLongNote + "grown";
    cursor->next();
    cursor->next();
    cursor->next();
    table->remove(cursor->bookmark());
    ASSERT_TRUE(table->check().ok());
  }
  std::vector<std::size_t> live = {0, 1, 2, 4, 5};  // indexes into data, record order
  linkCompanionsForTdbf(path);

  TdbfRun all = tdbf({"dump", path}, dir);
  ASSERT_EQ(all.code, 0) << all.out;
  // We write a blank logical as '?', which TDbf reads as false.
  std::vector<std::string> expected = {"NAME\tQTY\tCNT\tBORN\tOK\tNOTE"};
  for (std::size_t i : live) {
    Row shown = data[i];
    if (!shown.ok) shown.ok = false;
    expected.push_back(tdbfLine(shown));
  }
  EXPECT_EQ(lines(all.out), expected);

  auto order = [&](auto less) {
    std::vector<std::size_t> v = live;
    std::stable_sort(v.begin(), v.end(), [&](std::size_t a, std::size_t b) { return less(data[a], data[b]); });
    std::vector<std::string> names;
    for (std::size_t i : v) names.push_back(data[i].name);
    return names;
  };
  auto upper = [](std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  const std::vector<std::pair<std::string, std::vector<std::string>>> tags = {
      {"NAME", order([](const Row& a, const Row& b) { return a.name < b.name; })},
      {"UNAME", order([&](const Row& a, const Row& b) { return upper(a.name) < upper(b.name); })},
      {"QTY", order([](const Row& a, const Row& b) { return a.qty.value_or(0) > b.qty.value_or(0); })},
      {"BORN", order([](const Row& a, const Row& b) { return daysFromCivil(a.born) < daysFromCivil(b.born); })},
      {"CNT", order([](const Row& a, const Row& b) { return a.cnt < b.cnt; })},
  };
  for (const auto& [tag, names] : tags) {
    SCOPED_TRACE(tag);
    TdbfRun d = tdbf({"dump", path, tag}, dir);
    ASSERT_EQ(d.code, 0) << d.out;
    std::vector<std::string> theirs;
    for (const auto& line : lines(d.out)) theirs.push_back(line.substr(0, line.find('\t')));
    theirs.erase(theirs.begin());
    EXPECT_EQ(theirs, names);
  }
}

// TDbf keeps the character keys of a table with language driver 0x58 in that driver's
// collation, where case comes second ("Alpha" before "ALPHA" before "beta"), not in byte order.
// The engine walks the tag as the file has it, and a tag in a valid collation order is no
// corruption.
TEST(TdbfWritesCollated, MixedCaseKeysFollowTheFile) {
  REQUIRE_TDBF();
  TempDir dir;
  std::ofstream(dir.file("rows.tsv")) << "beta\t1\t1\t2000-01-01\tT\t\n"
                                         "Alpha\t2\t2\t2000-01-02\tT\t\n"
                                         "ALPHA\t3\t3\t2000-01-03\tT\t\n"
                                         "Beta\t4\t4\t2000-01-04\tT\t\n"
                                         "alpha\t5\t5\t2000-01-05\tT\t\n";
  const std::string path = dir.file("C.DBF");
  TdbfRun w = tdbf({"write", path, "4", dir.file("rows.tsv")}, dir);
  ASSERT_EQ(w.code, 0) << w.out;
  TdbfRun d = tdbf({"dump", path, "NAME"}, dir);
  ASSERT_EQ(d.code, 0) << d.out;
  std::vector<std::string> theirs;
  for (const auto& line : lines(d.out)) theirs.push_back(line.substr(0, line.find('\t')));
  theirs.erase(theirs.begin());
  ASSERT_EQ(theirs.size(), 5u);
  EXPECT_NE(theirs, (std::vector<std::string>{"ALPHA", "Alpha", "Beta", "alpha", "beta"})) << "byte order after all";

  Engine engine(dir.file("engine.conf"));
  auto table = engine.openPath(path, std::nullopt, true);
  std::vector<std::string> ours;
  auto cursor = table->openCursor("NAME");
  for (bool on = cursor->first(); on && ours.size() <= 5; on = cursor->next())
    ours.push_back(rtrimmed(table->get(cursor->record(), "NAME").asText()));
  EXPECT_EQ(ours, theirs);
  CheckReport report = table->check();
  EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems.front());
}

}  // namespace
}  // namespace rf::tables
