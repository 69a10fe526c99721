// Values, dates and code pages: the conversions every format relies on.
#include <gtest/gtest.h>

#include "tables/codepage.h"
#include "tables/error.h"
#include "tables/value.h"
#include "tests/support/test_support.h"

using namespace rf::tables;
using rf::test::ymd;

TEST(Value, NumbersPrintShortestInPlainDecimal) {
  const std::pair<double, const char*> cases[] = {
      {0, "0"},          {-0.0, "0"},       {1, "1"},          {-42, "-42"},        {1000000, "1000000"},
      {2.5, "2.5"},      {0.1, "0.1"},      {0.0001, "0.0001"}, {1.0 / 3, "0.3333333333333333"},
      {123456789012.0, "123456789012"},     {1e300, "1e+300"},  {-1.25e-30, "-1.25e-30"},
  };
  for (auto [v, text] : cases) {
    EXPECT_EQ(formatNumber(v), text);
    EXPECT_EQ(std::stod(formatNumber(v)), v) << "reads back to the same double";
  }
}

TEST(Value, BlankReadsAsZeroButStaysBlank) {
  Value b;
  EXPECT_TRUE(b.isBlank());
  EXPECT_EQ(b.asNumber(), 0);
  EXPECT_EQ(b.asText(), "");
  EXPECT_FALSE(b.asLogical());
  EXPECT_THROW(b.asDate(), TableError);
  EXPECT_FALSE(Value::number(0).isBlank());
  EXPECT_THROW(Value::text("12").asNumber(), TableError) << "text is not silently a number";
}

TEST(Value, DayNumbersOnTheFormatsBases) {
  EXPECT_EQ(daysFromCivil(ymd(1, 1, 1)), 1);
  EXPECT_EQ(daysFromCivil(ymd(1996, 2, 2)), 728691);  // a Paradox date seen in real files
  EXPECT_EQ(julianDay(ymd(2020, 2, 29)), 2458909);
  EXPECT_EQ(julianDay(ymd(1, 1, 1)), 1721426);
  for (std::int64_t d : {1LL, 59LL, 60LL, 365LL, 728691LL, 737850LL, 3652059LL}) EXPECT_EQ(daysFromCivil(civilFromDays(d)), d);
}

TEST(CodePage, RoundTripsWhatItHoldsAndRefusesTheRest) {
  CodePage cp1252(1252), cp437(437), cp850(850), cp936(936);
  std::string text = "Cr\xc3\xa8me \xe2\x82\xac 5";  // "Crème € 5"
  std::string bytes = cp1252.fromUtf8(text);
  EXPECT_EQ(bytes, "Cr\xe8me \x80 5");
  EXPECT_EQ(cp1252.toUtf8(bytes), text);
  EXPECT_EQ(cp437.toUtf8("\x82"), "\xc3\xa9");  // é
  EXPECT_EQ(cp850.fromUtf8("\xc3\xa9"), "\x82");
  try {
    cp437.fromUtf8("\xe2\x82\xac", "NAME");
    FAIL() << "the euro sign is not in code page 437";
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::InvalidInput);
    EXPECT_NE(std::string(e.what()).find("U+20AC"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("NAME"), std::string::npos) << e.what();
  }
  // Every byte of a single-byte code page reads as something and writes back unchanged.
  for (int b = 0; b < 256; ++b) {
    std::string one(1, static_cast<char>(b));
    EXPECT_EQ(cp1252.fromUtf8(cp1252.toUtf8(one)), one) << b;
  }
  EXPECT_EQ(cp1252.upper("caf\xe9 abc"), "CAF\xc9 ABC");
  // Widths count bytes of the file's code page: a Chinese character takes two in 936.
  EXPECT_EQ(cp936.fitChars("\xe4\xb8\xad\xe6\x96\x87" "ab", 3), 1u);
  EXPECT_EQ(cp1252.fitChars("\xc3\xa9\xc3\xa9\xc3\xa9", 2), 2u);
  EXPECT_EQ(cp936.toUtf8(cp936.fromUtf8("\xe4\xb8\xad")), "\xe4\xb8\xad");
}

TEST(CodePage, LanguageDriversMapBothWays) {
  EXPECT_EQ(codePageOfLanguageDriver(0x03), 1252);
  EXPECT_EQ(codePageOfLanguageDriver(0x57), 1252);
  EXPECT_EQ(codePageOfLanguageDriver(0x01), 437);
  EXPECT_EQ(codePageOfLanguageDriver(0x1B), 437);
  EXPECT_EQ(codePageOfLanguageDriver(0xC9), 1251);
  EXPECT_EQ(codePageOfLanguageDriver(0x00), 0);
  for (int cp : {437, 850, 852, 866, 1250, 1251, 1252, 1253, 932, 936})
    for (bool fox : {false, true}) EXPECT_EQ(codePageOfLanguageDriver(languageDriverOfCodePage(cp, fox)), cp) << cp;
}
