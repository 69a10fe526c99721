// Cross-checks with Perl's XBase module (Debian's libdbd-xbase-perl), an xBase reader and writer
// written independently of ours:
// - Perl reads the real files of shared/fixtures/real the way we do, value for value, and walks
//   their MDX/CDX tags in the order our cursors do;
// - Perl reads the tables, memos, MDX and CDX tags we write;
// - we read the tables and memos Perl writes (it marks dBASE IV tables 0x84 and writes FPT memos
//   in 512-byte blocks).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "tables/codepage.h"
#include "tables/engine.h"
#include "tables/error.h"
#include "tests/support/test_support.h"

namespace rf::tables {
namespace {

namespace fs = std::filesystem;
using test::shellQuote;
using test::TempDir;

// Prints the field names, then every live record as "#recno" and its values, tab-separated;
// bytes outside printable ASCII (and backslash, tab) as \xHH, undef as \N.
const char* kReadScript = R"PERL(
use strict; use warnings; use XBase;
sub esc { my $s = shift; return "\\N" unless defined $s;
  $s =~ s/([\\\t]|[^\x20-\x7e])/sprintf("\\x%02x", ord $1)/ge; return $s; }
my $t = XBase->new(name => $ARGV[0]) or die XBase->errstr . "\n";
print join("\t", $t->field_names), "\n";
for my $i (0 .. $t->last_record) {
  my ($del, @r) = $t->get_record($i);
  die(($t->errstr || "cannot read record $i") . "\n") unless defined $del;
  next if $del;
  print "#", $i + 1, "\t", join("\t", map { esc($_) } @r), "\n";
}
)PERL";

// Prints the entries of one tag in index order: record number, tab, the key (escaped).
const char* kTagScript = R"PERL(
use strict; use warnings; use XBase::Index;
sub esc { my $s = shift; return "\\N" unless defined $s;
  $s =~ s/([\\\t]|[^\x20-\x7e])/sprintf("\\x%02x", ord $1)/ge; return $s; }
my ($file, $tag, $type) = @ARGV;
my %o = (tag => $tag); $o{type} = $type if defined $type && $type ne '';
my $ix = XBase::Index->new($file, %o) or die XBase::Index->errstr . "\n";
$ix->prepare_select or die $ix->errstr . "\n";
while (my ($k, $v) = $ix->fetch) { print $v, "\t", esc($k), "\n"; }
die $ix->errstr . "\n" if $ix->errstr;
)PERL";

// Writes three tables with XBase->create: dBASE III (0x83 + .dbt), dBASE IV (Perl marks it 0x84,
// .dbt in the IV layout) and FoxPro 2 (0xF5 + .fpt in 512-byte blocks). Record 3 is deleted and
// record 2 rewritten after the others.
const char* kWriteScript = R"PERL(
use strict; use warnings; use XBase;
my $dir = $ARGV[0];
my $long = join("\r\n", map { "line $_ " . ("x" x 60) } 1 .. 20);
for my $v ('3', '4', 'fox') {
  my %o = (name => "$dir/perl_$v.dbf", field_names => [qw(NAME QTY BORN OK NOTE)],
           field_types => [qw(C N D L M)], field_lengths => [20, 10, 8, 1, 10],
           field_decimals => [0, 2, 0, 0, 0]);
  if ($v eq 'fox') { $o{version} = 0xf5; $o{memofile} = "$dir/perl_fox.fpt"; } else { $o{version} = $v; }
  my $t = XBase->create(%o) or die XBase->errstr . "\n";
  $t->set_record(0, "first", 2.5, "19991231", 1, "one\r\ntwo") or die $t->errstr;
  $t->set_record(1, "second", -1.25, "18500102", 0, "short") or die $t->errstr;
  $t->set_record(2, "gone", 7, "20000101", 1, "deleted") or die $t->errstr;
  $t->set_record(3, undef, undef, undef, undef, undef) or die $t->errstr;
  $t->set_record(4, "long memo", 1000000, "20240229", 1, $long) or die $t->errstr;
  $t->delete_record(2) or die $t->errstr;
  $t->set_record(1, "second again", -1.5, "18500103", 0, "rewritten") or die $t->errstr;
  $t->close;
}
)PERL";

