// The FoxPro compound index (.CDX) against the real files of the original engines and against
// Perl's XBase module (index_dump, dbf_dump), which reads CDX files independently of our code.
//
// Facts these files showed (the code depends on them):
// - Leaves use the narrowest entry that holds their record numbers: Visual FoxPro writes 1-byte
//   entries (2/3/3 bits) for a 3-record table; the duplicate and trailing counts always get
//   bit_width(key length) bits.
// - A tag without a FOR clause still stores an empty FOR expression (length 1) after the key
//   expression; header option 0x02 marks keys with a leading null-marker byte (0x80 = a value).
// - Interior entries carry the last key and record number of their child.
// - Some writers store trailing spaces explicitly (rooms.cdx FOR tags have no trailing counts).
// - Perl's reader lacks Time::JulianDay here, so date tags are dumped as numbers (Julian days).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "tables/cdx_header.h"
#include "tables/cdx_index.h"
#include "tables/cdx_key.h"
#include "tables/cdx_node.h"
#include "tables/error.h"
#include "tables/file_system.h"
#include "tables/journal.h"
#include "tests/support/test_support.h"

namespace rf::tables {
namespace {

using test::fixturePath;
using test::shellQuote;
using Entry = std::pair<std::string, std::uint32_t>;

// ---- helpers -------------------------------------------------------------------------------

std::string rtrim(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

double numberOf(std::string_view key) {
  std::uint64_t bits = 0;
  for (char c : key.substr(0, 8)) bits = (bits << 8) | static_cast<unsigned char>(c);
  bits = (bits >> 63) ? (bits & ~(std::uint64_t{1} << 63)) : ~bits;
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

std::int64_t integerOf(std::string_view key) {
  std::uint32_t bits = 0;
  for (char c : key.substr(0, 4)) bits = (bits << 8) | static_cast<unsigned char>(c);
  return static_cast<std::int32_t>(bits ^ 0x80000000u);
}

std::vector<TagEntry> walk(IndexFile& idx, int tag) {
  std::vector<TagEntry> out;
  auto it = idx.iterate(tag);
  for (bool ok = it->first(); ok; ok = it->next()) out.push_back(it->entry());
  return out;
}

std::vector<TagEntry> walkBack(IndexFile& idx, int tag) {
  std::vector<TagEntry> out;
  auto it = idx.iterate(tag);
  for (bool ok = it->last(); ok; ok = it->prior()) out.push_back(it->entry());
  std::reverse(out.begin(), out.end());
  return out;
}

std::vector<TagEntry> entriesOf(const std::set<Entry>& ref, bool descending = false) {
  std::vector<TagEntry> out;
  for (const auto& [k, r] : ref) out.push_back(TagEntry{k, r});
  if (descending) std::reverse(out.begin(), out.end());
  return out;
}

std::vector<std::string> problemsOf(IndexFile& idx) {
  CheckReport report;
  idx.check(report);
  return report.problems;
}

std::string joined(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& x : v) s += x + "\n";
  return s;
}

// What Perl's index_dump prints for a tag: one "key recno" line per entry.
struct Dumped {
  std::string key;
  std::uint32_t recno;
};

std::vector<Dumped> indexDump(const std::string& path, const std::string& tag, const char* type) {
  std::string out;
  const int rc = test::runCommand("index_dump --type " + std::string(type) + " " + shellQuote(path) +
                                      " " + shellQuote(tag) + " 2>&1",
                                  &out);
  EXPECT_EQ(rc, 0) << out;
  std::vector<Dumped> rows;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const auto space = line.rfind(' ');
    if (space == std::string::npos) {
      ADD_FAILURE() << "odd index_dump line: " << line;
      continue;
    }
    rows.push_back(Dumped{line.substr(0, space),
                          static_cast<std::uint32_t>(std::stoul(line.substr(space + 1)))});
  }
  return rows;
}

std::vector<std::string> perlTagNames(const std::string& path) {
  std::string out;
  EXPECT_EQ(test::runCommand("index_dump --type char " + shellQuote(path) + " 2>&1", &out), 0) << out;
  std::vector<std::string> names;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) names.push_back(line);
  return names;
}

// Compares our walk of a tag with Perl's reading of the same file.
void expectSameAsPerl(const std::string& path, const TagSpec& def, const std::vector<TagEntry>& ours) {
  SCOPED_TRACE(path + " tag " + def.name);
  const bool numeric = def.keyType != 'C' && (def.keyLength == 4 || def.keyLength == 8);
  const std::vector<Dumped> perl = indexDump(path, def.name, numeric ? "num" : "char");
  ASSERT_EQ(perl.size(), ours.size());
  for (std::size_t i = 0; i < ours.size(); ++i) {
    SCOPED_TRACE("entry " + std::to_string(i));
    EXPECT_EQ(perl[i].recno, ours[i].recno);
    if (!numeric) {
      EXPECT_EQ(rtrim(perl[i].key), rtrim(ours[i].key));
    } else {
      const double mine = def.keyLength == 4 ? static_cast<double>(integerOf(ours[i].key))
                                              : numberOf(ours[i].key);
      EXPECT_NEAR(std::stod(perl[i].key), mine, std::abs(mine) * 1e-12);
    }
  }
}

std::unique_ptr<File> openFile(const std::string& path, OpenMode mode = OpenMode::ReadWrite) {
  return FileSystem::real().open(path, mode);
}

// A CDX with its own journal, as a table would hold it.
struct Workbench {
  test::TempDir dir;
  std::string path = dir.file("T.cdx");
  std::unique_ptr<File> lockFile = openFile(dir.file("T.dbf"), OpenMode::OpenOrCreate);
  Journal journal{FileSystem::real(), dir.file("T.dbf"), *lockFile, 0x7FFFFFFE};
  std::unique_ptr<File> file;
  std::unique_ptr<IndexFile> index;

