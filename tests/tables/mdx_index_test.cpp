#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <sstream>

#include "tables/error.h"
#include "tables/file_system.h"
#include "tables/index_file.h"
#include "tables/journal.h"
#include "tables/mdx_keys.h"
#include "tables/mdx_layout.h"
#include "tests/support/test_support.h"

using namespace rf::tables;
using rf::test::TempDir;

namespace {

FileSystem& fsys() { return FileSystem::real(); }

std::string hex(std::string_view s) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out;
}

std::string unhex(std::string_view h) {
  std::string out;
  for (std::size_t i = 0; i + 1 < h.size(); i += 2) out += static_cast<char>(std::stoi(std::string(h.substr(i, 2)), nullptr, 16));
  return out;
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
  return out;
}

std::vector<std::uint32_t> recnos(const std::vector<TagEntry>& es) {
  std::vector<std::uint32_t> out;
  for (const auto& e : es) out.push_back(e.recno);
  return out;
}

int tagNumber(IndexFile& idx, const std::string& name) {
  for (int i = 0; i < idx.tagCount(); ++i)
    if (idx.tag(i).name == name) return i;
  ADD_FAILURE() << "no tag " << name;
  return 0;
}

std::string problems(const CheckReport& r) {
  std::string s;
  for (const auto& p : r.problems) s += p + "\n";
  return s;
}

// A fresh MDX in a temporary directory with a journal to change it through.
struct Env {
  TempDir dir;
  std::string tablePath = dir.file("T.DBF");
  std::string mdxPath = dir.file("T.MDX");
  std::unique_ptr<File> table;
  std::unique_ptr<Journal> journal;
  std::unique_ptr<File> mdx;
  std::unique_ptr<IndexFile> idx;

  explicit Env(const std::vector<TagSpec>& tags) {
    table = fsys().open(tablePath, OpenMode::Create);
    journal = std::make_unique<Journal>(fsys(), tablePath, *table, 0x7FFFFFFE);
    mdx = fsys().open(mdxPath, OpenMode::Create);
    createMdx(*mdx, "T", tags);
    idx = openMdx(*mdx);
  }
  // Opens an existing MDX (a copy of a fixture) instead.
  Env(const std::string& fixture, int) {
    table = fsys().open(tablePath, OpenMode::Create);
    journal = std::make_unique<Journal>(fsys(), tablePath, *table, 0x7FFFFFFE);
    rf::test::copyFile(rf::test::fixturePath(fixture), mdxPath);
    mdx = fsys().open(mdxPath, OpenMode::ReadWrite);
    idx = openMdx(*mdx);
  }
  template <class F>
  void change(F&& f) {
    auto tx = journal->begin();
    f(tx);
    tx.commit();
  }
  void reopen() { idx = openMdx(*mdx); }
};

TagSpec textTag(std::string name, int length, bool descending = false) {
  TagSpec t;
  t.name = std::move(name);
  t.expression = "NAME";
  t.keyType = 'C';
  t.keyLength = length;
  t.descending = descending;
  return t;
}

TagSpec numberTag(std::string name) {
  TagSpec t;
  t.name = std::move(name);
  t.expression = "QTY";
  t.keyType = 'N';
  t.keyLength = 12;
  return t;
}

TagSpec dateTag(std::string name) {
  TagSpec t;
  t.name = std::move(name);
  t.expression = "BORN";
  t.keyType = 'D';
  t.keyLength = 8;
  return t;
}

KeyValue text(std::string s) { return KeyValue{'C', std::move(s), 0}; }
KeyValue number(double v) { return KeyValue{'N', {}, v}; }
KeyValue date(double jd) { return KeyValue{'D', {}, jd}; }

// The order the index must keep: its own key order, then record numbers.
struct Reference {
  IndexFile* idx;
  int tag;
  struct Less {
    IndexFile* idx;
    int tag;
    bool operator()(const TagEntry& a, const TagEntry& b) const {
      int c = idx->compare(tag, a.key, b.key);
      return c != 0 ? c < 0 : a.recno < b.recno;
    }
  };
  std::set<TagEntry, Less> entries;
  Reference(IndexFile& i, int t) : idx(&i), tag(t), entries(Less{&i, t}) {}
  std::vector<TagEntry> all() const { return {entries.begin(), entries.end()}; }
};

// Depth of a tag's tree: the levels from its root down its first pointers to a leaf.
std::size_t depthOf(Env& env, int tag) {
  auto b = rf::test::readFileBytes(env.mdxPath);
  std::uint32_t header = mdx::get32(b.data() + 544 + 32 * tag);
  int item = mdx::get16(b.data() + header * 512 + 18);
  std::uint32_t page = mdx::get32(b.data() + header * 512);
  for (std::size_t depth = 1;; ++depth) {
    const std::uint8_t* n = b.data() + page * 512;
    std::uint32_t count = mdx::get32(n);
    if (mdx::get32(n + 8 + count * item) == 0) return depth;
    page = mdx::get32(n + 8);
  }
}

bool haveIndexDump() { return rf::test::runCommand("command -v index_dump >/dev/null 2>&1") == 0; }

// Perl XBase's reading of a tag: (hex key, record number) in the order it walks the tree.
std::vector<std::pair<std::string, std::uint32_t>> perlWalk(const std::string& file, const std::string& tag,
                                                            const std::string& start = {}) {
  std::string script =
      "use XBase::Index; my $i = XBase::Index->new($ARGV[0], tag => $ARGV[1]) or die XBase::Index->errstr; "
      "if (defined $ARGV[2]) { $i->prepare_select_eq($ARGV[2]) or die $i->errstr } else { $i->prepare_select } "
      "while (my @d = $i->fetch) { print unpack('H*', $d[0]), ' ', $d[1], \"\\n\" } die $i->errstr if $i->errstr;";
  std::string cmd = "perl -e " + rf::test::shellQuote(script) + " " + rf::test::shellQuote(file) + " " +
                    rf::test::shellQuote(tag) + (start.empty() ? "" : " " + rf::test::shellQuote(start)) + " 2>&1";
  std::string out;
  int rc = rf::test::runCommand(cmd, &out);
  EXPECT_EQ(rc, 0) << out;
  std::vector<std::pair<std::string, std::uint32_t>> rows;
  std::istringstream in(out);
  std::string hexKey;
  std::uint32_t recno;
  while (in >> hexKey >> recno) rows.emplace_back(unhex(hexKey), recno);
  return rows;
}

}  // namespace

// ---- numeric and date keys ----

