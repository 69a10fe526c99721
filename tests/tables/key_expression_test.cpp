#include "tables/key_expression.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tables/codepage.h"
#include "tables/error.h"

using namespace rf::tables;

namespace {

// A record image laid out like a DBF record: the delete flag, then the fields in order.
class Rec final : public RecordFields {
 public:
  explicit Rec(const Schema& s) : schema_(s) {
    std::size_t size = 1;
    for (const auto& f : s.fields()) size = std::max<std::size_t>(size, f.offset + static_cast<std::size_t>(f.width));
    image_.assign(size, ' ');
  }
  Rec& set(std::string_view field, std::string_view raw) {
    const FieldDef& f = schema_[static_cast<std::size_t>(schema_.find(field))];
    std::string v(raw);
    v.resize(static_cast<std::size_t>(f.width), ' ');
    image_.replace(f.offset, static_cast<std::size_t>(f.width), v);
    return *this;
  }
  Rec& setBytes(std::string_view field, const void* data, std::size_t n) {
    const FieldDef& f = schema_[static_cast<std::size_t>(schema_.find(field))];
    image_.replace(f.offset, n, static_cast<const char*>(data), n);
    return *this;
  }
  Rec& setDeleted(bool d) {
    image_[0] = d ? '*' : ' ';
    return *this;
  }
  std::string_view raw(int field) const override {
    const FieldDef& f = schema_[static_cast<std::size_t>(field)];
    return std::string_view(image_).substr(f.offset, static_cast<std::size_t>(f.width));
  }
  bool deleted() const override { return image_[0] == '*'; }

 private:
  const Schema& schema_;
  std::string image_;
};

Schema makeSchema() {
  std::vector<FieldDef> fs;
  std::uint32_t off = 1;
  auto add = [&](std::string name, FieldType t, char native, int width, int dec = 0) {
    FieldDef f;
    f.name = std::move(name);
    f.type = t;
    f.native = native;
    f.width = width;
    f.decimals = dec;
    f.offset = off;
    off += static_cast<std::uint32_t>(width);
    fs.push_back(f);
  };
  add("NAME", FieldType::Text, 'C', 10);
  add("TYP", FieldType::Text, 'C', 4);
  add("NUMMER", FieldType::Text, 'C', 6);
  add("QTY", FieldType::Number, 'N', 11, 0);
  add("PRICE", FieldType::Number, 'N', 10, 3);
  add("BORN", FieldType::Date, 'D', 8);
  add("ACTIVE", FieldType::Logical, 'L', 1);
  add("_SKZ", FieldType::Text, 'C', 12);
  add("FACILITY", FieldType::Text, 'C', 10);
  add("NOTES", FieldType::Memo, 'M', 10);
  add("COUNT", FieldType::Integer, 'I', 4);
  add("AMOUNT", FieldType::Number, 'B', 8);
  add("COST", FieldType::Money, 'Y', 8);
  add("SEQ", FieldType::AutoIncrement, '+', 4);
  add("RATIO", FieldType::Number, 'O', 8);
  add("STAMP", FieldType::Timestamp, '@', 8);
  return Schema(fs);
}

const CodePage& cp1252() {
  static CodePage cp(1252);
  return cp;
}

KeyValue eval(const std::string& expr, const Rec& r, const Schema& s) {
  return KeyExpression::parse(expr, s).evaluate(r, cp1252());
}

bool test(const std::string& expr, const Rec& r, const Schema& s) {
  return KeyExpression::parse(expr, s).test(r, cp1252());
}

ErrorKind parseError(const std::string& expr, const Schema& s, std::string* message = nullptr) {
  try {
    KeyExpression::parse(expr, s);
  } catch (const TableError& e) {
    if (message) *message = e.what();
    return e.kind();
  }
  ADD_FAILURE() << "no error for " << expr;
  return ErrorKind::Io;
}

}  // namespace

TEST(KeyExpression, TypesLengthsAndTermsFollowTheExpression) {
  Schema s = makeSchema();
  struct Case {
    const char* expr;
    char type;
    int length;
    std::vector<int> fields;
    int terms;
  } cases[] = {
      {"NAME", 'C', 10, {0}, 1},
      {"name", 'C', 10, {0}, 1},
      {"TYP + NUMMER", 'C', 10, {1, 2}, 2},
      {"QTY", 'N', 0, {3}, 1},
      {"BORN", 'D', 0, {5}, 1},
      {"DTOS(BORN)", 'C', 8, {5}, 1},
      {"UPPER(LTRIM(TRIM(_SKZ)))", 'C', 12, {}, 1},
      {"STR(QTY,11,0)+STR(PRICE,11,0)", 'C', 22, {3, 4}, 2},
      {"STR(QTY)", 'C', 10, {3}, 1},
      {"upper(name)+dtos(born)+str(qty,5)", 'C', 23, {0, 5, 3}, 3},
      {"TRIM(NAME)+TYP", 'C', 14, {}, 2},
      {"(NAME)", 'C', 10, {0}, 1},
      {"COUNT", 'N', 0, {10}, 1},
      {"TRIM(UPPER(facility))==\"AUDIO\"", 'L', 0, {}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expr);
    auto k = KeyExpression::parse(c.expr, s);
    EXPECT_EQ(k.type(), c.type);
    EXPECT_EQ(k.length(), c.length);
    EXPECT_EQ(k.termFields(), c.fields);
    EXPECT_EQ(k.termCount(), c.terms);
  }
}

