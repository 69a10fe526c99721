// The railfolio-db command-line tool, run as a separate program the way users and the build run
// it: its output, its exit codes (0 done, 1 check found a problem, 2 bad arguments or a file it
// could not read) and the promise that info, dump and check change nothing.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <sstream>

#include "tables/engine.h"
#include "tables/error.h"
#include "tests/support/test_support.h"

namespace rf {
namespace {

namespace fs = std::filesystem;
using test::shellQuote;
using test::TempDir;

const std::string kTool = RF_BINARY_DIR "/tools/railfolio-db";

struct Result {
  int code = -1;  // -1: killed by a signal
  std::string out;
  std::string err;
};

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// Runs the tool with `words` after an optional environment prefix; no configuration option is
// added.
Result runRaw(const std::vector<std::string>& words, const TempDir& dir, const std::string& env = {}) {
  std::string cmd = env.empty() ? std::string() : env + " ";
  cmd += shellQuote(kTool);
  for (const auto& w : words) cmd += " " + shellQuote(w);
  const std::string errFile = dir.file(".stderr");
  cmd += " 2>" + shellQuote(errFile) + " </dev/null";
  Result r;
  r.code = test::runCommand(cmd, &r.out);
  r.err = readText(errFile);
  return r;
}

// A working directory with its own engine configuration: every run gets --config.
class ToolTest : public ::testing::Test {
 protected:
  std::string config() const { return dir_.file("engine.conf"); }
  std::string path(const std::string& name) const { return dir_.file(name); }
  Result run(std::vector<std::string> words) {
    words.insert(words.begin(), {"--config", config()});
    return runRaw(words, dir_, "XDG_CONFIG_HOME=" + shellQuote(dir_.file("xdg")));
  }
  std::string copy(const std::vector<std::string>& fixtures) { return test::copyFixtures(fixtures, dir_.path()); }
  std::string writeFile(const std::string& name, const std::string& text) {
    writeText(path(name), text);
    return path(name);
  }
  // create + load through the tool; fails the test when either refuses.
  std::string makeTable(const std::string& name, const std::string& definition, const std::string& csv) {
    const std::string table = path(name);
    Result c = run({"create", table, writeFile(name + ".def", definition)});
    EXPECT_EQ(c.code, 0) << c.err;
    if (!csv.empty()) {
      Result l = run({"load", table, writeFile(name + ".csv", csv)});
      EXPECT_EQ(l.code, 0) << l.err;
    }
    return table;
  }

  TempDir dir_;
};

// RFC 4180, independent of the tool's own reader.
std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string cell;
  bool quoted = false, any = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell += c;
      }
    } else if (c == '"') {
      quoted = true;
      any = true;
    } else if (c == ',') {
      row.push_back(cell);
      cell.clear();
    } else if (c == '\n') {
      row.push_back(cell);
      rows.push_back(row);
      row.clear();
      cell.clear();
      any = false;
    } else {
      cell += c;
      any = true;
    }
  }
  if (any || !row.empty()) {
    row.push_back(cell);
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> column(const std::vector<std::vector<std::string>>& rows, std::size_t c) {
  std::vector<std::string> out;
  for (std::size_t r = 1; r < rows.size(); ++r) out.push_back(c < rows[r].size() ? rows[r][c] : "<missing>");
  return out;
}

// Names, sizes and contents of every file in a directory.
std::map<std::string, std::string> snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.is_regular_file() && e.path().filename().string()[0] != '.')
      files[e.path().filename().string()] = readText(e.path().string());
  return files;
}

void patch(const std::string& path, std::size_t offset, const std::string& bytes) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(offset));
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// ---------------------------------------------------------------------------------------------
// Arguments

TEST_F(ToolTest, HelpDescribesTheCommandsAndTheDefinitionFormat) {
  for (const char* word : {"--help", "help", "-h"}) {
    Result r = run({word});
    EXPECT_EQ(r.code, 0) << word;
    EXPECT_NE(r.out.find("Usage: railfolio-db"), std::string::npos);
    for (const char* text : {"info FILE", "dump FILE [--index NAME]", "check FILE", "empty FILE",
                             "create FILE DEFINITION", "load FILE CSV", "alias set NAME DIR", "alias list",
                             "format dbase|foxpro|paradox", "index NAME KEY [unique] [descending]",
                             "primary N", "codepage N", "version N"})
      EXPECT_NE(r.out.find(text), std::string::npos) << text;
    EXPECT_TRUE(r.err.empty());
  }
  Result bare = runRaw({}, dir_);
  EXPECT_EQ(bare.code, 2);
  EXPECT_NE(bare.err.find("Usage: railfolio-db"), std::string::npos);
  EXPECT_TRUE(bare.out.empty());
}