TEST(MdxKeys, NumbersEncodeAsDbaseWritesThem) {
  // Bytes as the real files hold them (siemens-s7 ID tags; zero from CHANGELOG.MDX).
  struct Case {
    double v;
    const char* bytes;
  } cases[] = {
      {0, "340100000000000000000000"},   {1, "350510000000000000000000"},
      {2, "350520000000000000000000"},   {10, "360510000000000000000000"},
      {11, "360911000000000000000000"},  {13, "360913000000000000000000"},
      {-25.5, "368d25500000000000000000"}, {0.05, "330550000000000000000000"},
      {123456.789, "3a2512345678900000000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.v);
    EXPECT_EQ(hex(mdx::encodeNumber(c.v)), c.bytes);
    EXPECT_DOUBLE_EQ(mdx::decodeNumber(mdx::encodeNumber(c.v)), c.v);
  }
  // dBASE itself (jdbfdriver/TEST.MDX) put 10 digits in byte 1 for a 10-wide field: same value.
  EXPECT_EQ(mdx::compareNumbers(unhex("362910000000000000000000"), mdx::encodeNumber(10)), 0);
  EXPECT_EQ(mdx::decodeNumber(unhex("362915000000000000000000")), 15);
  // Free Pascal's TDbf writes (bytes used * 8 + 1) there: 5, 7.5 and 10 as it stored them.
  EXPECT_EQ(mdx::compareNumbers(unhex("350950000000000000000000"), mdx::encodeNumber(5)), 0);
  EXPECT_EQ(mdx::compareNumbers(unhex("350975000000000000000000"), mdx::encodeNumber(7.5)), 0);
  EXPECT_EQ(mdx::compareNumbers(unhex("360910000000000000000000"), mdx::encodeNumber(10)), 0);
}

TEST(MdxKeys, NumbersAndDatesOrderByValue) {
  std::vector<double> values = {-1e12, -12345.5, -100, -99.99, -10, -1, -0.5, -0.001, 0, 0.001, 0.5,
                                0.9999, 1, 1.5, 9, 10, 10.5, 99, 100, 12345.678, 1e12, 1e15};
  for (double a : values)
    for (double b : values) {
      int want = a < b ? -1 : (a > b ? 1 : 0);
      EXPECT_EQ(mdx::compareNumbers(mdx::encodeNumber(a), mdx::encodeNumber(b)), want) << a << " vs " << b;
      EXPECT_EQ(mdx::compareDates(mdx::encodeDate(a), mdx::encodeDate(b)), want) << a << " vs " << b;
    }
  // Keys that don't normalise their digits still order by value: 0.5 written as 0.05e1.
  EXPECT_EQ(mdx::compareNumbers(unhex("350905000000000000000000"), mdx::encodeNumber(0.5)), 0);
  EXPECT_EQ(mdx::compareNumbers(unhex("370100000000000000000000"), mdx::encodeNumber(0)), 0);
  EXPECT_EQ(hex(mdx::encodeDate(2450116)), "0000000062b14241");
}

// ---- the real files ----

TEST(MdxFixtures, JdbfdriverTagsReadInDbaseOrder) {
  Env env("dbase/jdbfdriver/TEST.MDX", 0);
  IndexFile& idx = *env.idx;
  ASSERT_EQ(idx.tagCount(), 2);
  EXPECT_EQ(idx.tag(0).name, "TEST1");
  EXPECT_EQ(idx.tag(0).expression, "TEST1");
  EXPECT_EQ(idx.tag(0).keyType, 'C');
  EXPECT_EQ(idx.tag(0).keyLength, 50);
  EXPECT_EQ(idx.tag(1).name, "TEST2");
  EXPECT_EQ(idx.tag(1).expression, "test2");
  EXPECT_EQ(idx.tag(1).keyType, 'N');
  EXPECT_EQ(idx.tag(1).keyLength, 12);
  EXPECT_FALSE(idx.tag(0).unique);
  EXPECT_EQ(idx.tag(0).forExpression, "");

  EXPECT_EQ(recnos(walk(idx, 0)), (std::vector<std::uint32_t>{3, 1, 2}));
  EXPECT_EQ(recnos(walkBack(idx, 0)), (std::vector<std::uint32_t>{2, 1, 3}));
  auto it = idx.iterate(0);
  ASSERT_TRUE(it->seek(idx.encode(0, text("test2")), 0));
  EXPECT_EQ(it->entry().recno, 2u);
  ASSERT_TRUE(it->seek("test", 0));  // a prefix
  EXPECT_EQ(it->entry().recno, 1u);
  EXPECT_FALSE(it->seek("zz", 0));
  EXPECT_FALSE(it->valid());

  auto nums = walk(idx, 1);
  ASSERT_EQ(nums.size(), 3u);
  EXPECT_EQ(recnos(nums), (std::vector<std::uint32_t>{1, 3, 2}));
  EXPECT_EQ(mdx::decodeNumber(nums[0].key), 10);
  EXPECT_EQ(mdx::decodeNumber(nums[1].key), 15);
  EXPECT_EQ(mdx::decodeNumber(nums[2].key), 20);
  it = idx.iterate(1);
  ASSERT_TRUE(it->seek(idx.encode(1, number(15)), 0));
  EXPECT_EQ(it->entry().recno, 3u);

  CheckReport r;
  idx.check(r);
  EXPECT_TRUE(r.ok()) << problems(r);
}

TEST(MdxFixtures, SiemensTagsReadWithTheirExpressionsFiltersAndOrder) {
  struct Case {
    const char* file;
    const char* tag;
    const char* expression;
    const char* forExpression;
    char type;
    bool unique;
    std::vector<std::uint32_t> order;
  } cases[] = {
      {"dbase/siemens-s7/YDBs/15940/SYMLIST.MDX", "__ID", "_ID", ".NOT. DELETED()", 'N', false, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"dbase/siemens-s7/YDBs/15940/SYMLIST.MDX", "__USKZ", "UPPER(LTRIM(TRIM(_SKZ)))", ".NOT. DELETED()", 'C', false,
       {2, 9, 7, 5, 8, 4, 3, 1, 6}},
      {"dbase/siemens-s7/YDBs/15940/SYMLIST.MDX", "__OPIEC", "_OpIEC", ".NOT. DELETED()", 'C', false,
       {9, 4, 3, 2, 1, 6, 5, 7, 8}},
      {"dbase/siemens-s7/YDBs/15940/SYMLIST.MDX", "__OPHIST", "_OpHist", ".FALSE.", 'C', false, {}},
      {"dbase/siemens-s7/ombstx/offline/00000002/BAUSTEIN.MDX", "ID_TAG", "ID", ".NOT. DELETED()", 'N', true,
       {6, 5, 4, 3, 2, 1, 8, 9, 10, 11}},
      {"dbase/siemens-s7/ombstx/offline/00000002/BAUSTEIN.MDX", "TYPNUMBER_", "TYP + NUMMER", ".NOT. DELETED()", 'C',
       true, {10, 6, 5, 4, 3, 2, 11, 1, 8, 9}},
      {"dbase/siemens-s7/siprom/SIPROM.MDX", "LINK_TAG",
       "STR(PUNITTYPE,11,0)+STR(PUNITID,11,0)+STR(POBJTYPE,11,0)+STR(POBJID,11,0)", ".NOT. DELETED()", 'C', false,
       {2, 1}},
      {"dbase/siemens-s7/siprom/CHANGELOG.MDX", "ACTION_TAG", "ACTION", ".NOT. DELETED()", 'N', false, {2, 1, 3}},
      {"dbase/siemens-s7/siprom/CHANGELOG.MDX", "OBJECTID_T", "OBJECTID", ".NOT. DELETED()", 'N', false, {3, 1, 2}},
      {"dbase/siemens-s7/siprom/CHANGELOG.MDX", "LEVEL_TAG", "LEVEL", ".NOT. DELETED()", 'N', false, {3, 2, 1}},
      {"dbase/siemens-s7/XUTILS/listen/XR000001.MDX", "TAG_USEDOP", "OPTYPE + OPACCESS + DBNB + BYTEADR + BITADR",
       ".NOT. DELETED()", 'C', false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.tag);
    Env env(c.file, 0);
    int t = tagNumber(*env.idx, c.tag);
    const TagSpec& spec = env.idx->tag(t);
    EXPECT_EQ(spec.expression, c.expression);
    EXPECT_EQ(spec.forExpression, c.forExpression);
    EXPECT_EQ(spec.keyType, c.type);
    EXPECT_EQ(spec.unique, c.unique);
    auto entries = walk(*env.idx, t);
    EXPECT_EQ(recnos(entries), c.order);
    for (std::size_t i = 1; i < entries.size(); ++i)
      EXPECT_LE(env.idx->compare(t, entries[i - 1].key, entries[i].key), 0);
    auto back = walkBack(*env.idx, t);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, entries);
    CheckReport r;
    env.idx->check(r);
    EXPECT_TRUE(r.ok()) << problems(r);
  }
  Env baustein("dbase/siemens-s7/ombstx/offline/00000002/BAUSTEIN.MDX", 0);
  auto ids = walk(*baustein.idx, 0);
  std::vector<double> values;
  for (const auto& e : ids) values.push_back(mdx::decodeNumber(e.key));
  EXPECT_EQ(values, (std::vector<double>{2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST(MdxFixtures, ChangesToARealFileKeepItReadable) {
  // CHANGELOG's LEVEL_TAG holds three equal keys in falling record order, as its writer left
  // them: removal must still find each one.
  Env env("dbase/siemens-s7/siprom/CHANGELOG.MDX", 0);
  int t = tagNumber(*env.idx, "LEVEL_TAG");
  std::string zero = env.idx->encode(t, number(0));
  env.change([&](Transaction& tx) { env.idx->remove(tx, t, zero, 2); });
  EXPECT_EQ(recnos(walk(*env.idx, t)), (std::vector<std::uint32_t>{3, 1}));
  env.change([&](Transaction& tx) {
    for (std::uint32_t r = 4; r < 200; ++r) env.idx->insert(tx, t, env.idx->encode(t, number(r % 7)), r);
  });
  CheckReport rep;
  env.idx->check(rep);
  EXPECT_TRUE(rep.ok()) << problems(rep);
  auto all = walk(*env.idx, t);
  ASSERT_EQ(all.size(), 198u);
  for (std::size_t i = 1; i < all.size(); ++i) EXPECT_LE(env.idx->compare(t, all[i - 1].key, all[i].key), 0);
  env.change([&](Transaction& tx) {
    env.idx->remove(tx, t, zero, 1);
    env.idx->remove(tx, t, zero, 3);
  });
  EXPECT_EQ(walk(*env.idx, t).size(), 196u);
  if (haveIndexDump()) {
    auto perl = perlWalk(env.mdxPath, "LEVEL_TAG");
    auto ours = walk(*env.idx, t);
    ASSERT_EQ(perl.size(), ours.size());
    for (std::size_t i = 0; i < ours.size(); ++i) EXPECT_EQ(perl[i].second, ours[i].recno);
  }
}

// ---- new files ----

TEST(MdxCreate, NewFileHasTheTagsAndReadsEmpty) {
  TagSpec a = textTag("NAME", 20);
  TagSpec b = numberTag("QTY");
  b.unique = true;
  TagSpec c = dateTag("BORN");
  c.descending = true;
  c.forExpression = ".NOT. DELETED()";
  Env env({a, b, c});
  ASSERT_EQ(env.idx->tagCount(), 3);
  EXPECT_EQ(env.idx->tag(0).name, "NAME");
  EXPECT_EQ(env.idx->tag(0).keyLength, 20);
  EXPECT_EQ(env.idx->tag(1).keyType, 'N');
  EXPECT_TRUE(env.idx->tag(1).unique);
  EXPECT_EQ(env.idx->tag(2).keyType, 'D');
  EXPECT_EQ(env.idx->tag(2).keyLength, 8);
  EXPECT_TRUE(env.idx->tag(2).descending);
  EXPECT_EQ(env.idx->tag(2).forExpression, ".NOT. DELETED()");
  for (int t = 0; t < 3; ++t) {
    auto it = env.idx->iterate(t);
    EXPECT_FALSE(it->first());
    EXPECT_FALSE(it->last());
    EXPECT_FALSE(it->seek("", 0));
  }
  CheckReport r;
  env.idx->check(r);
  EXPECT_TRUE(r.ok()) << problems(r);
  // Layout of dBASE IV: 1024-byte blocks, a header block then an empty root for each tag.
  auto bytes = rf::test::readFileBytes(env.mdxPath);
  EXPECT_EQ(bytes.size(), 2048u + 3 * 2048);
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(mdx::get16(bytes.data() + 22), 1024);
  EXPECT_EQ(mdx::get32(bytes.data() + 32), bytes.size() / 512);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + 4)), "T");
  if (haveIndexDump()) {
    std::string out;
    EXPECT_EQ(rf::test::runCommand("index_dump " + rf::test::shellQuote(env.mdxPath), &out), 0);
    EXPECT_EQ(out, "BORN\nNAME\nQTY\n");
  }
}

TEST(MdxCreate, Dbase7TagTableWithLongNamesReads) {
  // dBASE 7's tag table: 48-byte entries, names of up to 32 characters at 4.
  Env env({textTag("A", 10), numberTag("B")});
  env.change([&](Transaction& tx) { env.idx->insert(tx, 1, env.idx->encode(1, number(3)), 7); });
  auto b = rf::test::readFileBytes(env.mdxPath);
  std::vector<std::uint8_t> table(b.begin() + 544, b.begin() + 544 + 64);
  std::fill(b.begin() + 544, b.begin() + 2048, 0);
  b[26] = 48;
  const char* names[] = {"A_LONGER_TAG_NAME_OF_DBASE7", "SECOND"};
  for (int i = 0; i < 2; ++i) {
    std::memcpy(b.data() + 544 + 48 * i, table.data() + 32 * i, 4);
    std::memcpy(b.data() + 544 + 48 * i + 4, names[i], std::strlen(names[i]));
  }
  rf::test::writeFileBytes(env.mdxPath, b);
  env.reopen();
  ASSERT_EQ(env.idx->tagCount(), 2);
  EXPECT_EQ(env.idx->tag(0).name, "A_LONGER_TAG_NAME_OF_DBASE7");
  EXPECT_EQ(env.idx->tag(1).name, "SECOND");
  EXPECT_EQ(env.idx->tag(1).keyType, 'N');
  EXPECT_EQ(recnos(walk(*env.idx, 1)), (std::vector<std::uint32_t>{7}));
}

TEST(MdxCreate, RefusesBadTagDefinitions) {
  struct Case {
    const char* why;
    TagSpec spec;
  } cases[] = {
      {"empty name", textTag("", 10)},
      {"long name", textTag("ABCDEFGHIJK", 10)},
      {"odd name", textTag("A-B", 10)},
      {"zero key", textTag("A", 0)},
      {"long key", textTag("A", 101)},
      {"bad type", [] { TagSpec t = textTag("A", 10); t.keyType = 'L'; return t; }()},
      {"no expression", [] { TagSpec t = textTag("A", 10); t.expression.clear(); return t; }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    TempDir d;
    auto f = fsys().open(d.file("X.MDX"), OpenMode::Create);
    try {
      createMdx(*f, "X", {c.spec});
      ADD_FAILURE() << "accepted";
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), ErrorKind::InvalidInput);
    }
  }
  TempDir d;
  auto f = fsys().open(d.file("X.MDX"), OpenMode::Create);
  EXPECT_THROW(createMdx(*f, "X", {textTag("A", 5), textTag("a", 5)}), TableError);
  std::vector<TagSpec> many;
  for (int i = 0; i < 48; ++i) many.push_back(textTag("T" + std::to_string(i), 5));
  EXPECT_THROW(createMdx(*f, "X", many), TableError);
}