  explicit Workbench(const std::vector<TagSpec>& tags) {
    file = openFile(path, OpenMode::Create);
    createCdx(*file, tags);
    index = openCdx(*file);
  }
  // Adopts an existing file (a fixture copy).
  explicit Workbench(const std::string& fixture, const std::string& name) : path(dir.file(name)) {
    test::copyFile(fixturePath(fixture), path);
    file = openFile(path);
    index = openCdx(*file);
  }
  template <class F>
  void change(F&& f) {
    Transaction tx = journal.begin();
    f(tx);
    tx.commit();
  }
  CdxIndex& cdx() { return dynamic_cast<CdxIndex&>(*index); }
  // Tags are numbered in the directory's (name) order, not in the order they were created.
  int tag(const std::string& name) const {
    for (int t = 0; t < index->tagCount(); ++t)
      if (index->tag(t).name == name) return t;
    ADD_FAILURE() << "no tag " << name;
    return 0;
  }
};

TagSpec charTag(std::string name, int length, std::string expr = "", bool descending = false) {
  TagSpec t;
  t.name = std::move(name);
  t.expression = expr.empty() ? t.name : expr;
  t.keyType = 'C';
  t.keyLength = length;
  t.descending = descending;
  return t;
}

TagSpec numberTag(std::string name, char type = 'N') {
  TagSpec t;
  t.name = std::move(name);
  t.expression = t.name;
  t.keyType = type;
  t.keyLength = 8;
  return t;
}

KeyValue text(std::string s) { return KeyValue{'C', std::move(s), 0}; }
KeyValue number(double v) { return KeyValue{'N', {}, v}; }

// ---- the real files --------------------------------------------------------------------------

struct FixtureFile {
  const char* path;
  std::vector<const char*> tags;  // in the directory's (name) order
};

const std::vector<FixtureFile>& fixtureFiles() {
  static const std::vector<FixtureFile> files = {
      {"foxpro/dbd-xbase/rooms.cdx", {"AUDIO", "FACILITY", "FILM", "MAIN", "ROOMNAME"}},
      {"foxpro/javadbf-xsource/employees.cdx", {"EMAILNAME", "LASTNAME", "POSTALCODE", "PRIMARYKEY"}},
      {"foxpro/javadbf-xsource/foxref_ref.cdx",
       {"CHECKED", "FILEID", "INACTIVE", "REFID", "REFTYPE", "SETID", "UNIQUEID"}},
      {"foxpro/javadbf-xsource/payments.cdx", {"PAYMENTMET", "PRIMARYKEY", "PROJECTID"}},
      {"foxpro/go-dbase/database/employees.CDX",
       {"DEPARTMENT", "EMAILNAME", "LASTNAME", "POSTALCODE", "PRIMARYKEY"}},
      {"foxpro/go-dbase/database/expense categories.CDX", {"PRIMARYKEY"}},
      {"foxpro/go-dbase/database/expense details.CDX", {"EXPENSECAT", "EXPREPID", "PRIMARYKEY"}},
      {"foxpro/go-dbase/database/expense reports.CDX", {"DATESUBMIT", "EMPLOYEEID", "PRIMARYKEY"}},
      {"foxpro/go-dbase/database/EXPENSES.DCX", {"OBJECTNAME", "OBJECTTYPE"}},
      {"foxpro/infused-dbf/foxprodb/calls.CDX", {"CALL_ID", "CONTACT_ID"}},
      {"foxpro/infused-dbf/foxprodb/contacts.CDX", {"CONTACT_ID", "TYPE_ID"}},
      {"foxpro/infused-dbf/foxprodb/setup.CDX", {"KEY_NAME"}},
      {"foxpro/infused-dbf/foxprodb/types.CDX", {"TYPE_ID"}},
      {"foxpro/infused-dbf/foxprodb/FOXPRO-DB-TEST.DCX", {"OBJECTNAME", "OBJECTTYPE"}},
  };
  return files;
}

TEST(CdxFixtures, EveryTagReadsInTheOrderPerlXBaseReads) {
  for (const FixtureFile& f : fixtureFiles()) {
    SCOPED_TRACE(f.path);
    // Perl picks the reader by extension, so a .DCX is shown to it under a .cdx name.
    test::TempDir tmp;
    const std::string copy = tmp.file("copy.cdx");
    test::copyFile(fixturePath(f.path), copy);
    auto file = openFile(fixturePath(f.path), OpenMode::ReadOnly);
    auto idx = openCdx(*file);

    std::vector<std::string> names;
    for (int t = 0; t < idx->tagCount(); ++t) names.push_back(idx->tag(t).name);
    EXPECT_EQ(names, std::vector<std::string>(f.tags.begin(), f.tags.end()));
    EXPECT_EQ(names, perlTagNames(copy));

    for (int t = 0; t < idx->tagCount(); ++t) {
      const std::vector<TagEntry> forward = walk(*idx, t);
      EXPECT_FALSE(forward.empty()) << idx->tag(t).name;
      EXPECT_EQ(walkBack(*idx, t), forward) << idx->tag(t).name;
      expectSameAsPerl(copy, idx->tag(t), forward);
    }
    EXPECT_EQ(joined(problemsOf(*idx)), "");
  }
}

TEST(CdxFixtures, HeadersGiveExpressionsLengthsAndTypes) {
  struct Case {
    const char* file;
    const char* tag;
    const char* expression;
    const char* forExpression;
    int keyLength;
    char keyType;
    bool unique;
  };
  const Case cases[] = {
      {"foxpro/dbd-xbase/rooms.cdx", "AUDIO", "roomname", "TRIM(UPPER(facility))==\"AUDIO\"", 10, 'C', false},
      {"foxpro/dbd-xbase/rooms.cdx", "FACILITY", "facility", "", 10, 'C', false},
      {"foxpro/javadbf-xsource/employees.cdx", "EMAILNAME", "emailname", "", 51, 'C', false},
      {"foxpro/javadbf-xsource/employees.cdx", "PRIMARYKEY", "employeeid", "", 4, 'N', true},
      {"foxpro/go-dbase/database/expense reports.CDX", "DATESUBMIT", "datesubmitted", "", 8, 'D', false},
      {"foxpro/go-dbase/database/EXPENSES.DCX", "OBJECTNAME",
       "STR(parentid)+objecttype+LOWER(objectname)", ".NOT.DELETED()", 148, 'C', false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.tag);
    auto file = openFile(fixturePath(c.file), OpenMode::ReadOnly);
    auto idx = openCdx(*file);
    int t = 0;
    while (t < idx->tagCount() && idx->tag(t).name != c.tag) ++t;
    ASSERT_LT(t, idx->tagCount());
    const TagSpec& s = idx->tag(t);
    EXPECT_EQ(s.expression, c.expression);
    EXPECT_EQ(s.forExpression, c.forExpression);
    EXPECT_EQ(s.keyLength, c.keyLength);
    EXPECT_EQ(s.keyType, c.keyType);
    EXPECT_EQ(s.unique, c.unique);
    EXPECT_FALSE(s.descending);
  }
}

// dbf_dump's "field:field:..." lines, by record number.
std::vector<std::vector<std::string>> dbfDump(const std::string& path) {
  std::string out;
  EXPECT_EQ(test::runCommand("dbf_dump " + shellQuote(path) + " 2>&1", &out), 0) << out;
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (std::size_t colon; (colon = line.find(':', start)) != std::string::npos; start = colon + 1)
      cells.push_back(line.substr(start, colon - start));
    cells.push_back(line.substr(start));
    rows.push_back(std::move(cells));
  }
  return rows;
}