TEST(KeyExpression, TextKeysAreBuiltAndPaddedToTheKeyLength) {
  Schema s = makeSchema();
  Rec r(s);
  r.set("NAME", "  Smith").set("TYP", "0001").set("NUMMER", "003001").set("_SKZ", "  Db 310")
      .set("BORN", "19960202").set("QTY", "         42");
  struct Case {
    const char* expr;
    std::string key;
  } cases[] = {
      {"NAME", "  Smith   "},
      {"TYP + NUMMER", "0001003001"},
      {"UPPER(NAME)", "  SMITH   "},
      {"LTRIM(NAME)", "Smith     "},
      {"TRIM(NAME)+TYP", "  Smith0001   "},
      {"RTRIM(NAME)+'|'", "  Smith|   "},
      {"ALLTRIM(NAME)+'|'", "Smith|     "},
      {"UPPER(LTRIM(TRIM(_SKZ)))", "DB 310      "},
      {"DTOS(BORN)+TYP", "199602020001"},
      {"STR(QTY,5)+\"x\"", "   42x"},
      {"[a]+'b'+\"c\"", "abc"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expr);
    KeyValue k = eval(c.expr, r, s);
    EXPECT_EQ(k.type, 'C');
    EXPECT_EQ(k.text, c.key);
  }
}

TEST(KeyExpression, UpperUsesTheCodePage) {
  Schema s = makeSchema();
  Rec r(s);
  r.set("NAME", "m\xfcller\xe9");  // mülleré in Windows-1252
  EXPECT_EQ(eval("UPPER(NAME)", r, s).text, "M\xdcLLER\xc9   ");
}

TEST(KeyExpression, StrIsRightJustifiedRoundedAndOverflowsIntoAsterisks) {
  Schema s = makeSchema();
  struct Case {
    const char* raw;  // PRICE, N(10,3)
    const char* expr;
    std::string out;
  } cases[] = {
      {"     2.675", "STR(PRICE,6,2)", "  2.68"},   // decimal rounding, not the double's 2.67499..
      {"     2.665", "STR(PRICE,6,2)", "  2.67"},
      {"    -2.675", "STR(PRICE,6,2)", " -2.68"},   // half away from zero
      {"     0.500", "STR(PRICE)", "         1"},  // default length 10, no decimals
      {"     0.499", "STR(PRICE,3)", "  0"},
      {"    -0.001", "STR(PRICE,6,2)", "  0.00"},   // no negative zero
      {"    99.999", "STR(PRICE,6,2)", "100.00"},   // carry adds a digit
      {"   123.456", "STR(PRICE,5,2)", "123.5"},    // decimals give way first
      {"   123.456", "STR(PRICE,3,2)", "123"},
      {"   123.456", "STR(PRICE,2)", "**"},         // then asterisks
      {"          ", "STR(PRICE,4,1)", " 0.0"},     // blank counts as zero
      {"     0.050", "STR(PRICE,5,1)", "  0.1"},
      {"     0.050", "STR(PRICE,5,3)", "0.050"},
      {"   1234567", "STR(PRICE,11,0)", "    1234567"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.expr) + " of '" + c.raw + "'");
    Rec r(s);
    r.set("PRICE", c.raw);
    EXPECT_EQ(eval(c.expr, r, s).text, c.out);
  }
}