TEST(MdxCreate, TagTableThreadsTheNamesAsABinaryTree) {
  // The order and links of siemens-s7/YDBs/15940/SYMLIST.MDX, rebuilt.
  std::vector<TagSpec> tags;
  for (const char* n : {"__ID", "__USKZ", "__SKZ", "__OPIEC", "__OPHIST"}) tags.push_back(textTag(n, 10));
  Env env(tags);
  auto ours = rf::test::readFileBytes(env.mdxPath);
  auto real = rf::test::readFileBytes(rf::test::fixturePath("dbase/siemens-s7/YDBs/15940/SYMLIST.MDX"));
  for (int i = 0; i < 5; ++i)
    for (int b : {16, 17, 18}) EXPECT_EQ(ours[544 + 32 * i + b], real[544 + 32 * i + b]) << "tag " << i << " byte " << b;
}

TEST(MdxIndex, EncodeAndCompareFollowTheTagType) {
  Env env({textTag("NAME", 6), numberTag("QTY"), dateTag("BORN"), textTag("DOWN", 6, true)});
  IndexFile& idx = *env.idx;
  EXPECT_EQ(idx.encode(0, text("ab")), "ab    ");
  EXPECT_EQ(idx.encode(0, text("abcdefgh")), "abcdef");
  EXPECT_EQ(idx.encode(1, number(11)), mdx::encodeNumber(11));
  EXPECT_EQ(idx.encode(2, date(2450116)), mdx::encodeDate(2450116));
  EXPECT_THROW(idx.encode(0, number(1)), TableError);
  EXPECT_THROW(idx.encode(1, text("1")), TableError);
  EXPECT_THROW(idx.encode(9, text("1")), TableError);

  EXPECT_LT(idx.compare(0, "ab    ", "abc   "), 0);
  EXPECT_EQ(idx.compare(0, "ab", "abc   "), 0);  // a prefix
  EXPECT_GT(idx.compare(3, "ab    ", "abc   "), 0);  // descending
  EXPECT_LT(idx.compare(1, idx.encode(1, number(9)), idx.encode(1, number(10))), 0);
  EXPECT_GT(idx.compare(1, idx.encode(1, number(-9)), idx.encode(1, number(-10))), 0);
  EXPECT_LT(idx.compare(2, idx.encode(2, date(2450116)), idx.encode(2, date(2450117))), 0);
}