std::string upperTrim(std::string s) {
  s = rtrim(s);
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

TEST(CdxFixtures, RoomsTagsHoldEveryQualifyingRecordOfTheTable) {
  const auto rows = dbfDump(fixturePath("foxpro/dbd-xbase/rooms.dbf"));
  ASSERT_EQ(rows.size(), 42u);
  auto file = openFile(fixturePath("foxpro/dbd-xbase/rooms.cdx"), OpenMode::ReadOnly);
  auto idx = openCdx(*file);
  const std::map<std::string, std::pair<int, std::string>> tags = {
      // tag -> (field its key shows, facility it is filtered on)
      {"ROOMNAME", {0, ""}}, {"FACILITY", {1, ""}}, {"AUDIO", {0, "AUDIO"}},
      {"FILM", {0, "FILM"}}, {"MAIN", {0, "MAIN"}}};
  for (int t = 0; t < idx->tagCount(); ++t) {
    const auto& [field, filter] = tags.at(idx->tag(t).name);
    SCOPED_TRACE(idx->tag(t).name);
    std::set<std::uint32_t> want;
    for (std::uint32_t r = 1; r <= rows.size(); ++r)
      if (filter.empty() || upperTrim(rows[r - 1][1]) == filter) want.insert(r);
    std::set<std::uint32_t> have;
    for (const TagEntry& e : walk(*idx, t)) {
      EXPECT_EQ(rtrim(e.key), rtrim(rows[e.recno - 1][static_cast<std::size_t>(field)])) << e.recno;
      have.insert(e.recno);
    }
    EXPECT_EQ(have, want);
  }
}

TEST(CdxFixtures, DateKeysAreTheJulianDaysOfTheTable) {
  const auto rows = dbfDump(fixturePath("foxpro/go-dbase/database/expense reports.dbf"));
  auto file = openFile(fixturePath("foxpro/go-dbase/database/expense reports.CDX"), OpenMode::ReadOnly);
  auto idx = openCdx(*file);
  ASSERT_EQ(idx->tag(0).name, "DATESUBMIT");
  const auto entries = walk(*idx, 0);
  ASSERT_EQ(entries.size(), rows.size());
  for (const TagEntry& e : entries) {
    // dbf_dump shows dates as Unix time; 2440588 is the Julian day of 1970-01-01.
    const double unixDays = std::stod(rows[e.recno - 1][5]) / 86400.0;
    EXPECT_EQ(numberOf(e.key), unixDays + 2440588) << e.recno;
  }
}

// ---- keys ------------------------------------------------------------------------------------

TEST(CdxKeys, EncodingsSortBytewiseInValueOrder) {
  Workbench w({numberTag("AMOUNT"), charTag("NAME", 6)});
  const double values[] = {-1e300, -2.5, -1, -0.001, 0, 1e-9, 0.5, 1, 2, 2.5, 1e9, 1e300};
  std::string previous;
  for (double v : values) {
    const std::string k = w.index->encode(0, number(v));
    ASSERT_EQ(k.size(), 8u);
    EXPECT_EQ(numberOf(k), v);
    if (!previous.empty()) {
      EXPECT_LT(w.index->compare(0, previous, k), 0) << v;
    }
    previous = k;
  }
  EXPECT_EQ(w.index->encode(0, number(-0.0)), w.index->encode(0, number(0)));
  EXPECT_EQ(w.index->encode(0, number(1)), std::string("\xBF\xF0\0\0\0\0\0\0", 8));
  EXPECT_EQ(w.index->encode(1, text("ab")), "ab    ");
  EXPECT_EQ(w.index->encode(1, text("abcdefgh")), "abcdef");
  // A prefix equals every key that starts with it.
  EXPECT_EQ(w.index->compare(1, "ab    ", "ab"), 0);
  EXPECT_LT(w.index->compare(1, "ab    ", "ac"), 0);
  EXPECT_GT(w.index->compare(1, "\xE9     ", "z"), 0);  // bytes compare unsigned

  try {
    w.index->encode(0, number(std::nan("")));
    ADD_FAILURE() << "NaN encoded";
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::InvalidInput);
  }
}

TEST(CdxKeys, IntegerAndNullableKeysFollowVisualFoxPro) {
  cdx::KeyShape integer{'N', 4, false};
  EXPECT_EQ(cdx::encodeKey(integer, number(1), "f", "T"), std::string("\x80\0\0\x01", 4));
  EXPECT_EQ(cdx::encodeKey(integer, number(-1), "f", "T"), std::string("\x7F\xFF\xFF\xFF", 4));
  EXPECT_THROW(cdx::encodeKey(integer, number(1.5), "f", "T"), TableError);
  EXPECT_THROW(cdx::encodeKey(integer, number(3e9), "f", "T"), TableError);
  cdx::KeyShape nullableText{'C', 5, true};
  EXPECT_EQ(cdx::encodeKey(nullableText, text("ab"), "f", "T"), "\x80" "ab  ");
  cdx::KeyShape odd{'N', 6, false};
  try {
    cdx::encodeKey(odd, number(1), "f", "T");
    ADD_FAILURE();
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Unsupported);
  }
}