TEST(KeyExpression, NumericAndDateKeysOfASingleField) {
  Schema s = makeSchema();
  Rec r(s);
  r.set("QTY", "        -15").set("PRICE", "    12.250").set("BORN", "19960202");
  std::int32_t count = -7;
  double amount = 2.5;
  std::int64_t cost = 123456;  // 12.3456
  r.setBytes("COUNT", &count, 4).setBytes("AMOUNT", &amount, 8).setBytes("COST", &cost, 8);

  KeyValue q = eval("QTY", r, s);
  EXPECT_EQ(q.type, 'N');
  EXPECT_EQ(q.number, -15);
  EXPECT_EQ(eval("PRICE", r, s).number, 12.25);
  EXPECT_EQ(eval("COUNT", r, s).number, -7);
  EXPECT_EQ(eval("AMOUNT", r, s).number, 2.5);
  EXPECT_DOUBLE_EQ(eval("COST", r, s).number, 12.3456);

  KeyValue d = eval("BORN", r, s);
  EXPECT_EQ(d.type, 'D');
  EXPECT_EQ(d.number, 2450116);  // Julian day of 1996-02-02

  Rec blank(s);
  EXPECT_EQ(eval("QTY", blank, s).number, 0);
  EXPECT_EQ(eval("BORN", blank, s).number, 0);
  EXPECT_EQ(eval("DTOS(BORN)", blank, s).text, "        ");
  Rec bad(s);
  bad.set("BORN", "19960231");  // no such day: treated as blank
  EXPECT_EQ(eval("BORN", bad, s).number, 0);
}