TEST_F(ToolTest, BadArgumentsAndMissingFilesExitTwoWithAMessage) {
  const std::string table = copy({"dbase/jdbfdriver/TEST.DBF", "dbase/jdbfdriver/TEST.MDX"});
  fs::create_directory(path("folder.dbf"));
  ASSERT_EQ(::mkfifo(path("pipe.dbf").c_str(), 0600), 0);
  writeFile("notes.txt", "not a table\n");
  struct Case {
    std::vector<std::string> words;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"info"}, "missing arguments"},
      {{"info", table, table}, "too many arguments"},
      {{"dump", table, "--index"}, "--index needs a value"},
      {{"dump", table, "--sort", "TEST1"}, "unknown option --sort"},
      {{"check", "--verbose", table}, "unknown option --verbose"},
      {{"alias"}, "missing arguments"},
      {{"alias", "set", "only"}, "missing arguments"},
      {{"alias", "frob"}, "unknown alias command 'frob'"},
      {{"alias", "list", "extra"}, "too many arguments"},
      {{"alias", "set", "data", path("no-such-dir")}, "no such directory"},
      {{"alias", "set", "a=b", dir_.path()}, "cannot be an alias name"},
      {{"info", path("missing.dbf")}, "missing.dbf: no such file"},
      {{"dump", path("missing.db")}, "missing.db: no such file"},
      {{"check", path("missing.dbf")}, "missing.dbf: no such file"},
      {{"empty", path("missing.dbf")}, "missing.dbf: no such file"},
      {{"info", path("folder.dbf")}, "is a directory"},
      {{"check", path("pipe.dbf")}, "pipe.dbf: not a regular file"},
      {{"info", path("notes.txt")}, "notes.txt"},
      {{"create", path("new.dbf"), path("missing.def")}, "missing.def: no such file"},
      {{"load", table, path("missing.csv")}, "missing.csv: no such file"},
      {{"dump", table, "--index", "NOSUCHTAG"}, "NOSUCHTAG"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words.front() + (c.words.size() > 1 ? " " + c.words[1] : ""));
    Result r = run(c.words);
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_EQ(r.err.rfind("railfolio-db: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(path("new.dbf")));

  for (const auto& words : std::vector<std::vector<std::string>>{{"--config"}, {"--config="}, {"--bogus", "info", table}}) {
    Result r = runRaw(words, dir_);
    EXPECT_EQ(r.code, 2) << words.front();
    EXPECT_EQ(r.err.rfind("railfolio-db: ", 0), 0u) << r.err;
  }
}

// ---------------------------------------------------------------------------------------------
// info and dump

TEST_F(ToolTest, InfoShowsFormatRecordsFieldsAndTags) {
  const std::string table = copy({"dbase/jdbfdriver/TEST.DBF", "dbase/jdbfdriver/TEST.MDX"});
  Result r = run({"info", table});
  ASSERT_EQ(r.code, 0) << r.err;
  // Tag names as the MDX stores them (upper case), key expressions as written.
  for (const char* line : {"format: dBASE, version 0x03", "records: 3", "memo file: none", "fields: 2",
                           "  TEST1  C    50   0  text", "  TEST2  N    10   0  number", "indexes: 2",
                           "  TEST1  key TEST1  file TEST.MDX", "  TEST2  key test2  file TEST.MDX"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n---\n" << r.out;
  EXPECT_NE(r.out.find("index file: "), std::string::npos);
  EXPECT_NE(r.out.find("TEST.MDX\n"), std::string::npos);
}

TEST_F(ToolTest, DumpWritesRfc4180WithMemosInRecordOrder) {
  const std::string table = copy({"dbase/ndbfreaderex-bde/BDE_TEST_4_64.dbf", "dbase/ndbfreaderex-bde/BDE_TEST_4_64.DBT"});
  Result r = run({"dump", table});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("C10,D,L,I,N5,N10,B\nAAA,2015-01-01,T,111,1111,11111.11,>aAaA aAaA aAaA aAaA aAaA aAaA aAaA aAaA>\n"
                        "BBB,2015-02-08,F,222,2222,22222.22,\">\r\nbBbBbBbbbbBB...",
                        0),
            0u)
      << r.out.substr(0, 200);
  auto rows = parseCsv(r.out);
  ASSERT_EQ(rows.size(), 5u);
  // The memo's own CRLF line breaks stay inside the quoted cell; rows end in LF alone.
  EXPECT_EQ(rows[2][6].size(), 1180u);
  EXPECT_EQ(rows[2][6].substr(rows[2][6].size() - 20), "bbBBBbbBBBBbbBBBBBB>");
  EXPECT_EQ(rows[3], (std::vector<std::string>{"CCC", "2015-03-13", "F", "333", "3333", "33333.33", ""}));
  EXPECT_EQ(rows[4], (std::vector<std::string>{"DDD", "2015-04-24", "F", "444", "4444", "44444.44", ""}));
  EXPECT_EQ(r.out.substr(r.out.size() - 36), "DDD,2015-04-24,F,444,4444,44444.44,\n");
}

TEST_F(ToolTest, DumpFollowsTheNamedIndexAnyCase) {
  const std::string table = copy({"dbase/jdbfdriver/TEST.DBF", "dbase/jdbfdriver/TEST.MDX"});
  struct Case {
    std::vector<std::string> words;
    std::vector<std::string> test1;
  };
  for (const Case& c : std::vector<Case>{
           {{"dump", table}, {"test1", "test2", "0test3"}},
           {{"dump", table, "--index", "TEST1"}, {"0test3", "test1", "test2"}},
           {{"dump", "--index", "test1", table}, {"0test3", "test1", "test2"}},
           {{"dump", table, "--index=Test2"}, {"test1", "0test3", "test2"}},
       }) {
    Result r = run(c.words);
    ASSERT_EQ(r.code, 0) << r.err;
    auto rows = parseCsv(r.out);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], (std::vector<std::string>{"TEST1", "TEST2"}));
    EXPECT_EQ(column(rows, 0), c.test1) << c.words.back();
  }
}