TEST(MdxIndex, CharacterKeysFollowTheLanguageDriver) {
  // The order Free Pascal's TDbf gave these names in a table of DBWINWE0 (0x58): cases and
  // accents interleave, letter by letter.
  const std::vector<std::string> collated = {"_x",    "1x",   "alpha", "alphb", "aLPHA",  "Alpha",
                                             "ALPH",  "ALPHA", "\xe4lpha", "beta", "Beta", "zeta"};
  auto orderIn = [](IndexFile& idx, Env& env, const std::vector<std::string>& names) {
    env.change([&](Transaction& tx) {
      for (std::size_t i = names.size(); i-- > 0;) idx.insert(tx, 0, idx.encode(0, text(names[i])), static_cast<std::uint32_t>(i + 1));
    });
    std::vector<std::string> out;
    for (const auto& e : walk(idx, 0)) out.push_back(e.key.substr(0, e.key.find(' ')));
    return out;
  };
  {
    // Named by the table (the MDX header says nothing).
    Env env({textTag("NAME", 20)});
    env.idx = openMdx(*env.mdx, 0x58);
    EXPECT_EQ(orderIn(*env.idx, env, collated), collated);
    EXPECT_LT(env.idx->compare(0, "Alpha", "ALPHA"), 0);
    EXPECT_LT(env.idx->compare(0, "ALPHA", "beta"), 0);
    EXPECT_EQ(env.idx->compare(0, "alp", "alpha"), 0);  // a prefix still
    CheckReport r;
    env.idx->check(r);
    EXPECT_TRUE(r.ok()) << problems(r);
  }
  {
    // Named by the MDX header (byte 31), which wins over the table's.
    Env env({textTag("NAME", 20)});
    std::uint8_t ld = 0x58;
    env.mdx->writeAt(31, std::span<const std::uint8_t>(&ld, 1));
    env.idx = openMdx(*env.mdx, 0x57);
    EXPECT_EQ(orderIn(*env.idx, env, collated), collated);
  }
  {
    // DBWINUS0 (0x57, 'ascii'), DB437US0 (0x1B, jdbfdriver's) and none: the bytes' order.
    for (std::uint8_t ld : {std::uint8_t{0x57}, std::uint8_t{0x1B}, std::uint8_t{0}}) {
      Env env({textTag("NAME", 20)});
      env.idx = openMdx(*env.mdx, ld);
      auto bytes = collated;
      std::sort(bytes.begin(), bytes.end());
      EXPECT_EQ(orderIn(*env.idx, env, collated), bytes) << int(ld);
    }
  }
}

// ---- changes ----

namespace {

struct RandomRun {
  std::mt19937 rng;
  explicit RandomRun(unsigned seed) : rng(seed) {}
  int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
  // Short keys from a small alphabet: many duplicates and shared prefixes.
  std::string word() {
    std::string s;
    int n = 1 + below(4);
    for (int i = 0; i < n; ++i) s += static_cast<char>('a' + below(4));
    return s;
  }
};

void expectSame(IndexFile& idx, int tag, const Reference& ref) {
  auto want = ref.all();
  EXPECT_EQ(walk(idx, tag), want);
  auto back = walkBack(idx, tag);
  std::reverse(back.begin(), back.end());
  EXPECT_EQ(back, want);
}

}  // namespace

TEST(MdxChanges, RandomInsertsAndRemovesMatchASortedReference) {
  // Three tags in one file: 100-byte text keys (9 to a node: deep trees fast), BCD numbers and
  // dates, ascending and descending.
  Env env({textTag("WIDE", 100), numberTag("QTY"), dateTag("BORN"), textTag("DOWN", 100, true)});
  IndexFile& idx = *env.idx;
  std::vector<Reference> refs;
  for (int t = 0; t < 4; ++t) refs.emplace_back(idx, t);
  RandomRun run(20240611);
  std::uint32_t nextRec = 1;
  auto keyFor = [&](int t) {
    switch (t) {
      case 1: return idx.encode(t, number(run.below(400) - 200 + run.below(4) * 0.25));
      case 2: return idx.encode(t, date(2450000 + run.below(300)));
      default: return idx.encode(t, text(run.word()));
    }
  };
  for (int batch = 0; batch < 16; ++batch) {
    SCOPED_TRACE("batch " + std::to_string(batch));
    bool growing = batch < 10 || batch % 2 == 0;
    env.change([&](Transaction& tx) {
      for (int op = 0; op < 400; ++op) {
        int t = run.below(4);
        Reference& ref = refs[static_cast<std::size_t>(t)];
        if (ref.entries.empty() || run.below(100) < (growing ? 70 : 25)) {
          // Record numbers out of order too: updates re-key old records.
          std::uint32_t rec = run.below(3) == 0 && nextRec > 1 ? 1 + static_cast<std::uint32_t>(run.below(static_cast<int>(nextRec - 1))) : nextRec++;
          TagEntry e{keyFor(t), rec};
          if (ref.entries.count(e)) continue;
          idx.insert(tx, t, e.key, e.recno);
          ref.entries.insert(e);
        } else {
          auto it = ref.entries.begin();
          std::advance(it, run.below(static_cast<int>(ref.entries.size())));
          idx.remove(tx, t, it->key, it->recno);
          ref.entries.erase(it);
        }
      }
    });
    CheckReport r;
    idx.check(r);
    ASSERT_TRUE(r.ok()) << problems(r);
    for (int t = 0; t < 4; ++t) expectSame(idx, t, refs[static_cast<std::size_t>(t)]);
  }
  EXPECT_GE(depthOf(env, 0), 3u);

  // Seeks land on the reference's lower bound, by whole key and by prefix.
  for (int t : {0, 3}) {
    auto it = idx.iterate(t);
    for (int i = 0; i < 200; ++i) {
      // A record number only goes with a whole key; a prefix seeks the first of its keys.
      bool whole = run.below(2);
      std::string prefix = whole ? idx.encode(t, text(run.word())) : run.word();
      std::uint32_t rec = whole ? static_cast<std::uint32_t>(run.below(static_cast<int>(nextRec))) : 0;
      const auto& ref = refs[static_cast<std::size_t>(t)].entries;
      auto want = std::find_if(ref.begin(), ref.end(), [&](const TagEntry& e) {
        int c = idx.compare(t, e.key, prefix);
        return c > 0 || (c == 0 && e.recno >= rec);
      });
      bool ok = it->seek(prefix, rec);
      ASSERT_EQ(ok, want != ref.end()) << prefix;
      if (ok) {
        EXPECT_EQ(it->entry(), *want) << prefix << " " << rec;
      }
    }
  }

  // Everything out again: the trees shrink back to empty roots.
  env.change([&](Transaction& tx) {
    for (int t = 0; t < 4; ++t) {
      for (const auto& e : refs[static_cast<std::size_t>(t)].entries) idx.remove(tx, t, e.key, e.recno);
      refs[static_cast<std::size_t>(t)].entries.clear();
    }
  });
  CheckReport r;
  idx.check(r);
  EXPECT_TRUE(r.ok()) << problems(r);
  for (int t = 0; t < 4; ++t) EXPECT_TRUE(walk(idx, t).empty());
  EXPECT_EQ(depthOf(env, 0), 1u);
}