class Perl {
 public:
  Perl() {
    writeText(dir_.file("read.pl"), kReadScript);
    writeText(dir_.file("tags.pl"), kTagScript);
    writeText(dir_.file("write.pl"), kWriteScript);
  }
  static bool available() { return test::runCommand("perl -MXBase -MXBase::Index -e 1 2>/dev/null") == 0; }

  // Runs a script; returns standard output, fails the test with standard error on failure.
  std::string run(const std::string& script, const std::vector<std::string>& args) const {
    std::string cmd = "perl " + shellQuote(dir_.file(script));
    for (const auto& a : args) cmd += " " + shellQuote(a);
    cmd += " 2>" + shellQuote(dir_.file("stderr"));
    std::string out;
    int code = test::runCommand(cmd, &out);
    if (code != 0) ADD_FAILURE() << script << " failed: " << readText(dir_.file("stderr"));
    return out;
  }

  static void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

 private:
  TempDir dir_;
};

std::optional<std::string> unescape(const std::string& cell) {
  if (cell == "\\N") return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < cell.size(); ++i) {
    if (cell[i] == '\\' && i + 3 < cell.size() + 0 && cell[i + 1] == 'x') {
      out += static_cast<char>(std::stoi(cell.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += cell[i];
    }
  }
  return out;
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

struct PerlRecord {
  std::uint32_t recno = 0;
  std::vector<std::optional<std::string>> cells;
};

struct PerlTable {
  std::vector<std::string> names;
  std::vector<PerlRecord> records;
};

PerlTable parseTable(const std::string& text) {
  PerlTable t;
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line)) return t;
  t.names = splitTabs(line);
  while (std::getline(in, line)) {
    auto cells = splitTabs(line);
    PerlRecord r;
    r.recno = static_cast<std::uint32_t>(std::stoul(cells[0].substr(1)));
    for (std::size_t i = 1; i < cells.size(); ++i) r.cells.push_back(unescape(cells[i]));
    t.records.push_back(std::move(r));
  }
  return t;
}

struct PerlEntry {
  std::uint32_t recno;
  std::string key;
};

std::vector<PerlEntry> parseTag(const std::string& text) {
  std::vector<PerlEntry> entries;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    auto cells = splitTabs(line);
    entries.push_back({static_cast<std::uint32_t>(std::stoul(cells[0])), unescape(cells.at(1)).value_or("")});
  }
  return entries;
}

std::string rtrimmed(std::string s) {
  auto end = s.find_last_not_of(std::string_view(" \0", 2));
  s.erase(end == std::string::npos ? 0 : end + 1);
  return s;
}

double perlNumber(const std::string& s) { return std::stod(s); }

bool near(double a, double b, double tolerance) { return std::fabs(a - b) <= tolerance * std::max(1.0, std::fabs(b)); }