TEST(KeyExpression, BinaryFieldsOfDbase7AndFoxPro) {
  Schema s = makeSchema();
  Rec r(s);
  // dBASE 7: big-endian with the sign bit flipped (set for >= 0, all bits inverted below 0).
  const unsigned char count7[] = {0x7F, 0xFF, 0xFF, 0xF9};  // -7
  const unsigned char seq[] = {0x80, 0x00, 0x01, 0x00};     // 256
  const unsigned char ratio[] = {0xC0, 0x04, 0, 0, 0, 0, 0, 0};  // 2.5: 40 04 00.. with the sign bit set
  // 1996-02-02 12:00: milliseconds of days counted with 0001-01-01 as day 1 (as Paradox does).
  double ms = (728691 + 0.5) * 86400000.0;
  std::uint64_t bits;
  std::memcpy(&bits, &ms, 8);
  bits ^= 1ull << 63;
  unsigned char stamp[8];
  for (int i = 0; i < 8; ++i) stamp[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
  r.setBytes("COUNT", count7, 4).setBytes("SEQ", seq, 4).setBytes("RATIO", ratio, 8).setBytes("STAMP", stamp, 8);
  auto level7 = [&](const char* e) { return KeyExpression::parse(e, s, true).evaluate(r, cp1252()); };
  EXPECT_EQ(level7("COUNT").number, -7);
  EXPECT_EQ(level7("SEQ").number, 256);
  EXPECT_EQ(level7("RATIO").number, 2.5);
  KeyValue st = level7("STAMP");
  EXPECT_EQ(st.type, 'D');
  EXPECT_DOUBLE_EQ(st.number, 2450116.5);
  EXPECT_EQ(level7("DTOS(STAMP)").text, "19960202");
  // The same I bytes in a FoxPro table are little-endian.
  EXPECT_EQ(eval("COUNT", r, s).number, static_cast<double>(static_cast<std::int32_t>(0xF9FFFF7Fu)));
  Rec blank(s);
  std::memset(&bits, 0, 8);
  blank.setBytes("RATIO", &bits, 8).setBytes("STAMP", &bits, 8);
  EXPECT_EQ(KeyExpression::parse("RATIO", s, true).evaluate(blank, cp1252()).number, 0);
  EXPECT_EQ(KeyExpression::parse("STAMP", s, true).evaluate(blank, cp1252()).number, 0);
}

TEST(KeyExpression, LeadingTermsGiveAnUnpaddedPrefix) {
  Schema s = makeSchema();
  Rec r(s);
  r.set("TYP", "AB").set("NUMMER", "12").set("QTY", "          5");
  auto k = KeyExpression::parse("TYP+NUMMER+STR(QTY,3)", s);
  EXPECT_EQ(k.evaluateLeading(r, 0, cp1252()).text, "");
  EXPECT_EQ(k.evaluateLeading(r, 1, cp1252()).text, "AB  ");
  EXPECT_EQ(k.evaluateLeading(r, 2, cp1252()).text, "AB  12    ");
  EXPECT_EQ(k.evaluateLeading(r, 3, cp1252()), k.evaluate(r, cp1252()));
  EXPECT_EQ(k.evaluateLeading(r, 9, cp1252()).text, "AB  12      5");
  auto n = KeyExpression::parse("QTY", s);
  EXPECT_EQ(n.evaluateLeading(r, 1, cp1252()), n.evaluate(r, cp1252()));
}

TEST(KeyExpression, ForExpressions) {
  Schema s = makeSchema();
  Rec r(s);
  r.set("FACILITY", "audio").set("QTY", "         10").set("NAME", "Smith").set("ACTIVE", "T")
      .set("BORN", "20000101");
  struct Case {
    const char* expr;
    bool expected;
  } cases[] = {
      {"TRIM(UPPER(facility))==\"AUDIO\"", true},
      {"UPPER(FACILITY)==\"AUDIO\"", false},  // exact: trailing blanks count
      {"UPPER(FACILITY)=\"AUDIO\"", true},    // '=' compares up to the right side's length
      {"NAME = 'Smi'", true},
      {"NAME = 'Smithers'", false},
      {"NAME <> 'Smi'", false},
      {"NAME # 'Jones'", true},
      {"NAME != 'Jones'", true},
      {"NAME < 'Smz'", true},
      {"NAME > 'Sma'", true},
      {"NAME >= 'Smith'", true},
      {"NAME <= 'Smith'", true},
      {"QTY > 9", true},
      {"QTY >= 10 .AND. QTY <= 10", true},
      {"QTY < 10 .OR. QTY > 10", false},
      {".NOT. QTY = 10", false},
      {"!(QTY = 11)", true},
      {"BORN > BORN", false},
      {"ACTIVE", true},
      {".NOT. ACTIVE", false},
      {"ACTIVE = .T.", true},
      {"ACTIVE .AND. .F.", false},
      {".NOT.DELETED()", true},
      {"DELETED()", false},
      {".TRUE.", true},
      {".FALSE.", false},
      {"qty = 10 .and. .not. deleted()", true},
      {"QTY = 1 .OR. QTY = 10 .AND. NAME = 'X'", false},  // .AND. binds tighter
      {"(QTY = 1 .OR. QTY = 10) .AND. NAME = 'S'", true},
      {"PRICE = .5 .OR. PRICE = 0", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expr);
    auto k = KeyExpression::parse(c.expr, s);
    EXPECT_EQ(k.type(), 'L');
    EXPECT_EQ(k.test(r, cp1252()), c.expected);
  }
  r.setDeleted(true);
  EXPECT_FALSE(test(".NOT. DELETED()", r, s));
  EXPECT_TRUE(test("DELETED()", r, s));
}

TEST(KeyExpression, UnsupportedAndInvalidExpressionsAreRefusedWithTheText) {
  Schema s = makeSchema();
  struct Case {
    const char* expr;
    ErrorKind kind;
  } cases[] = {
      {"SUBSTR(NAME,1,3)", ErrorKind::Unsupported},
      {"NAME - TYP", ErrorKind::Unsupported},
      {"QTY + QTY", ErrorKind::Unsupported},       // arithmetic
      {"NAME + QTY", ErrorKind::Unsupported},
      {"UPPER(QTY)", ErrorKind::Unsupported},
      {"DTOS(NAME)", ErrorKind::Unsupported},
      {"STR(NAME)", ErrorKind::Unsupported},
      {"STR(QTY,X)", ErrorKind::Unsupported},
      {"NAME = 5", ErrorKind::Unsupported},
      {"ACTIVE < .T.", ErrorKind::Unsupported},
      {"NAME .AND. ACTIVE", ErrorKind::Unsupported},
      {"UPPER(NAME", ErrorKind::Unsupported},
      {"'open", ErrorKind::Unsupported},
      {"NAME NAME", ErrorKind::Unsupported},
      {"", ErrorKind::Unsupported},
      {"NOTES", ErrorKind::Unsupported},           // memo
      {".MAYBE.", ErrorKind::Unsupported},
      {"NAME @ 1", ErrorKind::Unsupported},
      {"NOSUCH", ErrorKind::InvalidInput},
      {"UPPER(NOSUCH)", ErrorKind::InvalidInput},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expr);
    std::string msg;
    EXPECT_EQ(parseError(c.expr, s, &msg), c.kind);
    if (c.kind == ErrorKind::Unsupported && *c.expr) {
      EXPECT_NE(msg.find(c.expr), std::string::npos) << msg;
    }
  }
}

TEST(KeyExpression, LogicalExpressionsAreNotKeysAndKeysAreNotConditions) {
  Schema s = makeSchema();
  Rec r(s);
  try {
    eval("ACTIVE", r, s);
    FAIL();
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Unsupported);
  }
  try {
    test("NAME", r, s);
    FAIL();
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::InvalidInput);
  }
}

TEST(KeyExpression, MovedExpressionKeepsWorking) {
  Schema s = makeSchema();
  Rec r(s);
  r.set("TYP", "AB").set("NUMMER", "12");
  auto a = KeyExpression::parse("TYP+NUMMER", s);
  KeyExpression b = std::move(a);
  auto c = KeyExpression::parse("NAME", s);
  c = std::move(b);
  EXPECT_EQ(c.evaluate(r, cp1252()).text, "AB  12    ");
  EXPECT_EQ(c.text(), "TYP+NUMMER");
}