TEST(CdxKeys, TypeGuessesFollowExpressionThenKeys) {
  const std::string one = cdx::encodeKey({'N', 8, false}, number(1), "", "");
  const std::string day = cdx::encodeKey({'N', 8, false}, number(2451545), "", "");
  EXPECT_EQ(cdx::inferKeyType("UPPER(name)", 8, {one}), 'C');
  EXPECT_EQ(cdx::inferKeyType("code", 10, {one}), 'C');
  EXPECT_EQ(cdx::inferKeyType("code", 8, {"ABCDEFGH", "ABCDEFGX"}), 'C');
  EXPECT_EQ(cdx::inferKeyType("amount", 8, {one.substr(0, 2)}), 'N');
  EXPECT_EQ(cdx::inferKeyType("when", 8, {day.substr(0, 5)}), 'D');
  EXPECT_EQ(cdx::inferKeyType("id", 4, {std::string("\x80\0\0\x01", 4)}), 'N');
  EXPECT_EQ(cdx::inferKeyType("id", 4, {}), 'C');
}

// ---- files we write --------------------------------------------------------------------------

TEST(CdxCreate, PerlReadsOurTagsInOrderAfterManyChanges) {
  TagSpec when = numberTag("WHEN", 'D');
  TagSpec code = charTag("CODE", 4, "code", true);
  code.unique = true;
  TagSpec open = charTag("OPENNAME", 30, "name");
  open.forExpression = "open";
  Workbench w({charTag("NAME", 30), numberTag("AMOUNT"), when, code, open});
  const int tags[5] = {w.tag("NAME"), w.tag("AMOUNT"), w.tag("WHEN"), w.tag("CODE"), w.tag("OPENNAME")};
  std::vector<std::set<Entry>> ref(5);
  std::set<std::string> codes;  // the unique tag takes each key once
  std::mt19937 rng(7);
  // Record numbers up to 400000 need wider leaf entries than small tables get.
  for (int batch = 0; batch < 6; ++batch) {
    w.change([&](Transaction& tx) {
      for (int i = 0; i < 700; ++i) {
        const auto recno = static_cast<std::uint32_t>(1 + rng() % 400000);
        const std::string name = "Item " + std::to_string(rng() % 5000) + " of lot " + std::to_string(rng() % 7);
        const std::string keys[5] = {
            w.index->encode(tags[0], text(name)),
            w.index->encode(tags[1], number(static_cast<double>(static_cast<int>(rng() % 200001) - 100000) / 8)),
            w.index->encode(tags[2], KeyValue{'D', {}, 2440000.0 + static_cast<double>(rng() % 30000)}),
            w.index->encode(tags[3], text(std::to_string(recno % 9973))),
            w.index->encode(tags[4], text(name))};
        for (int t = 0; t < 5; ++t) {
          if (t == 4 && recno % 3 != 0) continue;  // only "open" records
          if (t == 3 && !codes.insert(keys[3]).second) continue;
          if (!ref[t].insert({keys[t], recno}).second) continue;
          w.index->insert(tx, tags[t], keys[t], recno);
        }
      }
    });
  }
  ASSERT_EQ(joined(problemsOf(*w.index)), "");
  auto reopened = openCdx(*w.file);
  std::vector<std::string> names;
  for (int t = 0; t < reopened->tagCount(); ++t) names.push_back(reopened->tag(t).name);
  EXPECT_EQ(names, (std::vector<std::string>{"AMOUNT", "CODE", "NAME", "OPENNAME", "WHEN"}));
  EXPECT_EQ(perlTagNames(w.path), names);
  const std::map<std::string, int> ours = {{"NAME", 0}, {"AMOUNT", 1}, {"WHEN", 2}, {"CODE", 3}, {"OPENNAME", 4}};
  for (int t = 0; t < reopened->tagCount(); ++t) {
    const TagSpec& def = reopened->tag(t);
    const int r = ours.at(def.name);
    EXPECT_EQ(def.descending, def.name == "CODE");
    EXPECT_EQ(def.unique, def.name == "CODE");
    EXPECT_EQ(def.forExpression, def.name == "OPENNAME" ? "open" : "");
    EXPECT_EQ(walk(*reopened, t), entriesOf(ref[static_cast<std::size_t>(r)], def.descending)) << def.name;
    // Perl reads the stored (ascending) order.
    expectSameAsPerl(w.path, def, entriesOf(ref[static_cast<std::size_t>(r)]));
  }
}

TEST(CdxCreate, RefusesTagsTheFormatCannotHold) {
  struct Case {
    const char* what;
    TagSpec def;
  };
  TagSpec longName = charTag("ABCDEFGHIJK", 10);
  TagSpec digit = charTag("1ST", 10);
  TagSpec tooLong = charTag("T", 241);
  TagSpec zero = charTag("T", 0);
  TagSpec badNumber = numberTag("N");
  badNumber.keyLength = 6;
  TagSpec hugeExpr = charTag("T", 10, std::string(400, 'x'));
  hugeExpr.forExpression = std::string(200, 'y');
  TagSpec noExpr = charTag("T", 10);
  noExpr.expression.clear();
  const Case cases[] = {{"name over 10", longName}, {"leading digit", digit}, {"key over 240", tooLong},
                        {"key of 0", zero},          {"6-byte number", badNumber}, {"pool overflow", hugeExpr},
                        {"no expression", noExpr}};
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto f = openFile(dir.file("x.cdx"), OpenMode::Create);
    try {
      createCdx(*f, {c.def});
      ADD_FAILURE() << "accepted";
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::InvalidInput);
    }
  }
  auto f = openFile(dir.file("x.cdx"), OpenMode::Create);
  EXPECT_THROW(createCdx(*f, {charTag("A", 5), charTag("a", 6)}), TableError);
}