TEST(MdxChanges, SequentialAppendsFillNodes) {
  Env env({numberTag("ID")});
  env.change([&](Transaction& tx) {
    for (std::uint32_t r = 1; r <= 6300; ++r) env.idx->insert(tx, 0, env.idx->encode(0, number(r)), r);
  });
  // 63 keys to a leaf: appends at the right edge leave full leaves (100 of them, plus the
  // branches), where halving splits would need about twice as many.
  auto size = rf::test::readFileBytes(env.mdxPath).size();
  EXPECT_LT(size, 2048u + 2048u + 110u * 1024u);
  auto all = walk(*env.idx, 0);
  ASSERT_EQ(all.size(), 6300u);
  for (std::uint32_t r = 1; r <= 6300; ++r) EXPECT_EQ(all[r - 1].recno, r);
  CheckReport rep;
  env.idx->check(rep);
  EXPECT_TRUE(rep.ok()) << problems(rep);
}

TEST(MdxChanges, TagHeaderFollowsTheTree) {
  // The fields dBASE keeps beside the root: pages the tag takes, whether it ever held a key, a
  // change counter, and its first and last leaf.
  Env env({numberTag("ID")});
  auto header = [&] {
    auto b = rf::test::readFileBytes(env.mdxPath);
    std::uint32_t page = mdx::get32(b.data() + 544);
    return std::make_pair(b, page * 512);
  };
  auto leafEnd = [&](const std::vector<std::uint8_t>& b, std::uint32_t page, bool last) {
    while (true) {
      const std::uint8_t* n = b.data() + page * 512;
      std::uint32_t count = mdx::get32(n);
      std::uint32_t tail = mdx::get32(n + 8 + count * 16);
      if (tail == 0) return page;
      page = last ? tail : mdx::get32(n + 8);
    }
  };
  auto [b0, h0] = header();
  std::uint32_t root = mdx::get32(b0.data() + h0);
  EXPECT_EQ(mdx::get32(b0.data() + h0 + 4), 4u);
  EXPECT_EQ(b0[h0 + 20], 1);
  EXPECT_EQ(b0[h0 + 246], 0);
  EXPECT_EQ(mdx::get32(b0.data() + h0 + 248), root);
  EXPECT_EQ(mdx::get32(b0.data() + h0 + 252), root);

  env.change([&](Transaction& tx) {
    for (std::uint32_t r = 1; r <= 3000; ++r) env.idx->insert(tx, 0, env.idx->encode(0, number((r * 7919) % 3001)), r);
  });
  env.change([&](Transaction& tx) { env.idx->remove(tx, 0, env.idx->encode(0, number(7919 % 3001)), 1); });
  auto [b, h] = header();
  root = mdx::get32(b.data() + h);
  EXPECT_EQ(mdx::get32(b.data() + h + 4), b.size() / 512 - 4);  // every block but the file header's
  EXPECT_EQ(b[h + 20], (1 + 3001) % 256);
  EXPECT_EQ(b[h + 246], 1);
  EXPECT_EQ(mdx::get32(b.data() + h + 248), leafEnd(b, root, false));
  EXPECT_EQ(mdx::get32(b.data() + h + 252), leafEnd(b, root, true));
  EXPECT_NE(leafEnd(b, root, false), leafEnd(b, root, true));

  env.change([&](Transaction& tx) { env.idx->clear(tx); });
  auto [b2, h2] = header();
  EXPECT_EQ(mdx::get32(b2.data() + h2 + 4), 4u);
  EXPECT_EQ(b2[h2 + 246], 0);
  EXPECT_EQ(mdx::get32(b2.data() + h2 + 248), mdx::get32(b2.data() + h2));
}

TEST(MdxChanges, BlocksOfAnotherSizeAreReadFromTheHeader) {
  // dBASE lets the block size be set per file; rebuild a new file with 2048-byte blocks: the
  // tag header at page 4, its root at page 8.
  Env env({textTag("NAME", 100)});
  auto b = rf::test::readFileBytes(env.mdxPath);
  std::vector<std::uint8_t> big(12 * 512, 0);
  std::copy(b.begin(), b.begin() + 2048, big.begin());
  mdx::put16(big.data() + 20, 4);
  mdx::put16(big.data() + 22, 2048);
  mdx::put32(big.data() + 32, 12);
  std::copy(b.begin() + 2048, b.begin() + 3072, big.begin() + 2048);
  mdx::put32(big.data() + 2048, 8);                           // root
  mdx::put16(big.data() + 2048 + 14, (2048 - 12) / 104);      // keys a node
  rf::test::writeFileBytes(env.mdxPath, big);
  env.reopen();
  Reference ref(*env.idx, 0);
  RandomRun run(3);
  env.change([&](Transaction& tx) {
    for (std::uint32_t r = 1; r <= 1500; ++r) {
      TagEntry e{env.idx->encode(0, text(run.word() + std::to_string(r % 97))), r};
      env.idx->insert(tx, 0, e.key, e.recno);
      ref.entries.insert(e);
    }
  });
  expectSame(*env.idx, 0, ref);
  CheckReport rep;
  env.idx->check(rep);
  EXPECT_TRUE(rep.ok()) << problems(rep);
  auto after = rf::test::readFileBytes(env.mdxPath);
  EXPECT_EQ(after.size() % 2048, 0u);
  EXPECT_EQ(mdx::get32(after.data() + 32) * 512u, after.size());
}

TEST(MdxChanges, ManyEqualKeysStayInRecordOrder) {
  // A blank optional field indexed over a large table: every insert lands among thousands of
  // equal keys, the case branch keys alone can't place.
  Env env({textTag("BLANK", 30)});
  IndexFile& idx = *env.idx;
  Reference ref(idx, 0);
  std::string blank = idx.encode(0, text(""));
  std::vector<std::uint32_t> order(3000);
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i + 1;
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  env.change([&](Transaction& tx) {
    for (std::uint32_t r : order) {
      idx.insert(tx, 0, blank, r);
      ref.entries.insert(TagEntry{blank, r});
    }
  });
  expectSame(idx, 0, ref);
  auto it = idx.iterate(0);
  ASSERT_TRUE(it->seek(blank, 1500));
  EXPECT_EQ(it->entry().recno, 1500u);
  env.change([&](Transaction& tx) {
    for (std::uint32_t r = 1; r <= 3000; r += 3) {
      idx.remove(tx, 0, blank, r);
      ref.entries.erase(TagEntry{blank, r});
    }
  });
  expectSame(idx, 0, ref);
  CheckReport rep;
  idx.check(rep);
  EXPECT_TRUE(rep.ok()) << problems(rep);
}

TEST(MdxChanges, ATransactionSeesItsOwnStagedNodes) {
  Env env({textTag("NAME", 100)});
  IndexFile& idx = *env.idx;
  auto tx = env.journal->begin();
  for (std::uint32_t r = 1; r <= 300; ++r) idx.insert(tx, 0, idx.encode(0, text("k" + std::to_string(r))), r);
  for (std::uint32_t r = 1; r <= 300; r += 2) idx.remove(tx, 0, idx.encode(0, text("k" + std::to_string(r))), r);
  // Nothing reached the file yet.
  EXPECT_TRUE(walk(idx, 0).empty());
  tx.commit();
  auto all = walk(idx, 0);
  ASSERT_EQ(all.size(), 150u);
  for (const auto& e : all) EXPECT_EQ(e.recno % 2, 0u);
}