// Whether Perl's reading of a field equals ours; `why` says how they differ.
bool sameAsPerl(const std::optional<std::string>& perl, const Value& ours, const FieldDef& f, const CodePage& cp,
                std::string& why) {
  auto shown = [](const std::string& s) {
    std::string out;
    for (unsigned char ch : s) {
      char buf[8];
      std::snprintf(buf, sizeof buf, ch >= 0x20 && ch < 0x7f ? "%c" : "\\x%02x", ch);
      out += buf;
    }
    return out;
  };
  auto describe = [&](const std::string& mine) {
    why = std::string("perl ") + (perl ? "'" + shown(*perl) + "'" : "undef") + ", ours '" + shown(mine) + "'";
    return false;
  };
  // A null of a nullable Visual FoxPro field: Perl knows no null flags and shows what the bytes hold.
  if (ours.isBlank() && f.nullable) return true;
  switch (f.native) {
    case 'C': {
      std::string mine;
      try {
        mine = ours.isBlank() ? std::string() : (f.binaryText ? ours.asText() : cp.fromUtf8(ours.asText()));
      } catch (const TableError&) {
        return describe("(not in code page " + std::to_string(cp.number()) + ") " + ours.asText());
      }
      // Perl strips trailing white space of every kind (s/\s+$//); binary bytes in character
      // fields (S7 SUBBLK TIMESTAMP1) may end in CR.
      auto perlTrim = [](std::string t) {
        auto end = t.find_last_not_of(std::string_view(" \t\n\r\f\v\0", 7));
        t.erase(end == std::string::npos ? 0 : end + 1);
        return t;
      };
      if (perlTrim(mine) == perlTrim(perl.value_or(""))) return true;
      return describe(mine);
    }
    case 'M': case 'G': case 'P': case 'W': case 'B':
      if (f.native == 'B' && f.type == FieldType::Number) break;  // FoxPro double
      {
        std::string mine;
        if (ours.kind() == Value::Kind::Bytes) {
          mine.assign(ours.asBytes().begin(), ours.asBytes().end());
        } else if (!ours.isBlank()) {
          try {
            mine = f.binaryText ? ours.asText() : cp.fromUtf8(ours.asText());
          } catch (const TableError&) {
            return describe("(not in code page) " + ours.asText());
          }
        }
        if (mine == perl.value_or("")) return true;
        return describe(mine);
      }
    case 'D': {
      std::string mine = ours.isBlank() ? std::string() : formatDate(ours.asDate());
      mine.erase(std::remove(mine.begin(), mine.end(), '-'), mine.end());
      if (mine == perl.value_or("")) return true;
      return describe(mine);
    }
    case 'L': {
      std::string mine = ours.isBlank() ? std::string() : ours.asLogical() ? "1" : "0";
      if (mine == perl.value_or("")) return true;
      return describe(mine);
    }
    case 'T': case '@': {
      if (ours.isBlank()) {
        // Perl turns an all-zero VFP timestamp into Julian day 0.
        if (!perl || perl->empty() || *perl == "-210866803200") return true;
        return describe("");
      }
      const Timestamp t = ours.asTimestamp();
      const double seconds = static_cast<double>(daysFromCivil(t.date) - daysFromCivil(test::ymd(1970, 1, 1))) * 86400.0 +
                             static_cast<double>(t.msOfDay) / 1000.0;
      if (perl && !perl->empty() && std::fabs(perlNumber(*perl) - seconds) < 0.002) return true;
      return describe(formatDate(t.date) + " +" + std::to_string(t.msOfDay) + "ms");
    }
    default: break;
  }
  // Numbers of every kind (N F I Y B O +).
  if (ours.isBlank()) {
    if (!perl || perl->empty()) return true;
    // The binary number types have no blank; Perl shows their zero.
    if (std::string("IYB0+O").find(f.native) != std::string::npos && perlNumber(*perl) == 0) return true;
    return describe("");
  }
  if (ours.kind() != Value::Kind::Number) return describe("(not a number)");
  if (perl && !perl->empty() && near(ours.asNumber(), perlNumber(*perl), 1e-13)) return true;
  return describe(formatNumber(ours.asNumber()));
}

// Types Perl's XBase does not read (it gives undef): VFP 9 Varchar, Varbinary, Blob, the null flags.
bool perlSkips(const FieldDef& f) { return f.native == 'V' || f.native == 'Q' || f.native == 'W' || f.type == FieldType::NullFlags; }