TEST(CdxCreate, ManyTagsSplitTheDirectory) {
  std::vector<TagSpec> defs;
  for (int i = 149; i >= 0; --i) defs.push_back(charTag("T" + std::to_string(100 + i), 10));
  Workbench w(defs);
  ASSERT_EQ(w.index->tagCount(), 150);
  const auto bytes = test::readFileBytes(w.path);
  EXPECT_EQ(bytes[cdx::get32(bytes.data())] & cdx::kAttrLeaf, 0);  // the directory root is interior
  std::vector<std::string> names;
  for (int t = 0; t < 150; ++t) names.push_back(w.index->tag(t).name);
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  EXPECT_EQ(perlTagNames(w.path), names);
  w.change([&](Transaction& tx) { w.index->insert(tx, w.tag("T150"), w.index->encode(0, text("x")), 9); });
  EXPECT_EQ(indexDump(w.path, "T150", "char").size(), 1u);
  EXPECT_EQ(joined(problemsOf(*w.index)), "");
}

// ---- keeping tags exact ----------------------------------------------------------------------

struct Shape {
  const char* what;
  TagSpec def;
  std::function<KeyValue(std::mt19937&)> value;
  int depth;  // levels the random run must reach at least
};

// Levels of tag 0, counted down its leftmost edge.
int depthOf(Workbench& w) {
  std::uint64_t off = w.cdx().tree(0).root();
  for (int depth = 1; depth < 40; ++depth) {
    cdx::Page p;
    w.file->readAt(off, p);
    const cdx::Node n = cdx::decodeNode(p, off, w.index->tag(0).keyLength, ' ', w.path);
    if (n.leaf()) return depth;
    off = n.children.at(0);
  }
  return 40;
}

std::vector<Shape> shapes() {
  std::vector<Shape> s;
  // Few distinct short keys: long runs of duplicates, heavy prefix sharing.
  s.push_back({"short text", charTag("CODE", 10), [](std::mt19937& g) {
                 std::string t;
                 for (std::uint32_t i = 0, n = static_cast<std::uint32_t>(g() % 6); i < n; ++i) t += static_cast<char>('A' + g() % 3);
                 return text(t);
               }, 2});
  // Long keys: a few entries per interior node, so trees get deep.
  s.push_back({"long text", charTag("TITLE", 100), [](std::mt19937& g) {
                 return text("Railroad car number " + std::to_string(g() % 4000) + std::string(g() % 40, 'x'));
               }, 3});
  s.push_back({"numbers", numberTag("PRICE"), [](std::mt19937& g) {
                 return number(static_cast<double>(static_cast<int>(g() % 2001) - 1000) / 4);
               }, 2});
  s.push_back({"longest keys", charTag("NOTE", 240), [](std::mt19937& g) {
                 std::string t(g() % 240, 'a');
                 for (char& c : t) c = static_cast<char>('a' + g() % 26);
                 return text(t);
               }, 6});
  return s;
}

TEST(CdxTree, RandomInsertsAndRemovesMatchASortedReference) {
  for (const Shape& shape : shapes()) {
    SCOPED_TRACE(shape.what);
    Workbench w({shape.def});
    std::set<Entry> ref;
    std::mt19937 rng(42);
    const int batches = 40;
    int deepest = 0;
    for (int batch = 0; batch < batches; ++batch) {
      const bool growing = batch < batches * 2 / 3;
      w.change([&](Transaction& tx) {
        for (int i = 0; i < 150; ++i) {
          if (!ref.empty() && (rng() % 100) < (growing ? 25u : 90u)) {
            auto it = ref.begin();
            std::advance(it, rng() % ref.size());
            w.index->remove(tx, 0, it->first, it->second);
            ref.erase(it);
          } else {
            const std::string key = w.index->encode(0, shape.value(rng));
            const auto recno = static_cast<std::uint32_t>(1 + rng() % 300000);
            if (ref.insert({key, recno}).second) w.index->insert(tx, 0, key, recno);
          }
        }
      });
      ASSERT_EQ(joined(problemsOf(*w.index)), "") << "after batch " << batch;
      ASSERT_EQ(walk(*w.index, 0), entriesOf(ref)) << "after batch " << batch;
      deepest = std::max(deepest, depthOf(w));
    }
    EXPECT_GE(deepest, shape.depth);
    // Emptied again at the end (the last third mostly removes): drain the rest.
    w.change([&](Transaction& tx) {
      for (const auto& [k, r] : ref) w.index->remove(tx, 0, k, r);
    });
    ref.clear();
    EXPECT_EQ(joined(problemsOf(*w.index)), "");
    EXPECT_TRUE(walk(*w.index, 0).empty());
    EXPECT_EQ(depthOf(w), 1);
  }
}

TEST(CdxTree, SeeksLandWhereTheReferenceSays) {
  for (const Shape& shape : shapes()) {
    SCOPED_TRACE(shape.what);
    Workbench w({shape.def});
    std::set<Entry> ref;
    std::mt19937 rng(5);
    for (int batch = 0; batch < 10; ++batch) {
      w.change([&](Transaction& tx) {
        for (int i = 0; i < 300; ++i) {
          const std::string key = w.index->encode(0, shape.value(rng));
          const auto recno = static_cast<std::uint32_t>(1 + rng() % 5000);
          if (ref.insert({key, recno}).second) w.index->insert(tx, 0, key, recno);
        }
      });
    }
    EXPECT_EQ(walkBack(*w.index, 0), entriesOf(ref));
    auto it = w.index->iterate(0);
    for (int i = 0; i < 300; ++i) {
      const std::string key = w.index->encode(0, shape.value(rng));
      const std::size_t cut = 1 + rng() % key.size();
      const std::string prefix = key.substr(0, cut);
      const auto recno = static_cast<std::uint32_t>(rng() % 3 == 0 ? 0 : rng() % 5000);
      const bool withRecno = cut == key.size() && recno != 0;
      // The reference: the first entry whose key cut to the prefix is >= it (and, for a whole
      // key, whose record number is >= recno). A key starting with the prefix sorts after it.
      auto want = ref.lower_bound({prefix, withRecno ? recno : 0});
      const bool landed = it->seek(prefix, withRecno ? recno : 0);
      ASSERT_EQ(landed, want != ref.end());
      if (landed) {
        EXPECT_EQ(it->entry(), (TagEntry{want->first, want->second}));
        if (std::next(want) != ref.end()) {
          ASSERT_TRUE(it->next());
          EXPECT_EQ(it->entry().recno, std::next(want)->second);
        }
      }
    }
  }
}