TEST(MdxChanges, DroppedTransactionLeavesTheFileAsItWas) {
  Env env({textTag("NAME", 10)});
  IndexFile& idx = *env.idx;
  env.change([&](Transaction& tx) { idx.insert(tx, 0, idx.encode(0, text("a")), 1); });
  auto before = rf::test::readFileBytes(env.mdxPath);
  {
    auto tx = env.journal->begin();
    for (std::uint32_t r = 2; r < 200; ++r) idx.insert(tx, 0, idx.encode(0, text("b")), r);
  }
  EXPECT_EQ(rf::test::readFileBytes(env.mdxPath), before);
  EXPECT_EQ(walk(idx, 0).size(), 1u);
}

TEST(MdxChanges, RefusedChangesStageNothing) {
  Env env({textTag("NAME", 10), numberTag("QTY")});
  IndexFile& idx = *env.idx;
  env.change([&](Transaction& tx) { idx.insert(tx, 0, idx.encode(0, text("a")), 1); });
  auto tx = env.journal->begin();
  auto expectRefused = [&](auto&& f, ErrorKind kind) {
    try {
      f();
      ADD_FAILURE() << "accepted";
    } catch (const TableError& e) {
      EXPECT_EQ(e.kind(), kind) << e.what();
      EXPECT_NE(std::string(e.what()).find(env.mdxPath), std::string::npos) << e.what();
    }
    EXPECT_TRUE(tx.empty());
  };
  expectRefused([&] { idx.remove(tx, 0, idx.encode(0, text("a")), 2); }, ErrorKind::Corrupt);
  expectRefused([&] { idx.remove(tx, 0, idx.encode(0, text("b")), 1); }, ErrorKind::Corrupt);
  expectRefused([&] { idx.insert(tx, 0, "short", 5); }, ErrorKind::InvalidInput);
  expectRefused([&] { idx.insert(tx, 0, idx.encode(0, text("a")), 0); }, ErrorKind::InvalidInput);
  expectRefused([&] { idx.insert(tx, 0, idx.encode(0, text("a")), 1); }, ErrorKind::InvalidInput);
}

TEST(MdxChanges, ClearEmptiesEveryTagAndShrinksTheFile) {
  Env env({textTag("NAME", 100), numberTag("QTY")});
  IndexFile& idx = *env.idx;
  env.change([&](Transaction& tx) {
    for (std::uint32_t r = 1; r <= 500; ++r) {
      idx.insert(tx, 0, idx.encode(0, text("n" + std::to_string(r))), r);
      idx.insert(tx, 1, idx.encode(1, number(r)), r);
    }
  });
  EXPECT_GT(rf::test::readFileBytes(env.mdxPath).size(), 50000u);
  auto it = idx.iterate(0);
  ASSERT_TRUE(it->first());
  env.change([&](Transaction& tx) { idx.clear(tx); });
  EXPECT_EQ(rf::test::readFileBytes(env.mdxPath).size(), 2048u + 2 * 2048u);
  EXPECT_FALSE(it->next());
  for (int t = 0; t < 2; ++t) EXPECT_TRUE(walk(idx, t).empty());
  EXPECT_EQ(idx.tag(0).name, "NAME");
  CheckReport r;
  idx.check(r);
  EXPECT_TRUE(r.ok()) << problems(r);
  env.change([&](Transaction& tx) { idx.insert(tx, 1, idx.encode(1, number(5)), 7); });
  EXPECT_EQ(recnos(walk(idx, 1)), (std::vector<std::uint32_t>{7}));
  env.reopen();
  EXPECT_EQ(recnos(walk(*env.idx, 1)), (std::vector<std::uint32_t>{7}));
}

TEST(MdxChanges, IteratorsFollowChangesMadeWhileTheyWalk) {
  Env env({textTag("NAME", 100)});
  IndexFile& idx = *env.idx;
  Reference ref(idx, 0);
  RandomRun run(99);
  std::uint32_t nextRec = 1;
  env.change([&](Transaction& tx) {
    for (int i = 0; i < 400; ++i) {
      TagEntry e{idx.encode(0, text(run.word())), nextRec++};
      idx.insert(tx, 0, e.key, e.recno);
      ref.entries.insert(e);
    }
  });
  auto mutate = [&] {
    env.change([&](Transaction& tx) {
      for (int i = 0; i < 30; ++i) {
        if (run.below(2) && !ref.entries.empty()) {
          auto it = ref.entries.begin();
          std::advance(it, run.below(static_cast<int>(ref.entries.size())));
          idx.remove(tx, 0, it->key, it->recno);
          ref.entries.erase(it);
        } else {
          TagEntry e{idx.encode(0, text(run.word())), nextRec++};
          idx.insert(tx, 0, e.key, e.recno);
          ref.entries.insert(e);
        }
      }
    });
  };
  // Forward: each step gives the successor of the previous entry in the changed index, even
  // when that entry itself was removed.
  auto it = idx.iterate(0);
  ASSERT_TRUE(it->first());
  TagEntry prev = it->entry();
  int steps = 0;
  while (true) {
    if (steps++ % 7 == 0) mutate();
    bool ok = it->next();
    auto want = ref.entries.upper_bound(prev);
    ASSERT_EQ(ok, want != ref.entries.end());
    if (!ok) break;
    ASSERT_EQ(it->entry(), *want);
    prev = it->entry();
  }
  ASSERT_TRUE(it->last());
  prev = it->entry();
  steps = 0;
  while (true) {
    if (steps++ % 5 == 0) mutate();
    bool ok = it->prior();
    auto want = ref.entries.lower_bound(prev);
    ASSERT_EQ(ok, want != ref.entries.begin());
    if (!ok) break;
    ASSERT_EQ(it->entry(), *std::prev(want));
    prev = it->entry();
  }
  // From outside the entries: a fresh iterator stands before the first; past the end, prior()
  // comes back to the last.
  auto fresh = idx.iterate(0);
  EXPECT_FALSE(fresh->valid());
  EXPECT_FALSE(fresh->prior());
  ASSERT_TRUE(fresh->next());
  EXPECT_EQ(fresh->entry(), *ref.entries.begin());
  ASSERT_TRUE(fresh->last());
  EXPECT_FALSE(fresh->next());
  EXPECT_FALSE(fresh->valid());
  ASSERT_TRUE(fresh->prior());
  EXPECT_EQ(fresh->entry(), *ref.entries.rbegin());
}

// ---- other readers ----

TEST(MdxInterop, PerlXBaseWalksAndSeeksTreesWeWrote) {
  if (!haveIndexDump()) GTEST_SKIP() << "Perl XBase (libdbd-xbase-perl) is not installed";
  Env env({textTag("NAME", 40), numberTag("QTY"), dateTag("BORN")});
  IndexFile& idx = *env.idx;
  std::vector<Reference> refs;
  for (int t = 0; t < 3; ++t) refs.emplace_back(idx, t);
  RandomRun run(5);
  env.change([&](Transaction& tx) {
    for (std::uint32_t r = 1; r <= 2500; ++r) {
      TagEntry a{idx.encode(0, text("K" + std::to_string(10000 + run.below(5000)))), r};
      TagEntry b{idx.encode(1, number(run.below(20000) / 4.0 - 1000)), r};
      TagEntry c{idx.encode(2, date(2440000 + run.below(20000))), r};
      for (auto [t, e] : {std::pair{0, a}, std::pair{1, b}, std::pair{2, c}}) {
        idx.insert(tx, t, e.key, e.recno);
        refs[static_cast<std::size_t>(t)].entries.insert(e);
      }
    }
    for (std::uint32_t r = 1; r <= 2500; r += 4) {
      for (int t = 0; t < 3; ++t) {
        auto& ref = refs[static_cast<std::size_t>(t)].entries;
        auto e = std::find_if(ref.begin(), ref.end(), [&](const TagEntry& x) { return x.recno == r; });
        idx.remove(tx, t, e->key, e->recno);
        ref.erase(e);
      }
    }
  });
  ASSERT_GE(depthOf(env, 0), 3u);
  const char* names[] = {"NAME", "QTY", "BORN"};
  for (int t = 0; t < 3; ++t) {
    SCOPED_TRACE(names[t]);
    auto perl = perlWalk(env.mdxPath, names[t]);
    auto want = refs[static_cast<std::size_t>(t)].all();
    ASSERT_EQ(perl.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(perl[i].first, want[i].key);
      EXPECT_EQ(perl[i].second, want[i].recno);
    }
  }
  // Perl's seek goes down by "first branch key at or after the value": branch keys must be
  // the highest key of their child for it to land right.
  for (const char* start : {"K10000", "K12345", "K13000", "K14999", "K2"}) {
    SCOPED_TRACE(start);
    auto perl = perlWalk(env.mdxPath, "NAME", start);
    const auto& ref = refs[0].entries;
    auto want = std::find_if(ref.begin(), ref.end(), [&](const TagEntry& e) { return e.key >= start; });
    ASSERT_EQ(perl.size(), static_cast<std::size_t>(std::distance(want, ref.end())));
    if (!perl.empty()) {
      EXPECT_EQ(perl[0].first, want->key);
    }
  }
  // index_dump itself lists the text tag in our order.
  std::string out;
  ASSERT_EQ(rf::test::runCommand("index_dump " + rf::test::shellQuote(env.mdxPath) + " NAME", &out), 0);
  std::istringstream lines(out);
  std::string line;
  std::vector<std::uint32_t> dumped;
  while (std::getline(lines, line)) dumped.push_back(static_cast<std::uint32_t>(std::stoul(line.substr(line.rfind(' ') + 1))));
  EXPECT_EQ(dumped, recnos(refs[0].all()));
}