TEST_F(ToolTest, DumpLeavesOutVisualFoxProNullFlagsAndShowsNullsAsEmptyCells) {
  const std::string table = copy({"foxpro/javadbf-xsource/payments.dbf", "foxpro/javadbf-xsource/payments.cdx"});
  Result r = run({"dump", table, "--index", "PROJECTID"});
  ASSERT_EQ(r.code, 0) << r.err;
  auto rows = parseCsv(r.out);
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"PAYMENTID", "PROJECTID", "PAYMENTAMO", "PAYMENTDAT", "CREDITCARD",
                                               "CARDHOLDER", "CREDITCAR2", "CREDITCAR3", "PAYMENTMET"}));
  // Record 3 (project 1) first; its card fields are null.
  EXPECT_EQ(rows[1], (std::vector<std::string>{"3", "1", "500", "1995-01-04T00:00:00", "", "", "", "", "1"}));
  EXPECT_EQ(column(rows, 1), (std::vector<std::string>{"1", "2", "2", "3", "4"}));
  Result info = run({"info", table});
  EXPECT_NE(info.out.find("_NullFlags"), std::string::npos) << info.out;
}

// ---------------------------------------------------------------------------------------------
// create, load, dump: the text round trip the build relies on

struct RoundTripCase {
  const char* name;
  const char* file;
  std::string definition;
  std::string csv;       // loaded
  std::string dumped;    // what dump gives back (record or primary key order)
  std::string index;     // optional: dump --index
  std::string indexed;   // ... and what it gives
};

class ToolRoundTrip : public ToolTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(ToolRoundTrip, LoadedTextDumpsBackAsWritten) {
  const RoundTripCase& c = GetParam();
  const std::string table = makeTable(c.file, c.definition, c.csv);
  Result r = run({"dump", table});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, c.dumped);
  if (!c.index.empty()) {
    Result ix = run({"dump", table, "--index", c.index});
    ASSERT_EQ(ix.code, 0) << ix.err;
    EXPECT_EQ(ix.out, c.indexed);
  }
  Result check = run({"check", table});
  EXPECT_EQ(check.code, 0) << check.out << check.err;
}

// Cells that need quoting, doubled quotes, line breaks, leading blanks (kept) and trailing
// blanks (padding: dropped), characters of Windows-1252, blanks of every type.
const std::string kTrickyText = "\"Smith, John\",\"He said \"\"hi\"\"\",\"two\nlines\",\"  lead\",\"Crème brûlée €5\"";