TEST(CdxTree, ADroppedTransactionLeavesNothingBehind) {
  Workbench w({charTag("NAME", 20)});
  std::set<Entry> ref;
  w.change([&](Transaction& tx) {
    for (std::uint32_t r = 1; r <= 2000; ++r) {
      const std::string k = w.index->encode(0, text("name " + std::to_string(r % 700)));
      ref.insert({k, r});
      w.index->insert(tx, 0, k, r);
    }
  });
  const auto before = test::readFileBytes(w.path);
  {
    Transaction tx = w.journal.begin();
    for (std::uint32_t r = 1; r <= 2000; r += 2) w.index->remove(tx, 0, w.index->encode(0, text("name " + std::to_string(r % 700))), r);
    for (std::uint32_t r = 3000; r <= 4000; ++r) w.index->insert(tx, 0, w.index->encode(0, text("zz" + std::to_string(r))), r);
  }  // never committed
  EXPECT_EQ(test::readFileBytes(w.path), before);
  EXPECT_EQ(walk(*w.index, 0), entriesOf(ref));
  EXPECT_EQ(joined(problemsOf(*w.index)), "");
}

TEST(CdxTree, RefusesBadEntries) {
  Workbench w({charTag("NAME", 8)});
  const std::string k = w.index->encode(0, text("x"));
  w.change([&](Transaction& tx) { w.index->insert(tx, 0, k, 1); });
  const auto kindOf = [&](auto&& f) {
    try {
      w.change(f);
    } catch (const TableError& e) {
      return e.kind();
    }
    return ErrorKind::Io;  // stands for "nothing thrown"
  };
  EXPECT_EQ(kindOf([&](Transaction& tx) { w.index->insert(tx, 0, "short", 2); }), ErrorKind::InvalidInput);
  EXPECT_EQ(kindOf([&](Transaction& tx) { w.index->insert(tx, 0, k, 0); }), ErrorKind::InvalidInput);
  EXPECT_EQ(kindOf([&](Transaction& tx) { w.index->insert(tx, 0, k, 1); }), ErrorKind::InvalidInput);
  EXPECT_EQ(kindOf([&](Transaction& tx) { w.index->remove(tx, 0, k, 2); }), ErrorKind::Corrupt);
  EXPECT_EQ(kindOf([&](Transaction& tx) { w.index->insert(tx, 5, k, 2); }), ErrorKind::InvalidInput);
  EXPECT_EQ(walk(*w.index, 0), (std::vector<TagEntry>{{k, 1}}));
}

TEST(CdxTree, EmptiedPagesAreReusedAndTheRootShrinksBack) {
  Workbench w({charTag("NAME", 60)});
  auto fill = [&] {
    w.change([&](Transaction& tx) {
      for (std::uint32_t r = 1; r <= 3000; ++r)
        w.index->insert(tx, 0, w.index->encode(0, text("key " + std::to_string(r * 7919 % 3001))), r);
    });
  };
  fill();
  const auto grown = test::readFileBytes(w.path).size();
  cdx::Tree& tree = w.cdx().tree(0);
  auto rootNode = [&] {
    cdx::Page p;
    w.file->readAt(tree.root(), p);
    return cdx::decodeNode(p, tree.root(), 60, ' ', w.path);
  };
  EXPECT_FALSE(rootNode().leaf());
  w.change([&](Transaction& tx) {
    for (std::uint32_t r = 1; r <= 3000; ++r)
      w.index->remove(tx, 0, w.index->encode(0, text("key " + std::to_string(r * 7919 % 3001))), r);
  });
  EXPECT_TRUE(rootNode().leaf());
  EXPECT_TRUE(rootNode().root());
  EXPECT_EQ(joined(problemsOf(*w.index)), "");
  fill();
  EXPECT_EQ(test::readFileBytes(w.path).size(), grown);  // built again from the free pages
  EXPECT_EQ(walk(*w.index, 0).size(), 3000u);
  EXPECT_EQ(joined(problemsOf(*w.index)), "");
}

TEST(CdxTree, ClearEmptiesEveryTagAndGivesTheSpaceBack) {
  Workbench w({charTag("NAME", 30), numberTag("AMOUNT")});
  const int name = w.tag("NAME"), amount = w.tag("AMOUNT");
  const auto fresh = test::readFileBytes(w.path).size();
  auto fill = [&] {
    w.change([&](Transaction& tx) {
      for (std::uint32_t r = 1; r <= 4000; ++r) {
        w.index->insert(tx, name, w.index->encode(name, text("n" + std::to_string(r % 977))), r);
        w.index->insert(tx, amount, w.index->encode(amount, number(r % 313)), r);
      }
    });
  };
  fill();
  EXPECT_GT(test::readFileBytes(w.path).size(), fresh);
  w.change([&](Transaction& tx) { w.index->clear(tx); });
  EXPECT_EQ(test::readFileBytes(w.path).size(), fresh);
  EXPECT_TRUE(walk(*w.index, 0).empty());
  EXPECT_TRUE(walk(*w.index, 1).empty());
  EXPECT_EQ(joined(problemsOf(*w.index)), "");
  EXPECT_TRUE(indexDump(w.path, "NAME", "char").empty());
  fill();
  EXPECT_EQ(walk(*w.index, amount).size(), 4000u);
  EXPECT_EQ(joined(problemsOf(*w.index)), "");
}

// ---- iterators -------------------------------------------------------------------------------