// Compares every live record of `table` with Perl's reading. Returns our bookmarks in record
// order, matched to Perl's record numbers.
std::map<Bookmark, std::uint32_t> compareRecords(Table& table, const PerlTable& perl) {
  std::map<Bookmark, std::uint32_t> recnoOf;
  const Schema& schema = table.schema();
  EXPECT_EQ(perl.names.size(), schema.size());
  for (std::size_t i = 0; i < std::min(perl.names.size(), schema.size()); ++i)
    EXPECT_TRUE(equalsNoCase(perl.names[i], schema[i].name)) << perl.names[i] << " vs " << schema[i].name;

  // A table whose code page is unknown is decoded with some single-byte code page; it must be
  // one that gives Perl's bytes back.
  const int declared = table.info().codePage;
  std::vector<int> candidates = declared ? std::vector<int>{declared} : std::vector<int>{1252, 437, 850};
  std::vector<std::string> bestProblems;
  for (int number : candidates) {
    CodePage cp(number);
    std::vector<std::string> problems;
    std::map<Bookmark, std::uint32_t> mapping;
    auto cursor = table.openCursor();
    std::size_t k = 0;
    for (bool on = cursor->first(); on; on = cursor->next(), ++k) {
      if (k >= perl.records.size()) {
        problems.push_back("we show more records than Perl (" + std::to_string(perl.records.size()) + ")");
        break;
      }
      const PerlRecord& pr = perl.records[k];
      mapping[cursor->bookmark()] = pr.recno;
      for (std::size_t f = 0; f < schema.size() && f < pr.cells.size(); ++f) {
        if (perlSkips(schema[f])) continue;
        std::string why;
        if (!sameAsPerl(pr.cells[f], table.get(cursor->record(), static_cast<int>(f)), schema[f], cp, why))
          problems.push_back("record " + std::to_string(pr.recno) + " field " + schema[f].name + ": " + why);
      }
    }
    if (problems.empty() && k < perl.records.size())
      problems.push_back("we show " + std::to_string(k) + " records, Perl " + std::to_string(perl.records.size()));
    if (problems.empty()) return mapping;
    if (bestProblems.empty() || problems.size() < bestProblems.size()) bestProblems = problems;
    recnoOf = mapping;
  }
  std::string text;
  for (std::size_t i = 0; i < bestProblems.size() && i < 8; ++i) text += "\n  " + bestProblems[i];
  ADD_FAILURE() << bestProblems.size() << " differences from Perl:" << text;
  return recnoOf;
}

// ---------------------------------------------------------------------------------------------

struct RealFile {
  const char* name;
  std::string table;
  std::string index;  // the .mdx/.cdx beside it, "" when none
};

std::ostream& operator<<(std::ostream& os, const RealFile& f) { return os << f.name; }

class PerlRealFile : public ::testing::TestWithParam<RealFile> {};