namespace {

// Free Pascal's TDbf, its own MDX reader: walks a tag of a table and prints the record numbers.
const char* kTdbfReader = R"(program readtag;
{$mode objfpc}{$H+}
uses SysUtils, db, dbf;
var t: TDbf;
begin
  t := TDbf.Create(nil);
  t.FilePathFull := ExtractFilePath(ParamStr(1));
  t.TableName := ExtractFileName(ParamStr(1));
  t.ReadOnly := True;
  t.Open;
  t.IndexName := ParamStr(2);
  t.First;
  while not t.EOF do begin WriteLn(t.PhysicalRecNo); t.Next; end;
  t.Close;
  t.Free;
end.
)";

// A dBASE IV table of NAME C(20) and ID N(10,0) with its production-index flag set.
void writeTable(const std::string& path, const std::vector<std::pair<std::string, int>>& rows, std::uint8_t driver) {
  std::vector<std::uint8_t> b(32 + 2 * 32 + 1, 0);
  b[0] = 0x03;
  b[1] = 124;
  b[2] = 1;
  b[3] = 1;
  mdx::put32(b.data() + 4, static_cast<std::uint32_t>(rows.size()));
  mdx::put16(b.data() + 8, static_cast<std::uint16_t>(b.size()));
  mdx::put16(b.data() + 10, 31);
  b[28] = 1;
  b[29] = driver;
  const char* names[] = {"NAME", "ID"};
  const std::uint8_t widths[] = {20, 10};
  const char types[] = {'C', 'N'};
  for (int i = 0; i < 2; ++i) {
    std::memcpy(b.data() + 32 + 32 * i, names[i], std::strlen(names[i]));
    b[32 + 32 * static_cast<std::size_t>(i) + 11] = static_cast<std::uint8_t>(types[i]);
    b[32 + 32 * static_cast<std::size_t>(i) + 16] = widths[i];
  }
  b.back() = 0x0D;
  for (const auto& [name, id] : rows) {
    char rec[40];
    std::snprintf(rec, sizeof rec, " %-20s%10d", name.c_str(), id);
    b.insert(b.end(), rec, rec + 31);
  }
  b.push_back(0x1A);
  rf::test::writeFileBytes(path, b);
}

}  // namespace

TEST(MdxInterop, FreePascalTDbfWalksTreesWeWrote) {
  if (rf::test::runCommand("command -v fpc >/dev/null 2>&1") != 0) GTEST_SKIP() << "Free Pascal (fpc) is not installed";
  TempDir tools;
  std::string source = tools.file("readtag.pas");
  rf::test::writeFileBytes(source, std::vector<std::uint8_t>(kTdbfReader, kTdbfReader + std::strlen(kTdbfReader)));
  std::string out;
  if (rf::test::runCommand("cd " + rf::test::shellQuote(tools.path()) + " && fpc -O1 readtag.pas 2>&1", &out) != 0)
    GTEST_SKIP() << "TDbf (fp-units-db) did not build: " << out;

  // Byte order, and DBWINWE0 (0x58), whose order interleaves cases and accents ("alpha" <
  // "aLPHA" < "Alpha" < "ALPHA" < "\xe4lpha" < "beta"): TDbf orders by the driver too.
  for (std::uint8_t driver : {std::uint8_t{0}, std::uint8_t{0x58}}) {
    SCOPED_TRACE("language driver " + std::to_string(driver));
    TempDir dir;
    std::vector<std::pair<std::string, int>> rows;
    std::mt19937 rng(11);
    const std::string letters = driver ? std::string("aAbBlL\xe4\xc4_1 ") : std::string("0123456789");
    for (int r = 0; r < 3000; ++r) {
      std::string name = "N";
      for (int i = 0; i < 4; ++i) name += letters[rng() % letters.size()];
      rows.emplace_back(name, static_cast<int>(rng() % 20000) - 10000);
    }
    // TDbf looks for the index beside the table with a lower-case extension on this file system.
    std::string table = dir.file("t.dbf");
    writeTable(table, rows, driver);
    auto lock = fsys().open(table, OpenMode::ReadWrite);
    Journal journal(fsys(), table, *lock, 0x7FFFFFFE);
    auto file = fsys().open(dir.file("t.mdx"), OpenMode::Create);
    TagSpec id = numberTag("ID");
    id.expression = "ID";
    createMdx(*file, "T", {textTag("NAME", 20), id, textTag("NAMED", 20, true)});
    auto idx = openMdx(*file, driver);
    std::vector<Reference> refs;
    for (int t = 0; t < 3; ++t) refs.emplace_back(*idx, t);
    auto keyOf = [&](int t, std::size_t r) {
      return t == 1 ? idx->encode(t, number(rows[r].second)) : idx->encode(t, text(rows[r].first));
    };
    auto tx = journal.begin();
    for (std::size_t r = 0; r < rows.size(); ++r)
      for (int t = 0; t < 3; ++t) {
        idx->insert(tx, t, keyOf(t, r), static_cast<std::uint32_t>(r + 1));
        refs[static_cast<std::size_t>(t)].entries.insert(TagEntry{keyOf(t, r), static_cast<std::uint32_t>(r + 1)});
      }
    // Take a run of records out again: whole leaves empty, bounds move.
    for (std::size_t r = 0; r < rows.size(); r += (r % 500 < 300 ? 1 : 7))
      for (int t = 0; t < 3; ++t) {
        idx->remove(tx, t, keyOf(t, r), static_cast<std::uint32_t>(r + 1));
        refs[static_cast<std::size_t>(t)].entries.erase(TagEntry{keyOf(t, r), static_cast<std::uint32_t>(r + 1)});
      }
    tx.commit();
    CheckReport rep;
    idx->check(rep);
    EXPECT_TRUE(rep.ok()) << problems(rep);
    for (int t = 0; t < 3; ++t) {
      SCOPED_TRACE(idx->tag(t).name);
      std::string listing;
      ASSERT_EQ(rf::test::runCommand(rf::test::shellQuote(tools.file("readtag")) + " " + rf::test::shellQuote(table) +
                                         " " + idx->tag(t).name + " 2>&1",
                                     &listing),
                0)
          << listing;
      std::vector<std::uint32_t> theirs;
      std::istringstream in(listing);
      for (std::uint32_t r; in >> r;) theirs.push_back(r);
      EXPECT_EQ(theirs, recnos(refs[static_cast<std::size_t>(t)].all()));
    }
  }
}