TEST(CdxIterator, WalksDescendingTagsFromTheTop) {
  Workbench w({charTag("NAME", 4, "name", true)});
  w.change([&](Transaction& tx) {
    std::uint32_t r = 1;
    for (const char* s : {"b", "a", "c", "b", "a"}) w.index->insert(tx, 0, w.index->encode(0, text(s)), r++);
  });
  auto keysOf = [](const std::vector<TagEntry>& v) {
    std::string s;
    for (const auto& e : v) s += e.key.substr(0, 1) + std::to_string(e.recno) + " ";
    return s;
  };
  EXPECT_EQ(keysOf(walk(*w.index, 0)), "c3 b4 b1 a5 a2 ");
  EXPECT_EQ(keysOf(walkBack(*w.index, 0)), "c3 b4 b1 a5 a2 ");
  auto it = w.index->iterate(0);
  ASSERT_TRUE(it->seek("b", 0));  // the first "b" in walk order
  EXPECT_EQ(it->entry().recno, 4u);
  ASSERT_TRUE(it->seek("b", 2));  // at or after (b, 2) walking down: (b, 1)
  EXPECT_EQ(it->entry().recno, 1u);
  ASSERT_TRUE(it->seek("bb", 0));  // above every "b": the first of them
  EXPECT_EQ(it->entry().recno, 4u);
  ASSERT_TRUE(it->seek("aa", 0));  // between "a" and "b": the next one down
  EXPECT_EQ(it->entry().recno, 5u);
  EXPECT_FALSE(it->seek("\x01", 0));
  EXPECT_FALSE(it->valid());
  EXPECT_GT(w.index->compare(0, "a", "b"), 0);
}

TEST(CdxIterator, KeepsItsPlaceAcrossChanges) {
  Workbench w({charTag("NAME", 8)});
  auto key = [&](int i) { return w.index->encode(0, text("k" + std::to_string(1000 + i))); };
  w.change([&](Transaction& tx) {
    for (int i = 0; i < 2000; i += 2) w.index->insert(tx, 0, key(i), static_cast<std::uint32_t>(i + 1));
  });
  auto it = w.index->iterate(0);
  EXPECT_FALSE(it->valid());
  ASSERT_TRUE(it->seek(key(500), 0));
  // The current entry goes, a new one arrives right after it: next() meets the new one.
  w.change([&](Transaction& tx) {
    w.index->remove(tx, 0, key(500), 501);
    w.index->insert(tx, 0, key(501), 502);
  });
  ASSERT_TRUE(it->next());
  EXPECT_EQ(it->entry(), (TagEntry{key(501), 502}));
  // Everything before goes: prior() runs off the start, next() starts again at the first.
  w.change([&](Transaction& tx) {
    for (int i = 0; i < 500; i += 2) w.index->remove(tx, 0, key(i), static_cast<std::uint32_t>(i + 1));
  });
  EXPECT_FALSE(it->prior());
  EXPECT_FALSE(it->valid());
  ASSERT_TRUE(it->next());
  EXPECT_EQ(it->entry(), (TagEntry{key(501), 502}));
  // Cleared under it: both directions end.
  w.change([&](Transaction& tx) { w.index->clear(tx); });
  EXPECT_FALSE(it->next());
  EXPECT_FALSE(it->first());
  EXPECT_FALSE(it->last());
}

// ---- changes to files written elsewhere -------------------------------------------------------

TEST(CdxFixtures, ChangesToARealTreeStayReadableByPerl) {
  Workbench w("foxpro/infused-dbf/foxprodb/FOXPRO-DB-TEST.DCX", "db.cdx");
  ASSERT_EQ(w.index->tag(0).name, "OBJECTNAME");
  std::set<Entry> ref;
  for (const TagEntry& e : walk(*w.index, 0)) ref.insert({e.key, e.recno});
  ASSERT_EQ(ref.size(), 56u);
  std::mt19937 rng(3);
  w.change([&](Transaction& tx) {
    for (int i = 0; i < 20; ++i) {  // some of the original entries go
      auto it = ref.begin();
      std::advance(it, rng() % ref.size());
      w.index->remove(tx, 0, it->first, it->second);
      ref.erase(it);
    }
    for (std::uint32_t r = 100; r < 700; ++r) {
      const std::string k = w.index->encode(0, text("        " + std::to_string(r % 90) + "Field     name" + std::to_string(r)));
      ref.insert({k, r});
      w.index->insert(tx, 0, k, r);
    }
  });
  EXPECT_EQ(joined(problemsOf(*w.index)), "");
  EXPECT_EQ(walk(*w.index, 0), entriesOf(ref));
  expectSameAsPerl(w.path, w.index->tag(0), entriesOf(ref));
  // The other tag was not touched.
  expectSameAsPerl(w.path, w.index->tag(1), walk(*w.index, 1));
}

TEST(CdxFixtures, NullableKeysTakeNewEntries) {
  Workbench w("foxpro/javadbf-xsource/employees.cdx", "employees.cdx");
  ASSERT_EQ(w.index->tag(0).name, "EMAILNAME");
  const std::string k = w.index->encode(0, text("zoe"));
  EXPECT_EQ(k, "\x80zoe" + std::string(47, ' '));
  w.change([&](Transaction& tx) { w.index->insert(tx, 0, k, 6); });
  const auto entries = walk(*w.index, 0);
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(entries.back(), (TagEntry{k, 6}));
  EXPECT_EQ(joined(problemsOf(*w.index)), "");
  expectSameAsPerl(w.path, w.index->tag(0), entries);
}

// ---- malformed files -------------------------------------------------------------------------

struct Damage {
  const char* what;
  std::function<void(std::vector<std::uint8_t>&, const std::vector<std::uint32_t>&)> apply;
};