TEST_P(PerlRealFile, ReadsTheSameValuesAndTagOrders) {
  if (!Perl::available()) GTEST_SKIP() << "Perl XBase (libdbd-xbase-perl) is not installed";
  const RealFile& rf = GetParam();
  Perl perl;
  const std::string path = test::fixturePath(rf.table);
  PerlTable reference = parseTable(perl.run("read.pl", {path}));
  ASSERT_FALSE(reference.names.empty());

  Engine engine(TempDir().file("engine.conf"));
  auto table = engine.openPath(path, std::nullopt, /*readOnly=*/true);
  auto recnoOf = compareRecords(*table, reference);
  if (rf.index.empty()) return;

  const bool cdx = equalsNoCase(fs::path(rf.index).extension().string(), ".cdx");
  std::vector<std::uint32_t> live;
  for (const auto& r : reference.records) live.push_back(r.recno);
  for (const auto& ix : table->indexes()) {
    if (!ix.usable) continue;
    SCOPED_TRACE("tag " + ix.name);
    std::vector<std::uint32_t> expected;
    for (const auto& e : parseTag(perl.run("tags.pl", {test::fixturePath(rf.index), ix.name, cdx ? "C" : ""})))
      if (std::find(live.begin(), live.end(), e.recno) != live.end()) expected.push_back(e.recno);
    std::vector<std::uint32_t> ours;
    auto cursor = table->openCursor(ix.name);
    for (bool on = cursor->first(); on && ours.size() <= live.size(); on = cursor->next())
      ours.push_back(recnoOf[cursor->bookmark()]);
    EXPECT_EQ(ours, expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    RealFiles, PerlRealFile,
    ::testing::Values(
        RealFile{"dbd_xbase_test", "dbase/dbd-xbase/test.dbf", ""},
        RealFile{"dbase_03", "dbase/infused-dbf/dbase_03.dbf", ""},
        RealFile{"dbase_83", "dbase/infused-dbf/dbase_83.dbf", ""},
        RealFile{"dbase_8b", "dbase/infused-dbf/dbase_8b.dbf", ""},
        RealFile{"jdbf_test", "dbase/jdbfdriver/TEST.DBF", "dbase/jdbfdriver/TEST.MDX"},
        RealFile{"bde_3_512", "dbase/ndbfreaderex-bde/BDE_TEST_3_512.dbf", ""},
        RealFile{"bde_4_512", "dbase/ndbfreaderex-bde/BDE_TEST_4_512.dbf", ""},
        RealFile{"bde_4_64", "dbase/ndbfreaderex-bde/BDE_TEST_4_64.dbf", ""},
        RealFile{"s7_symlist", "dbase/siemens-s7/YDBs/15940/SYMLIST.DBF", "dbase/siemens-s7/YDBs/15940/SYMLIST.MDX"},
        RealFile{"s7_baustein", "dbase/siemens-s7/ombstx/offline/00000002/BAUSTEIN.DBF",
                 "dbase/siemens-s7/ombstx/offline/00000002/BAUSTEIN.MDX"},
        RealFile{"s7_subblk", "dbase/siemens-s7/ombstx/offline/00000002/SUBBLK.DBF", ""},
        RealFile{"s7_changelog", "dbase/siemens-s7/siprom/CHANGELOG.DBF", "dbase/siemens-s7/siprom/CHANGELOG.MDX"},
        RealFile{"s7_siprom", "dbase/siemens-s7/siprom/SIPROM.DBF", "dbase/siemens-s7/siprom/SIPROM.MDX"},
        RealFile{"s7_xr000001", "dbase/siemens-s7/XUTILS/listen/XR000001.DBF",
                 "dbase/siemens-s7/XUTILS/listen/XR000001.MDX"},
        RealFile{"afox5", "foxpro/dbd-xbase/afox5.dbf", ""},
        RealFile{"rooms", "foxpro/dbd-xbase/rooms.dbf", "foxpro/dbd-xbase/rooms.cdx"},
        RealFile{"gd_employees", "foxpro/go-dbase/database/employees.dbf", "foxpro/go-dbase/database/employees.CDX"},
        RealFile{"gd_categories", "foxpro/go-dbase/database/expense categories.dbf",
                 "foxpro/go-dbase/database/expense categories.CDX"},
        RealFile{"gd_details", "foxpro/go-dbase/database/expense details.dbf",
                 "foxpro/go-dbase/database/expense details.CDX"},
        RealFile{"gd_reports", "foxpro/go-dbase/database/expense reports.dbf",
                 "foxpro/go-dbase/database/expense reports.CDX"},
        RealFile{"gd_vfp9_table", "foxpro/go-dbase/table/TEST.DBF", ""},
        RealFile{"dbase_30", "foxpro/infused-dbf/dbase_30.dbf", ""},
        RealFile{"dbase_31", "foxpro/infused-dbf/dbase_31.dbf", ""},
        RealFile{"dbase_f5", "foxpro/infused-dbf/dbase_f5.dbf", ""},
        RealFile{"fdb_calls", "foxpro/infused-dbf/foxprodb/calls.dbf", "foxpro/infused-dbf/foxprodb/calls.CDX"},
        RealFile{"fdb_contacts", "foxpro/infused-dbf/foxprodb/contacts.dbf", "foxpro/infused-dbf/foxprodb/contacts.CDX"},
        RealFile{"fdb_setup", "foxpro/infused-dbf/foxprodb/setup.dbf", "foxpro/infused-dbf/foxprodb/setup.CDX"},
        RealFile{"fdb_types", "foxpro/infused-dbf/foxprodb/types.dbf", "foxpro/infused-dbf/foxprodb/types.CDX"},
        RealFile{"xs_employees", "foxpro/javadbf-xsource/employees.dbf", "foxpro/javadbf-xsource/employees.cdx"},
        RealFile{"xs_foxref", "foxpro/javadbf-xsource/foxref_ref.dbf", "foxpro/javadbf-xsource/foxref_ref.cdx"},
        RealFile{"xs_payments", "foxpro/javadbf-xsource/payments.dbf", "foxpro/javadbf-xsource/payments.cdx"}),
    [](const auto& param) { return std::string(param.param.name); });

// ---------------------------------------------------------------------------------------------
// Perl reads what we write

struct Piece {
  std::string code, name, upperName;  // upperName: UPPER(NAME) in Windows-1252, as UTF-8
  std::optional<double> qty;
  std::optional<Date> bought;
  std::optional<bool> runs;
  std::string notes;
};

const std::string kLongNote = [] {
  std::string s;
  for (int i = 1; i <= 30; ++i) s += "Line " + std::to_string(i) + " of a memo longer than one block.\r\n";
  return s;
}();

std::vector<Piece> pieces() {
  return {
      {"B-200", "Boxcar, brown", "BOXCAR, BROWN", 12.5, test::ymd(1999, 12, 31), true, "first\r\nsecond"},
      {"A-100", "Crème caboose", "CRÈME CABOOSE", -1.25, test::ymd(1850, 1, 2), false, kLongNote},
      {"C-300", "tank car", "TANK CAR", 0, std::nullopt, std::nullopt, ""},
      {"A-100", "Über flat", "ÜBER FLAT", 1000000, test::ymd(2024, 2, 29), true, "duplicate code"},
      {"", "", "", std::nullopt, std::nullopt, std::nullopt, ""},
      {"D-400", "hopper", "HOPPER", 99.99, test::ymd(1970, 1, 1), false, "quote \" and tab\t"},
      {"b-201", "boxcar, red", "BOXCAR, RED", 12.5, test::ymd(2000, 2, 29), true, "lower-case code"},
  };
}

struct WriteCase {
  const char* name;
  Format format;
  int version;
  bool tags;
};

std::ostream& operator<<(std::ostream& os, const WriteCase& c) { return os << c.name; }

class PerlReadsOurs : public ::testing::TestWithParam<WriteCase> {};

TEST_P(PerlReadsOurs, TablesMemosAndTags) {
  if (!Perl::available()) GTEST_SKIP() << "Perl XBase (libdbd-xbase-perl) is not installed";
  const WriteCase& c = GetParam();
  TempDir dir;
  Engine engine(dir.file("engine.conf"));
  TableDef def;
  def.format = c.format;
  def.version = c.version;
  def.codePage = 1252;
  auto field = [](const char* name, FieldType type, char native, int width, int decimals = 0) {
    FieldDef f;
    f.name = name;
    f.type = type;
    f.native = native;
    f.width = width;
    f.decimals = decimals;
    return f;
  };
  const int memoWidth = c.version == 0x30 ? 4 : 10;
  def.fields = {field("CODE", FieldType::Text, 'C', 8), field("NAME", FieldType::Text, 'C', 24),
                field("QTY", FieldType::Number, 'N', 10, 2), field("BOUGHT", FieldType::Date, 'D', 8),
                field("RUNS", FieldType::Logical, 'L', 1), field("NOTES", FieldType::Memo, 'M', memoWidth)};
  if (c.tags) {
    def.indexes = {{"CODE", "CODE", {}, false, false},
                   {"UNAME", "UPPER(NAME)", {}, false, false},
                   {"QTY", "QTY", {}, false, false},
                   {"BOUGHT", "DTOS(BOUGHT)", {}, false, false}};
  }
  const std::string path = dir.file("PIECES.DBF");
  std::vector<Piece> rows = pieces();
  {
    auto table = engine.create(path, def);
    for (const auto& p : rows) {
      Record r = table->blankRecord();
      if (!p.code.empty()) table->set(r, "CODE", Value::text(p.code));
      if (!p.name.empty()) table->set(r, "NAME", Value::text(p.name));
      if (p.qty) table->set(r, "QTY", Value::number(*p.qty));
      if (p.bought) table->set(r, "BOUGHT", Value::date(*p.bought));
      if (p.runs) table->set(r, "RUNS", Value::logical(*p.runs));
      if (!p.notes.empty()) table->set(r, "NOTES", Value::text(p.notes));
      table->insert(r);
    }
    // Record 3 rewritten (a new code and a longer memo), record 6 deleted.
    auto cursor = table->openCursor();
    cursor->first();
    cursor->next();
    cursor->next();
    Record r = cursor->record();
    table->set(r, "CODE", Value::text("C-301"));
    table->set(r, "NOTES", Value::text(kLongNote + "and more"));
    table->update(r);
    rows[2].code = "C-301";
    rows[2].notes = kLongNote + "and more";
    cursor->next();
    cursor->next();
    cursor->next();
    table->remove(cursor->bookmark());
    EXPECT_TRUE(table->check().ok());
  }
  std::vector<std::uint32_t> live = {1, 2, 3, 4, 5, 7};

  Perl perl;
  PerlTable reference = parseTable(perl.run("read.pl", {path}));
  ASSERT_EQ(reference.records.size(), live.size());
  CodePage cp(1252);
  for (std::size_t k = 0; k < live.size(); ++k) {
    const PerlRecord& pr = reference.records[k];
    const Piece& p = rows[live[k] - 1];
    EXPECT_EQ(pr.recno, live[k]);
    ASSERT_EQ(pr.cells.size(), 6u);
    EXPECT_EQ(pr.cells[0].value_or(""), p.code) << pr.recno;
    EXPECT_EQ(pr.cells[1].value_or(""), cp.fromUtf8(p.name)) << pr.recno;
    if (p.qty) {
      ASSERT_TRUE(pr.cells[2].has_value()) << pr.recno;
      EXPECT_DOUBLE_EQ(std::stod(*pr.cells[2]), *p.qty) << pr.recno;
    } else {
      EXPECT_EQ(pr.cells[2].value_or(""), "") << pr.recno;
    }
    std::string date = p.bought ? formatDate(*p.bought) : "";
    date.erase(std::remove(date.begin(), date.end(), '-'), date.end());
    EXPECT_EQ(pr.cells[3].value_or(""), date) << pr.recno;
    EXPECT_EQ(pr.cells[4].value_or(""), p.runs ? (*p.runs ? "1" : "0") : "") << pr.recno;
    EXPECT_EQ(pr.cells[5].value_or(""), cp.fromUtf8(p.notes)) << pr.recno;
  }
  if (!c.tags) return;

  // Each tag in key order, equal keys by record number; Perl walks the same entries.
  std::string indexFile;
  {
    auto table = engine.openPath(path, std::nullopt, true);
    ASSERT_EQ(table->info().indexFiles.size(), 1u);
    indexFile = table->info().indexFiles.front();
  }
  const std::string wantedExtension = c.format == Format::FoxPro ? ".cdx" : ".mdx";
  EXPECT_TRUE(equalsNoCase(fs::path(indexFile).extension().string(), wantedExtension)) << indexFile;
  struct TagWant {
    const char* tag;
    std::function<std::string(const Piece&)> key;  // comparable form, "" sorts first
    bool charKey;
  };
  auto number = [](const Piece& p) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%020.2f", (p.qty ? *p.qty : 0) + 1e12);  // order-preserving text
    return std::string(buf);
  };
  const std::vector<TagWant> wants = {
      {"CODE", [&](const Piece& p) { return cp.fromUtf8(p.code); }, true},
      {"UNAME", [&](const Piece& p) { return cp.fromUtf8(p.upperName); }, true},
      {"QTY", number, false},
      {"BOUGHT", [](const Piece& p) { std::string d = p.bought ? formatDate(*p.bought) : ""; return d; }, true},
  };
  for (const auto& w : wants) {
    SCOPED_TRACE(w.tag);
    std::vector<std::uint32_t> expected = live;
    std::stable_sort(expected.begin(), expected.end(), [&](std::uint32_t a, std::uint32_t b) {
      return w.key(rows[a - 1]) < w.key(rows[b - 1]);
    });
    auto entries = parseTag(perl.run("tags.pl", {indexFile, w.tag, c.format == Format::FoxPro ? (w.charKey ? "C" : "N") : ""}));
    std::vector<std::uint32_t> got;
    for (const auto& e : entries)
      if (std::find(live.begin(), live.end(), e.recno) != live.end()) got.push_back(e.recno);
    EXPECT_EQ(got, expected);
    if (std::string(w.tag) == "CODE" || std::string(w.tag) == "UNAME") {
      for (const auto& e : entries) {
        if (std::find(live.begin(), live.end(), e.recno) == live.end()) continue;
        EXPECT_EQ(rtrimmed(e.key), w.key(rows[e.recno - 1])) << "record " << e.recno;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, PerlReadsOurs,
                         ::testing::Values(WriteCase{"dbase3", Format::Dbase, 0x83, false},
                                           WriteCase{"dbase4_mdx", Format::Dbase, 0x8B, true},
                                           WriteCase{"foxpro2_cdx", Format::FoxPro, 0xF5, true},
                                           WriteCase{"vfp_cdx", Format::FoxPro, 0x30, true}),
                         [](const auto& param) { return std::string(param.param.name); });

// ---------------------------------------------------------------------------------------------
// We read what Perl writes

TEST(PerlWritesOurs, TablesAndMemosOfEveryPerlVersion) {
  if (!Perl::available()) GTEST_SKIP() << "Perl XBase (libdbd-xbase-perl) is not installed";
  TempDir dir;
  Perl perl;
  perl.run("write.pl", {dir.path()});
  std::string longMemo;
  for (int i = 1; i <= 20; ++i) longMemo += (i > 1 ? "\r\n" : "") + ("line " + std::to_string(i) + " ") + std::string(60, 'x');

  struct Want {
    const char* file;
    Format format;
    int version;
  };
  for (const Want& w : {Want{"perl_3.dbf", Format::Dbase, 0x83}, Want{"perl_4.dbf", Format::Dbase, 0x84},
                        Want{"perl_fox.dbf", Format::FoxPro, 0xF5}}) {
    SCOPED_TRACE(w.file);
    Engine engine(dir.file("engine.conf"));
    auto table = engine.openPath(dir.file(w.file), std::nullopt, true);
    const TableInfo info = table->info();
    EXPECT_EQ(info.format, w.format);
    EXPECT_EQ(info.version, w.version);
    EXPECT_EQ(info.recordCount, 4u);
    EXPECT_FALSE(info.memoFile.empty());
    struct Row {
      std::string name;
      std::optional<double> qty;
      std::optional<Date> born;
      std::optional<bool> ok;
      std::string note;
    };
    const std::vector<Row> rows = {{"first", 2.5, test::ymd(1999, 12, 31), true, "one\r\ntwo"},
                                   {"second again", -1.5, test::ymd(1850, 1, 3), false, "rewritten"},
                                   {"", std::nullopt, std::nullopt, std::nullopt, ""},
                                   {"long memo", 1000000, test::ymd(2024, 2, 29), true, longMemo}};
    auto cursor = table->openCursor();
    std::size_t k = 0;
    for (bool on = cursor->first(); on; on = cursor->next(), ++k) {
      ASSERT_LT(k, rows.size());
      const Record& r = cursor->record();
      const Row& want = rows[k];
      EXPECT_EQ(rtrimmed(table->get(r, "NAME").asText()), want.name) << k;
      const Value qty = table->get(r, "QTY");
      if (want.qty) {
        EXPECT_DOUBLE_EQ(qty.asNumber(), *want.qty) << k;
      } else {
        EXPECT_TRUE(qty.isBlank()) << k;
      }
      const Value born = table->get(r, "BORN");
      if (want.born) {
        EXPECT_EQ(born.asDate(), *want.born) << k;
      } else {
        EXPECT_TRUE(born.isBlank()) << k;
      }
      const Value ok = table->get(r, "OK");
      if (want.ok) {
        EXPECT_EQ(ok.asLogical(), *want.ok) << k;
      } else {
        EXPECT_TRUE(ok.isBlank()) << k;
      }
      EXPECT_EQ(table->get(r, "NOTE").asText(), want.note) << k;
    }
    EXPECT_EQ(k, rows.size());
    EXPECT_TRUE(table->check().ok()) << table->check().problems.front();
  }
}

}  // namespace
}  // namespace rf::tables