INSTANTIATE_TEST_SUITE_P(
    Formats, ToolRoundTrip,
    ::testing::Values(
        RoundTripCase{"dbase", "pieces.dbf",
                      "# pieces\nformat dbase\nversion 0x8B\ncodepage 1252\n"
                      "CODE C 8\nNAME C 30\nQTY N 10 2\nBOUGHT D\nRUNS L\nfield NOTES M\n"
                      "index CODE CODE\nindex NAMEQTY \"UPPER(NAME)+STR(QTY,10,2)\" descending\n",
                      "CODE,NAME,QTY,BOUGHT,RUNS,NOTES\n"
                      "B2,\"Smith, John\",2.5,1999-12-31,T,\"first line\r\nsecond line\"\n"
                      "A1,\"He said \"\"hi\"\"\",-1.25,1850-01-02,F,\"a, b and \"\"c\"\"\"\n"
                      "C3,  lead   ,1000000,,,\n"
                      "D4,Crème brûlée €5,0,2024-02-29,T,é\n"
                      ",,,,,\n",
                      "CODE,NAME,QTY,BOUGHT,RUNS,NOTES\n"
                      "B2,\"Smith, John\",2.5,1999-12-31,T,\"first line\r\nsecond line\"\n"
                      "A1,\"He said \"\"hi\"\"\",-1.25,1850-01-02,F,\"a, b and \"\"c\"\"\"\n"
                      "C3,  lead,1000000,,,\n"
                      "D4,Crème brûlée €5,0,2024-02-29,T,é\n"
                      ",,,,,\n",
                      "code",
                      "CODE,NAME,QTY,BOUGHT,RUNS,NOTES\n"
                      ",,,,,\n"
                      "A1,\"He said \"\"hi\"\"\",-1.25,1850-01-02,F,\"a, b and \"\"c\"\"\"\n"
                      "B2,\"Smith, John\",2.5,1999-12-31,T,\"first line\r\nsecond line\"\n"
                      "C3,  lead,1000000,,,\n"
                      "D4,Crème brûlée €5,0,2024-02-29,T,é\n"},
        RoundTripCase{"foxpro", "pieces_vfp.dbf",
                      "format foxpro\nversion 0x30\n"
                      "ID I\nNAME C 20\nPRICE Y\nSEEN T\nOK L\nMEMO M\nQTY N 8 3\n"
                      "index ID ID unique\nindex NAME UPPER(NAME)\n",
                      "ID,NAME,PRICE,SEEN,OK,MEMO,QTY\n"
                      "3,zeta,12.5,2020-02-29T13:14:15,T,\"x\ny\",1.5\n"
                      "1,Alpha,0.25,2020-02-29T13:14:15.250,F,,-0.001\n"
                      "2,\"Mid, dle\",100,1999-12-31T23:59:59,T,\"\"\"quoted\"\"\",\n",
                      "ID,NAME,PRICE,SEEN,OK,MEMO,QTY\n"
                      "3,zeta,12.5,2020-02-29T13:14:15,T,\"x\ny\",1.5\n"
                      "1,Alpha,0.25,2020-02-29T13:14:15.250,F,,-0.001\n"
                      "2,\"Mid, dle\",100,1999-12-31T23:59:59,T,\"\"\"quoted\"\"\",\n",
                      "NAME",
                      "ID,NAME,PRICE,SEEN,OK,MEMO,QTY\n"
                      "1,Alpha,0.25,2020-02-29T13:14:15.250,F,,-0.001\n"
                      "2,\"Mid, dle\",100,1999-12-31T23:59:59,T,\"\"\"quoted\"\"\",\n"
                      "3,zeta,12.5,2020-02-29T13:14:15,T,\"x\ny\",1.5\n"},
        RoundTripCase{"paradox", "Pieces.db",
                      "format paradox\ncodepage 1252\nprimary 1\n"
                      "Id I\n\"Full Name\" A 30\nQty N\nBorn D\nOk L\nClock T\nAt @\nRaw Y 4\nNote M 20\n"
                      "index ByName \"Full Name,Id\"\n",
                      "Id,Full Name,Qty,Born,Ok,Clock,At,Raw,Note\n"
                      "3,\"Smith, John\",2.5,1999-12-31,T,23:59:59.999,2020-02-29T13:14:15,00ff10ab,\"a memo\r\nlonger than its leader\"\n"
                      "1,Crème brûlée €5,-1.25,1850-01-02,F,00:00:01,1900-01-01T00:00:00.500,ffffffff,short\n"
                      "2,,,,,,,01020304,\n",
                      "Id,Full Name,Qty,Born,Ok,Clock,At,Raw,Note\n"
                      "1,Crème brûlée €5,-1.25,1850-01-02,F,00:00:01,1900-01-01T00:00:00.500,ffffffff,short\n"
                      "2,,,,,,,01020304,\n"
                      "3,\"Smith, John\",2.5,1999-12-31,T,23:59:59.999,2020-02-29T13:14:15,00ff10ab,\"a memo\r\nlonger than its leader\"\n",
                      "ByName",
                      "Id,Full Name,Qty,Born,Ok,Clock,At,Raw,Note\n"
                      "2,,,,,,,01020304,\n"
                      "1,Crème brûlée €5,-1.25,1850-01-02,F,00:00:01,1900-01-01T00:00:00.500,ffffffff,short\n"
                      "3,\"Smith, John\",2.5,1999-12-31,T,23:59:59.999,2020-02-29T13:14:15,00ff10ab,\"a memo\r\nlonger than its leader\"\n"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(ToolTest, InfoOfACreatedTableShowsWhatTheDefinitionSaid) {
  const std::string dbf = makeTable("pieces.dbf",
                                    "format dbase\nversion 0x8B\nCODE C 8\nQTY N 10 2\nNOTES M\n"
                                    "index CODE UPPER(CODE) unique\nindex QTY QTY descending\n",
                                    "");
  Result r = run({"info", dbf});
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* line : {"format: dBASE, version 0x8B", "records: 0", "code page: 1252", "fields: 3",
                           "  CODE   C     8   0  text", "  QTY    N    10   2  number", "  NOTES  M    10   0  memo",
                           "  CODE  key UPPER(CODE)", "  QTY  key QTY"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n---\n" << r.out;
  EXPECT_NE(r.out.find("unique"), std::string::npos);
  EXPECT_NE(r.out.find("descending"), std::string::npos);
  EXPECT_NE(r.out.find("memo file: "), std::string::npos);
  EXPECT_EQ(r.out.find("memo file: none"), std::string::npos);

  const std::string db = makeTable("Parts.db", "primary 1\nId I\nName A 20\nindex ByName Name\n", "");
  Result p = run({"info", db});
  ASSERT_EQ(p.code, 0) << p.err;
  EXPECT_NE(p.out.find("format: Paradox"), std::string::npos) << p.out;
  EXPECT_NE(p.out.find("(primary key)"), std::string::npos) << p.out;
  EXPECT_NE(p.out.find("ByName"), std::string::npos) << p.out;
}

TEST_F(ToolTest, CreateRefusesBadDefinitionsAndExistingTables) {
  struct Case {
    const char* name;
    std::string definition;
    std::string message;  // with the line it concerns
  };
  const std::vector<Case> cases = {
      {"t1.dbf", "format dbase\n# nothing else\n", "has no fields"},
      {"t2.dbf", "format sqlite\nA C 10\n", ":1: unknown format 'sqlite'"},
      {"t3.dbf", "format dbase\nA Q 10\n", ":2: 'Q' is not a dBASE field type"},
      {"t4.dbf", "format dbase\nA C\n", ":2: field A needs a width"},
      {"t5.dbf", "format dbase\nA C ten\n", ":2: 'ten' is not a valid width"},
      {"t6.dbf", "format dbase\nA C 10\nindex X A sideways\n", ":3: unknown index option 'sideways'"},
      {"t7.db", "format paradox\nA A 10\nindex X A,B\n", ":3: index X names an unknown field 'B'"},
      {"t8.dbf", "format dbase\n\"A C 10\n", ":2: a quote is not closed"},
      {"t9.dbf", "format dbase\nversion\nA C 10\n", ":2: 'version' takes 1 value"},
      {"t10.db", "primary 3\nA A 10\n", "the primary key has more fields than the table"},
      {"t11.dbf", "format dbase\nA CC 10\n", ":2: 'CC' is not a type letter"},
      {"t12.txt", "A C 10\n", "does not tell the format"},
      {"t13.dbf", "format dbase\nA C 10 2 9\n", ":2: a field is NAME TYPE [WIDTH [DECIMALS]]"},
      {"t14.dbf", "format dbase\nindex X\nA C 10\n", ":2: an index needs a name and a key"},
      {"t15", "format dbase\nA C 10\n", "t15: a dBASE table is named NAME.dbf"},
      {"t16.db", "format foxpro\nA C 10\n", "t16.db: a FoxPro table is named NAME.dbf"},
      {"t17.dbf", "format paradox\nA A 10\n", "t17.dbf: a Paradox table is named NAME.db"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Result r = run({"create", path(c.name), writeFile(std::string(c.name) + ".def", c.definition)});
    EXPECT_EQ(r.code, 2);
    // A mistake on a line is reported as DEFINITION:LINE: what.
    const std::string wanted = c.message[0] == ':' ? std::string(c.name) + ".def" + c.message : c.message;
    EXPECT_NE(r.err.find(wanted), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(path(c.name)));
  }

  // Refused by the engine rather than the parser: a character field wider than a record allows.
  Result wide = run({"create", path("wide.dbf"), writeFile("wide.def", "format dbase\nA C 300\n")});
  EXPECT_EQ(wide.code, 2);
  EXPECT_FALSE(wide.err.empty());

  const std::string table = makeTable("kept.dbf", "format dbase\nA C 10\n", "A\nkeep me\n");
  const auto before = snapshot(dir_.path());
  Result again = run({"create", table, writeFile("other.def", "format dbase\nB N 5\n")});
  EXPECT_EQ(again.code, 2);
  EXPECT_NE(again.err.find("kept.dbf"), std::string::npos) << again.err;
  auto after = snapshot(dir_.path());
  after.erase("other.def");
  EXPECT_EQ(after, before);
}

TEST_F(ToolTest, LoadRefusesBadCsvAndChangesNothing) {
  const std::string table = makeTable("t.dbf", "format dbase\nCODE C 8\nQTY N 10 2\nDAY D\nOK L\nNOTE M\n"
                                               "index CODE CODE\n", "CODE,QTY\nkeep,1\n");
  struct Case {
    std::string csv;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"CODE,COLOUR\na,red\n", "bad.csv:1: " + table + " has no field 'COLOUR'"},
      {"CODE,code\na,b\n", "bad.csv:1: the field code is named twice"},
      {"", "bad.csv: empty"},
      {"CODE,QTY\nok,1\nbad,12x\n", "bad.csv:3: field QTY: '12x' is not a number"},
      {"CODE,DAY\nx,1999-13-01\n", "bad.csv:2: field DAY: '1999-13-01' is not a date (YYYY-MM-DD)"},
      {"CODE,DAY\nx,31.12.1999\n", "bad.csv:2: field DAY"},
      {"CODE,OK\nx,maybe\n", "bad.csv:2: field OK: 'maybe' is not a logical"},
      {"CODE,QTY\na,1,2\n", "bad.csv:2: 3 fields where the header has 2"},
      {"CODE,NOTE\na,\"open\nstill open\n", "a quoted field is not closed (it opened on line 2)"},
      {"CODE,NOTE\na,\"x\"y\n", "bad.csv:2: unexpected text after a closing quote"},
      {"CODE,QTY\n\"mu\nlti\",1\nb,1e999\n", "bad.csv:4: field QTY: '1e999' is not a number"},
      {"CODE,QTY\na,nan\n", "'nan' is not a number"},
  };
  const auto before = snapshot(dir_.path());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.csv);
    Result r = run({"load", table, writeFile("bad.csv", c.csv)});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    auto now = snapshot(dir_.path());
    now.erase("bad.csv");
    EXPECT_EQ(now, before) << "a refused load changed the table";
  }
  Result dump = run({"dump", table});
  EXPECT_EQ(dump.out, "CODE,QTY,DAY,OK,NOTE\nkeep,1,,,\n");
}

TEST_F(ToolTest, LoadStoppedByADuplicateKeySaysHowFarItGot) {
  const std::string table = makeTable("Keys.db", "format paradox\nprimary 1\nId I\nName A 10\n", "");
  Result r = run({"load", table, writeFile("dup.csv", "Id,Name\n1,one\n2,two\n2,again\n3,three\n")});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("dup.csv:4: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("2 of 4 rows were appended before it"), std::string::npos) << r.err;
  Result dump = run({"dump", table});
  EXPECT_EQ(dump.out, "Id,Name\n1,one\n2,two\n");
}

TEST_F(ToolTest, LoadAcceptsCrLfLinesAByteOrderMarkAndOtherLogicalForms) {
  const std::string table = makeTable("t.dbf", "format dbase\nNAME C 10\nOK L\nQTY N 6 1\n", "");
  Result r = run({"load", table,
                  writeFile("in.csv", "\xEF\xBB\xBFOK,name\r\ny,a\r\nN,b\r\ntrue,c\r\n0,d\r\n?,\"e\r\nf\"\r\n")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("5 records appended"), std::string::npos) << r.out;
  Result dump = run({"dump", table});
  EXPECT_EQ(dump.out, "NAME,OK,QTY\na,T,\nb,F,\nc,T,\nd,F,\n\"e\r\nf\",,\n");
}

// ---------------------------------------------------------------------------------------------
// check

TEST_F(ToolTest, CheckPassesFilesThatAgree) {
  for (const auto& files : std::vector<std::vector<std::string>>{
           {"dbase/jdbfdriver/TEST.DBF", "dbase/jdbfdriver/TEST.MDX"},
           {"dbase/dbd-xbase/test.dbf", "dbase/dbd-xbase/test.dbt"},
           {"foxpro/go-dbase/database/employees.dbf", "foxpro/go-dbase/database/employees.FPT",
            "foxpro/go-dbase/database/employees.CDX"}}) {
    const std::string table = copy(files);
    Result r = run({"check", table});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(table + ": ok ("), std::string::npos) << r.out;
  }
}

TEST_F(ToolTest, CheckFindsTablesIndexesAndMemosThatDisagree) {
  struct Case {
    const char* name;
    std::vector<std::string> files;
    std::function<void(const std::string& dir)> damage;
    std::string named;  // the file the report must name
  };
  const std::vector<Case> cases = {
      // The key of record 1 changed behind the index's back.
      {"table_edited_without_its_index",
       {"dbase/jdbfdriver/TEST.DBF", "dbase/jdbfdriver/TEST.MDX"},
       [](const std::string& d) { patch(d + "/TEST.DBF", 97 + 1, "zzzz1"); }, "TEST.MDX"},
      // Record 1's memo reference points past the end of the .DBT.
      {"memo_reference_past_the_end",
       {"dbase/dbd-xbase/test.dbf", "dbase/dbd-xbase/test.dbt"},
       [](const std::string& d) { patch(d + "/test.dbf", 193 + 1 + 5 + 254, "       999"); }, "test.dbt"},
      // Records cut off in the middle.
      {"table_truncated",
       {"dbase/infused-dbf/dbase_8b.dbf", "dbase/infused-dbf/dbase_8b.dbt"},
       [](const std::string& d) { fs::resize_file(d + "/dbase_8b.dbf", 225 + 160 * 3 + 80); }, "dbase_8b.dbf"},
      // An older index copied back in: it lacks the record inserted since.
      {"older_index_copied_in",
       {"dbase/jdbfdriver/TEST.DBF", "dbase/jdbfdriver/TEST.MDX"},
       [this](const std::string& d) {
         const auto older = test::readFileBytes(d + "/TEST.MDX");
         {
           tables::Engine engine(config());
           auto t = engine.openPath(d + "/TEST.DBF");
           tables::Record rec = t->blankRecord();
           t->set(rec, "TEST1", tables::Value::text("test4"));
           t->insert(rec);
         }
         test::writeFileBytes(d + "/TEST.MDX", older);
       },
       "TEST.MDX"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir d;
    test::copyFixtures(c.files, d.path());
    c.damage(d.path());
    const std::string table = d.path() + "/" + fs::path(c.files[0]).filename().string();
    Result r = run({"check", table});
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_NE(r.out.find(c.named), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(": ok ("), std::string::npos) << r.out;
  }
}

TEST_F(ToolTest, CorruptAndTruncatedFilesNeverCrashTheTool) {
  const std::string source = test::fixturePath("dbase/dbd-xbase/test.dbf");
  const auto bytes = test::readFileBytes(source);
  writeText(path("junk.dbf"), "\x03\x7f\xff\xff\xff\xff\xff\xff\x01\x00");
  Result junkInfo = run({"info", path("junk.dbf")});
  EXPECT_EQ(junkInfo.code, 2);
  EXPECT_NE(junkInfo.err.find("junk.dbf"), std::string::npos) << junkInfo.err;
  Result junkCheck = run({"check", path("junk.dbf")});
  EXPECT_EQ(junkCheck.code, 1) << junkCheck.err;
  EXPECT_NE(junkCheck.out.find("junk.dbf"), std::string::npos) << junkCheck.out;

  // Cuts through the header, the field descriptors, the terminator, the records.
  for (std::size_t cut : {0u, 1u, 12u, 31u, 32u, 63u, 64u, 100u, 192u, 193u, 194u, 300u, 472u, 700u, 1029u}) {
    SCOPED_TRACE(cut);
    TempDir d;
    test::copyFile(test::fixturePath("dbase/dbd-xbase/test.dbt"), d.file("test.dbt"));
    test::writeFileBytes(d.file("test.dbf"), std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + cut));
    const std::string table = d.file("test.dbf");
    Result check = run({"check", table});
    EXPECT_EQ(check.code, 1) << check.out << check.err;
    for (const char* command : {"info", "dump"}) {
      Result r = run({command, table});
      EXPECT_TRUE(r.code == 0 || r.code == 2) << command << " exit " << r.code;
      if (r.code == 2) {
        EXPECT_NE(r.err.find("test.dbf"), std::string::npos) << r.err;
      }
    }
  }
}

TEST_F(ToolTest, CheckMentionsALeftoverJournal) {
  TempDir live;
  const std::string table = test::copyFixtures({"dbase/jdbfdriver/TEST.DBF", "dbase/jdbfdriver/TEST.MDX"}, live.path());
  {
    tables::Engine engine(config());
    auto t = engine.openPath(table);
    tables::Record rec = t->blankRecord();
    t->set(rec, "TEST1", tables::Value::text("test4"));
    t->set(rec, "TEST2", tables::Value::number(5));
    t->insert(rec);
    // While the writer still has the table open its committed change is in the journal; a copy
    // taken now is what a crash at this moment leaves behind.
    for (const auto& e : fs::directory_iterator(live.path())) test::copyFile(e.path().string(), path(e.path().filename().string()));
  }
  ASSERT_TRUE(fs::exists(path("TEST.DBF-journal"))) << "the engine keeps no journal while a writer is open";
  ASSERT_GT(fs::file_size(path("TEST.DBF-journal")), 0u);
  Result r = run({"check", path("TEST.DBF")});
  EXPECT_TRUE(r.code == 0 || r.code == 1) << r.err;
  EXPECT_NE(r.out.find("note: " + path("TEST.DBF-journal") + ": a journal of changes not yet applied"),
            std::string::npos)
      << r.out;
}

TEST_F(ToolTest, CheckMentionsClassicParadoxLockFilesAndLeavesThem) {
  const std::string db = makeTable("Parts.db", "primary 1\nId I\nName A 20\n", "Id,Name\n1,bolt\n2,nut\n");
  writeFile("PDOXUSRS.NET", "someone else's control file");
  writeFile("paradox.lck", "lock");
  const auto before = snapshot(dir_.path());
  Result r = run({"check", db});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("note: " + path("PDOXUSRS.NET") + ": a lock file of the classic Paradox engine (left alone)"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("note: " + path("paradox.lck") + ": a lock file"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("PDOXUSRS.LCK"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(db + ": ok (2 records, 1 index)"), std::string::npos) << r.out;
  EXPECT_EQ(snapshot(dir_.path()), before);

  // They are Paradox's: beside a dBASE table they are not reported.
  const std::string dbf = makeTable("other.dbf", "format dbase\nA C 5\n", "");
  Result x = run({"check", dbf});
  EXPECT_EQ(x.code, 0);
  EXPECT_EQ(x.out.find("note:"), std::string::npos) << x.out;
}

TEST_F(ToolTest, InfoDumpAndCheckChangeNothing) {
  copy({"dbase/jdbfdriver/TEST.DBF", "dbase/jdbfdriver/TEST.MDX", "dbase/ndbfreaderex-bde/BDE_TEST_4_64.dbf",
        "dbase/ndbfreaderex-bde/BDE_TEST_4_64.DBT", "foxpro/go-dbase/database/employees.dbf",
        "foxpro/go-dbase/database/employees.FPT", "foxpro/go-dbase/database/employees.CDX"});
  makeTable("Parts.db", "primary 1\nId I\nName A 20\nNote M 15\nindex ByName Name\n",
            "Id,Name,Note\n2,nut,a memo longer than the leader\n1,bolt,\n");
  const auto before = snapshot(dir_.path());
  const std::vector<std::vector<std::string>> commands = {
      {"info", path("TEST.DBF")},         {"dump", path("TEST.DBF"), "--index", "TEST2"},
      {"check", path("TEST.DBF")},        {"dump", path("BDE_TEST_4_64.dbf")},
      {"check", path("BDE_TEST_4_64.dbf")}, {"info", path("employees.dbf")},
      {"dump", path("employees.dbf"), "--index", "LASTNAME"}, {"check", path("employees.dbf")},
      {"info", path("Parts.db")},         {"dump", path("Parts.db"), "--index", "ByName"},
      {"check", path("Parts.db")}};
  for (const auto& c : commands) {
    Result r = run(c);
    EXPECT_EQ(r.code, 0) << c[0] << " " << c[1] << ": " << r.err;
  }
  EXPECT_EQ(snapshot(dir_.path()), before);
}

// ---------------------------------------------------------------------------------------------
// empty and alias

TEST_F(ToolTest, EmptyKeepsFieldsAndTagsAndRefusesWhileTheTableIsOpen) {
  const std::string table = copy({"dbase/jdbfdriver/TEST.DBF", "dbase/jdbfdriver/TEST.MDX"});
  {
    tables::Engine engine(config());
    auto open = engine.openPath(table);
    Result busy = run({"empty", table});
    EXPECT_EQ(busy.code, 2);
    EXPECT_NE(busy.err.find("TEST.DBF"), std::string::npos) << busy.err;
  }
  Result stillThere = run({"dump", table});
  EXPECT_EQ(parseCsv(stillThere.out).size(), 4u) << stillThere.out;

  Result r = run({"empty", table});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, table + ": emptied\n");
  EXPECT_EQ(run({"dump", table}).out, "TEST1,TEST2\n");
  EXPECT_EQ(run({"dump", table, "--index", "TEST1"}).out, "TEST1,TEST2\n");
  Result info = run({"info", table});
  EXPECT_NE(info.out.find("records: 0"), std::string::npos);
  EXPECT_NE(info.out.find("indexes: 2"), std::string::npos);
  Result check = run({"check", table});
  EXPECT_EQ(check.code, 0) << check.out;
}

TEST_F(ToolTest, AliasSetAndListGoToTheConfigurationFile) {
  fs::create_directories(path("data/trains"));
  Result set = run({"alias", "set", "Trains", path("data/trains")});
  ASSERT_EQ(set.code, 0) << set.err;
  EXPECT_EQ(set.out, "Trains = " + path("data/trains") + "\n");
  ASSERT_TRUE(fs::exists(config()));
  EXPECT_NE(readText(config()).find(path("data/trains")), std::string::npos);

  fs::create_directories(path("elsewhere"));
  ASSERT_EQ(run({"alias", "set", "Cars", path("elsewhere")}).code, 0);
  // Redefinition, regardless of case; a relative directory is stored absolute.
  const std::string relative = fs::relative(path("elsewhere"), fs::current_path()).string();
  ASSERT_EQ(run({"alias", "set", "TRAINS", relative}).code, 0);
  Result list = run({"alias", "list"});
  ASSERT_EQ(list.code, 0) << list.err;
  EXPECT_NE(list.out.find(" = " + fs::canonical(path("elsewhere")).string() + "\n"), std::string::npos) << list.out;
  EXPECT_EQ(list.out.find("data/trains"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("Cars = " + path("elsewhere") + "\n"), std::string::npos) << list.out;

  // The engine itself resolves the alias the tool wrote.
  tables::Engine engine(config());
  EXPECT_EQ(fs::canonical(engine.aliasDirectory("trains")), fs::canonical(path("elsewhere")));

  // Without --config the engine's default place is used ($XDG_CONFIG_HOME/railfolio/engine.conf).
  Result def = runRaw({"alias", "set", "Home", dir_.path()}, dir_, "XDG_CONFIG_HOME=" + shellQuote(path("xdg")));
  ASSERT_EQ(def.code, 0) << def.err;
  EXPECT_NE(readText(path("xdg/railfolio/engine.conf")).find(dir_.path()), std::string::npos);

  // A malformed configuration is reported with its name, whatever the command.
  writeFile("bad.conf", "[aliases]\nthis line has no equals sign\n");
  Result bad = runRaw({"--config", path("bad.conf"), "alias", "list"}, dir_);
  EXPECT_EQ(bad.code, 2);
  EXPECT_NE(bad.err.find("bad.conf"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace rf