TEST(CdxCorrupt, DamagedFilesAreReportedNeverReadOutOfBounds) {
  // A two-level tag: pages[0] is the root (interior), pages[1..] its leaves.
  Workbench w({charTag("NAME", 10)});
  w.change([&](Transaction& tx) {
    for (std::uint32_t r = 1; r <= 600; ++r) w.index->insert(tx, 0, w.index->encode(0, text("n" + std::to_string(r))), r);
  });
  std::vector<std::uint32_t> pages;
  w.cdx().tree(0).collectPages(pages);
  ASSERT_GT(pages.size(), 3u);
  const std::vector<std::uint8_t> good = test::readFileBytes(w.path);
  const std::uint32_t tagHeader = 1536;

  const auto set32 = [](std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  const auto set32be = [](std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
  };
  const std::vector<Damage> cases = {
      {"directory key length 0", [](auto& b, auto&) { b[12] = 0; b[13] = 0; }},
      {"directory root past the end", [&](auto& b, auto&) { set32(b, 0, 0x00FFFE00); }},
      {"tag key length 300", [&](auto& b, auto&) { b[tagHeader + 12] = 0x2C; b[tagHeader + 13] = 1; }},
      {"tag root not on a page", [&](auto& b, auto&) { set32(b, tagHeader, 1000); }},
      {"child points at its parent", [&](auto& b, auto& p) { set32be(b, p[0] + 12 + 10 + 4, p[0]); }},
      {"child pointer far outside", [&](auto& b, auto& p) { set32be(b, p[0] + 12 + 10 + 4, 0xFFFFFE00u); }},
      {"interior key count too big", [](auto& b, auto& p) { b[p[0] + 2] = 200; }},
      {"leaf entry width 0", [](auto& b, auto& p) { b[p[1] + 23] = 0; }},
      {"leaf record bits 40", [](auto& b, auto& p) { b[p[1] + 20] = 40; }},
      {"leaf mask disagrees", [](auto& b, auto& p) { b[p[1] + 18] ^= 0x01; }},
      {"leaf key count too big", [](auto& b, auto& p) { b[p[1] + 2] = 0xFF; b[p[1] + 3] = 0x7F; }},
      {"leaf counts exceed the key", [](auto& b, auto& p) {
         const std::size_t width = b[p[1] + 23];
         std::fill_n(b.begin() + p[1] + 24 + width, width, std::uint8_t{0xFF});
       }},
      {"leaf links to itself", [&](auto& b, auto& p) { set32(b, p[1] + 8, p[1]); }},
      {"leaf keys out of order", [&](auto& b, auto& p) {
         // The first keys of the first two leaves end in different digits: swapping those
         // last stored bytes puts the leaves out of order.
         std::swap(b[p[1] + 511], b[p[2] + 511]);
       }},
      {"free space misstated", [](auto& b, auto& p) { b[p[1] + 12] ^= 0x04; }},
      {"file cut inside the tree", [&](auto& b, auto& p) { b.resize(*std::max_element(p.begin(), p.end()) + 100); }},
  };
  for (const Damage& d : cases) {
    SCOPED_TRACE(d.what);
    std::vector<std::uint8_t> bytes = good;
    d.apply(bytes, pages);
    const std::string path = w.dir.file("bad.cdx");
    test::writeFileBytes(path, bytes);
    auto file = openFile(path);
    std::vector<std::string> seen;
    bool reported = false;
    try {
      auto idx = openCdx(*file);
      CheckReport report;
      idx->check(report);
      reported = !report.ok();
      seen = report.problems;
      try {
        walk(*idx, 0);
        walkBack(*idx, 0);
        auto it = idx->iterate(0);
        it->seek("n5", 0);
      } catch (const TableError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Corrupt) << e.what();
        seen.push_back(e.what());
      }
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Corrupt) << e.what();
      reported = true;
      seen.push_back(e.what());
    }
    EXPECT_TRUE(reported) << joined(seen);
    for (const std::string& s : seen) {
      EXPECT_NE(s.find(path), std::string::npos) << s;
      EXPECT_NE(s.find("offset"), std::string::npos) << s;
    }
  }
}

TEST(CdxCorrupt, RandomDamageIsOnlyEverReportedAsCorrupt) {
  Workbench w({charTag("NAME", 12), numberTag("AMOUNT")});
  w.change([&](Transaction& tx) {
    for (std::uint32_t r = 1; r <= 1500; ++r) {
      w.index->insert(tx, 0, w.index->encode(0, number(r % 97)), r);
      w.index->insert(tx, 1, w.index->encode(1, text("n" + std::to_string(r * 31 % 1500))), r);
    }
  });
  const std::vector<std::uint8_t> good = test::readFileBytes(w.path);
  const std::string path = w.dir.file("fuzzed.cdx");
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    std::vector<std::uint8_t> bytes = good;
    for (std::uint32_t n = 1 + static_cast<std::uint32_t>(rng() % 4); n > 0; --n) {
      // Mostly node and header fields, where damage matters most.
      const std::size_t page = rng() % (bytes.size() / 512);
      const std::size_t at = page * 512 + (rng() % 2 ? rng() % 24 : rng() % 512);
      bytes[at] = static_cast<std::uint8_t>(rng());
    }
    if (rng() % 10 == 0) bytes.resize(rng() % bytes.size());
    test::writeFileBytes(path, bytes);
    auto file = openFile(path);
    try {
      auto idx = openCdx(*file);
      CheckReport report;
      idx->check(report);
      for (int t = 0; t < idx->tagCount(); ++t) {
        walk(*idx, t);
        walkBack(*idx, t);
        idx->iterate(t)->seek("n7", 0);
      }
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::Corrupt) << "round " << round << ": " << e.what();
    }
  }
}

TEST(CdxCorrupt, ALoopingFreeListIsReported) {
  Workbench w({charTag("NAME", 10)});
  w.change([&](Transaction& tx) {
    for (std::uint32_t r = 1; r <= 600; ++r) w.index->insert(tx, 0, w.index->encode(0, text("n" + std::to_string(r))), r);
  });
  w.change([&](Transaction& tx) {
    for (std::uint32_t r = 1; r <= 600; ++r) w.index->remove(tx, 0, w.index->encode(0, text("n" + std::to_string(r))), r);
  });
  auto bytes = test::readFileBytes(w.path);
  const std::uint32_t head = cdx::get32(&bytes[4]);
  ASSERT_NE(head, 0u);
  cdx::put32(&bytes[head], head);
  const std::string path = w.dir.file("loop.cdx");
  test::writeFileBytes(path, bytes);
  auto file = openFile(path);
  auto idx = openCdx(*file);
  const auto problems = problemsOf(*idx);
  ASSERT_EQ(problems.size(), 1u) << joined(problems);
  EXPECT_NE(problems[0].find("free list loops"), std::string::npos);
}

}  // namespace
}  // namespace rf::tables