// ---- damaged files ----

namespace {

// A small three-level file to damage: one text tag of 9 keys a node.
std::vector<std::uint8_t> deepFile() {
  Env env({textTag("NAME", 100)});
  env.change([&](Transaction& tx) {
    for (std::uint32_t r = 1; r <= 200; ++r) env.idx->insert(tx, 0, env.idx->encode(0, text("k" + std::to_string(1000 + r))), r);
  });
  EXPECT_GE(depthOf(env, 0), 3u);
  return rf::test::readFileBytes(env.mdxPath);
}

std::uint32_t rootOf(const std::vector<std::uint8_t>& b) {
  std::uint32_t header = mdx::get32(b.data() + 544);
  return mdx::get32(b.data() + header * 512);
}

}  // namespace

TEST(MdxDamage, MalformedFilesAreReportedAsCorruptNamingTheFile) {
  TempDir dir;
  const std::vector<std::uint8_t> good = deepFile();
  const std::uint32_t header = mdx::get32(good.data() + 544);
  const std::uint32_t root = rootOf(good);
  struct Case {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    bool atOpen;
  } cases[] = {
      {"shorter than the header", [](auto& b) { b.resize(1000); }, true},
      {"block size disagrees", [](auto& b) { mdx::put16(b.data() + 22, 1000); }, true},
      {"too many tags", [](auto& b) { mdx::put16(b.data() + 28, 60); }, true},
      {"tag header outside the file", [](auto& b) { mdx::put32(b.data() + 544, 100000); }, true},
      {"tag header in the file header", [](auto& b) { mdx::put32(b.data() + 544, 1); }, true},
      {"item shorter than the key", [&](auto& b) { mdx::put16(b.data() + header * 512 + 18, 8); }, true},
      {"more keys a node than a block holds", [&](auto& b) { mdx::put16(b.data() + header * 512 + 14, 500); }, true},
      {"root outside the file", [&](auto& b) { mdx::put32(b.data() + header * 512, 900000); }, false},
      {"root in the file header", [&](auto& b) { mdx::put32(b.data() + header * 512, 2); }, false},
      {"child points back at the root", [&](auto& b) { mdx::put32(b.data() + root * 512 + 8, root); }, false},
      {"child points at its own node", [&](auto& b) {
         std::uint32_t child = mdx::get32(b.data() + root * 512 + 8);
         mdx::put32(b.data() + child * 512 + 8, child);
       }, false},
      {"key count beyond the node", [&](auto& b) { mdx::put32(b.data() + root * 512, 4000000000u); }, false},
      {"file cut inside the nodes", [&](auto& b) { b.resize(b.size() / 2); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto bytes = good;
    c.damage(bytes);
    std::string path = dir.file("BAD.MDX");
    rf::test::writeFileBytes(path, bytes);
    auto f = fsys().open(path, OpenMode::ReadOnly);
    std::unique_ptr<IndexFile> idx;
    try {
      idx = openMdx(*f);
      EXPECT_FALSE(c.atOpen) << "opened";
    } catch (const TableError& e) {
      EXPECT_TRUE(c.atOpen) << e.what();
      EXPECT_EQ(e.kind(), ErrorKind::Corrupt);
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
      continue;
    }
    // Walking the whole tag either way meets the damage.
    auto expectCorrupt = [&](auto&& f2) {
      try {
        auto it = idx->iterate(0);
        f2(*it);
        ADD_FAILURE() << "no error";
      } catch (const TableError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Corrupt);
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("offset"), std::string::npos) << e.what();
      }
    };
    expectCorrupt([](TagIterator& it) { for (bool ok = it.first(); ok; ok = it.next()) {} });
    expectCorrupt([](TagIterator& it) { for (bool ok = it.last(); ok; ok = it.prior()) {} });
    CheckReport r;
    idx->check(r);
    EXPECT_FALSE(r.ok());
    for (const auto& p : r.problems) EXPECT_NE(p.find(path), std::string::npos) << p;
  }
}

TEST(MdxDamage, CheckFindsKeysOutOfOrderAndEmptyNodes) {
  TempDir dir;
  auto good = deepFile();
  std::uint32_t root = rootOf(good);
  std::uint32_t child = mdx::get32(good.data() + root * 512 + 8);
  while (true) {  // down to the first leaf
    std::uint32_t n = mdx::get32(good.data() + child * 512);
    if (mdx::get32(good.data() + child * 512 + 8 + n * 104) == 0) break;
    child = mdx::get32(good.data() + child * 512 + 8);
  }
  struct Case {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    const char* problem;
  } cases[] = {
      {"swapped keys", [&](auto& b) { std::swap_ranges(b.begin() + child * 512 + 12, b.begin() + child * 512 + 112, b.begin() + child * 512 + 116); }, "out of order"},
      {"key above its bound", [&](auto& b) { std::memset(b.data() + child * 512 + 12, 'z', 100); }, "bound"},
      {"record number 0", [&](auto& b) { mdx::put32(b.data() + child * 512 + 8, 0); }, "record number 0"},
      {"empty leaf", [&](auto& b) {
         mdx::put32(b.data() + child * 512, 0);
         mdx::put32(b.data() + child * 512 + 8, 0);
       }, "empty node"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto bytes = good;
    c.damage(bytes);
    std::string path = dir.file("BAD.MDX");
    rf::test::writeFileBytes(path, bytes);
    auto f = fsys().open(path, OpenMode::ReadOnly);
    auto idx = openMdx(*f);
    CheckReport r;
    idx->check(r);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(problems(r).find(c.problem), std::string::npos) << problems(r);
    walk(*idx, 0);  // reading damaged keys is no crash
  }
}

TEST(MdxDamage, RandomlyDamagedFilesFailCleanly) {
  // Bytes flipped anywhere: every read, walk, check and change either works or throws the
  // engine's error; none crashes, reads out of bounds (the sanitizer run) or hangs.
  const std::vector<std::uint8_t> good = deepFile();
  TempDir dir;
  std::string table = dir.file("T.DBF");
  auto lock = fsys().open(table, OpenMode::Create);
  Journal journal(fsys(), table, *lock, 0x7FFFFFFE);
  std::mt19937 rng(2024);
  int opened = 0;
  for (int round = 0; round < 400; ++round) {
    auto bytes = good;
    int flips = 1 + static_cast<int>(rng() % 6);
    for (int i = 0; i < flips; ++i) {
      // Mostly the nodes and tag header, sometimes the file header.
      std::size_t at = rng() % 8 == 0 ? rng() % 2048 : 2048 + rng() % (bytes.size() - 2048);
      bytes[at] = static_cast<std::uint8_t>(rng() % 3 == 0 ? bytes[at] ^ (1u << (rng() % 8)) : rng());
    }
    std::string path = dir.file("T.MDX");
    rf::test::writeFileBytes(path, bytes);
    auto f = fsys().open(path, OpenMode::ReadWrite);
    std::unique_ptr<IndexFile> idx;
    try {
      idx = openMdx(*f);
    } catch (const TableError&) {
      continue;
    }
    ++opened;
    auto attempt = [&](auto&& step) {
      try {
        step();
      } catch (const TableError&) {
      }
    };
    attempt([&] {
      auto it = idx->iterate(0);
      int n = 0;
      for (bool ok = it->first(); ok && n < 20000; ok = it->next()) ++n;
    });
    attempt([&] {
      auto it = idx->iterate(0);
      int n = 0;
      for (bool ok = it->last(); ok && n < 20000; ok = it->prior()) ++n;
    });
    attempt([&] { idx->iterate(0)->seek("k1100", 0); });
    CheckReport r;
    idx->check(r);
    attempt([&] {
      auto tx = journal.begin();
      attempt([&] { idx->insert(tx, 0, idx->encode(0, text("k1100x")), 900); });
      attempt([&] { idx->remove(tx, 0, idx->encode(0, text("k1150")), 150); });
    });
  }
  EXPECT_GT(opened, 200);
}
