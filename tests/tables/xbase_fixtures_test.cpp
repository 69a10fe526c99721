// The real dBASE and FoxPro files in shared/fixtures/real, opened through the engine's public
// API. The expected values come from outside our code: the fixtures' README, the upstream
// summaries (infused-dbf *_summary.txt, *.yml), BDE_TestData.sql (the SQL that filled the BDE
// tables) and what Perl's XBase module (dbf_dump, index_dump) reads from the same files.
//
// Facts these files showed (kept here because the tests depend on them):
// - Record numbers in index orders count deleted records (BAUSTEIN record 7 and SUBBLK 25-28 are
//   deleted; the S7 writer left record 7 out of BAUSTEIN.MDX altogether).
// - The S7 writer gives its MDX tags FOR clauses (.NOT. DELETED(), and .FALSE. for SYMLIST's
//   __OPHIST, which therefore holds no keys although every record has a value); the fixture
//   README's tag list leaves them out.
// - The S7 writer keeps equal keys in descending record order (CHANGELOG LEVEL_TAG: 3,2,1); a
//   cursor follows the file.
// - foxpro/dbd-xbase/rooms.dbf ends its field list with 0x0A instead of 0x0D; it is a 0x03
//   table whose byte 28 flag means its structural .cdx.
// - SYMLIST.DBF carries junk in header bytes 12-19 (byte 15, the dBASE IV encryption flag, is
//   0x9A) while its records are plain: only 0x01 there means encrypted.
// - dBASE 7 'I' fields are 4 bytes big-endian with the sign bit flipped, like Paradox numbers
//   (BDE_TEST_7_*: 80 00 00 6F = 111).
// - VFP timestamps of time-only values sit on 1899-12-30 (calls.dbf CALL_TIME).
// - CDX tags of tables in a VFP database may name the long field names kept in the .DBC
//   ("departmentname" for DEPARTMENT): go-dbase's employees and expense tables.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "tables/engine.h"
#include "tables/error.h"
#include "tests/support/test_support.h"

namespace rf::tables {
namespace {

using test::fixturePath;

// A field value in the forms of the upstream references: text without its trailing padding,
// numbers in their shortest exact form, dates YYYY-MM-DD, logicals T/F, timestamps
// YYYY-MM-DDTHH:MM:SS[.mmm], bytes in hex, blank as "".
std::string cellText(const Value& v, const FieldDef& f) {
  char buf[64];
  switch (v.kind()) {
    case Value::Kind::Blank: return {};
    case Value::Kind::Text: {
      std::string s = v.asText();
      if (f.type == FieldType::Text) {
        auto end = s.find_last_not_of(std::string_view(" \0", 2));
        s.erase(end == std::string::npos ? 0 : end + 1);
      }
      return s;
    }
    case Value::Kind::Number: return formatNumber(v.asNumber());
    case Value::Kind::Logical: return v.asLogical() ? "T" : "F";
    case Value::Kind::Date: return formatDate(v.asDate());
    case Value::Kind::Time: {
      auto ms = v.asTime().ms;
      std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", static_cast<int>(ms / 3600000),
                    static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60),
                    static_cast<int>(ms % 1000));
      return buf;
    }
    case Value::Kind::Timestamp: {
      auto t = v.asTimestamp();
      std::snprintf(buf, sizeof buf, "T%02d:%02d:%02d", static_cast<int>(t.msOfDay / 3600000),
                    static_cast<int>(t.msOfDay / 60000 % 60), static_cast<int>(t.msOfDay / 1000 % 60));
      std::string s = formatDate(t.date) + buf;
      if (t.msOfDay % 1000) {
        std::snprintf(buf, sizeof buf, ".%03d", static_cast<int>(t.msOfDay % 1000));
        s += buf;
      }
      return s;
    }
    case Value::Kind::Bytes: {
      std::string s;
      for (auto b : v.asBytes()) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        s += buf;
      }
      return s;
    }
  }
  return "?";
}

std::string fieldLine(const FieldDef& f) {
  return f.name + " " + f.native + " " + std::to_string(f.width) + " " + std::to_string(f.decimals);
}

struct Row {
  std::size_t ordinal;  // 1-based position among the live records in record order
  std::vector<std::string> cells;
};

struct TableCase {
  const char* name;
  std::vector<std::string> files;  // the table first; companions beside it
  Format format;
  int version;
  std::uint64_t liveRecords;
  int codePage;                     // -1: not asserted
  std::size_t fieldCount;
  std::vector<std::string> fields;  // the first fields, "NAME TYPE WIDTH DECIMALS"
  bool memo;
  std::set<std::string> tags;
  std::vector<std::string> columns;
  std::vector<Row> rows;
};

std::ostream& operator<<(std::ostream& os, const TableCase& c) { return os << c.name; }

const std::string kPetitFours =
    "Our Original assortment...a little taste of heaven for everyone.  Let us\r\n"
    "select a special assortment of our chocolate and pastel favorites for you.\r\n"
    "Each petit four is its own special hand decorated creation. Multi-layers of\r\n"
    "moist cake with combinations of specialty fillings create memorable cake\r\n"
    "confections. Varietes include; Luscious Lemon, Strawberry Hearts, White\r\n"
    "Chocolate, Mocha Bean, Roasted Almond, Triple Chocolate, Chocolate Hazelnut,\r\n"
    "Grand Orange, Plum Squares, Milk chocolate squares, and Raspberry Blanc.";
const std::string kFruitcake =
    "Once tasted you will understand why we won The\r\n"
    "Boston Herald's Fruitcake Taste-off. Judges liked its generous size,\r\n"
    "luscious appearance, moist texture and fruit to cake ratio ... commented one\r\n"
    "judge \"It's a lip Smacker!\" Our signature fruitcake is baked with carefully\r\n"
    "selected ingredients that will be savored until the last moist crumb is\r\n"
    "devoured each golden slice is brimming with Australian glaced apricots,\r\n"
    "toasted pecans, candied orange peel, and currants, folded gently into a\r\n"
    "brandy butter batter and slowly baked to perfection and then generously\r\n"
    "imbibed with \"Holiday Spirits\". Presented in a gift tin.  (3lbs. 4oz)";

const std::vector<TableCase>& tableCases() {
  static const std::vector<TableCase> cases = {
      {"dbd_xbase_test", {"dbase/dbd-xbase/test.dbf", "dbase/dbd-xbase/test.dbt"}, Format::Dbase, 0x83,
       2, -1, 5,
       {"ID N 5 0", "MSG C 254 0", "NOTE M 10 0", "BOOLEAN L 1 0", "DATES D 8 0"}, true, {},
       {"ID", "MSG", "NOTE", "BOOLEAN", "DATES"},
       {{1, {"1", "Record no 1", "This is a memo for record no one", "", "1996-08-13"}},
        {2, {"3", "Message no 3", "This is a memo for record 3", "F", "1996-01-02"}}}},
      {"infused_dbase_03", {"dbase/infused-dbf/dbase_03.dbf"}, Format::Dbase, 0x03, 14, -1, 31,
       {"Point_ID C 12 0", "Type C 20 0", "Shape C 20 0", "Circular_D C 20 0", "Non_circul C 60 0",
        "Flow_prese C 20 0", "Condition C 20 0", "Comments C 60 0", "Date_Visit D 8 0", "Time C 10 0",
        "Max_PDOP N 5 1", "Max_HDOP N 5 1", "Corr_Type C 36 0", "Rcvr_Type C 36 0", "GPS_Date D 8 0",
        "GPS_Time C 10 0", "Update_Sta C 36 0", "Feat_Name C 20 0", "Datafile C 20 0",
        "Unfilt_Pos N 10 0", "Filt_Pos N 10 0", "Data_Dicti C 20 0", "GPS_Week N 6 0",
        "GPS_Second N 12 3", "GPS_Height N 16 3", "Vert_Prec N 16 1", "Horz_Prec N 16 1",
        "Std_Dev N 16 6", "Northing N 16 3", "Easting N 16 3", "Point_ID N 9 0"},
       false, {},
       {"Point_ID", "Type", "Shape", "Date_Visit", "Time", "Max_PDOP", "GPS_Second", "GPS_Height",
        "Std_Dev", "Northing", "Easting"},
       {{1, {"0507121", "CMP", "circular", "2005-07-12", "10:56:30am", "5.2", "226625", "1131.323",
             "0.897088", "557904.898", "2212577.192"}},
        {2, {"0507122", "CMP", "circular", "2005-07-12", "10:57:34am", "4.9", "226670", "1125.142", "",
             "557997.831", "2212576.868"}}}},
      {"infused_dbase_83", {"dbase/infused-dbf/dbase_83.dbf", "dbase/infused-dbf/dbase_83.dbt"},
       Format::Dbase, 0x83, 67, -1, 15,
       {"ID N 19 0", "CATCOUNT N 19 0", "AGRPCOUNT N 19 0", "PGRPCOUNT N 19 0", "ORDER N 19 0",
        "CODE C 50 0", "NAME C 100 0", "THUMBNAIL C 254 0", "IMAGE C 254 0", "PRICE N 13 2",
        "COST N 13 2", "DESC M 10 0", "WEIGHT N 13 2", "TAXABLE L 1 0", "ACTIVE L 1 0"},
       true, {},
       {"ID", "CATCOUNT", "ORDER", "CODE", "NAME", "THUMBNAIL", "PRICE", "COST", "DESC", "WEIGHT",
        "TAXABLE", "ACTIVE"},
       {{1, {"87", "2", "87", "1", "Assorted Petits Fours", "graphics/00000001/t_1.jpg", "0", "0",
             kPetitFours, "5.51", "T", "T"}},
        {10, {"34", "1", "34", "AB01", "Apricot Brandy Fruitcake", "graphics/00000001/t_AB01.jpg",
              "37.95", "37.95", kFruitcake, "0", "F", "T"}}}},
      {"infused_dbase_8b", {"dbase/infused-dbf/dbase_8b.dbf", "dbase/infused-dbf/dbase_8b.dbt"},
       Format::Dbase, 0x8B, 10, -1, 6,
       {"CHARACTER C 100 0", "NUMERICAL N 20 2", "DATE D 8 0", "LOGICAL L 1 0", "FLOAT F 20 18",
        "MEMO M 10 0"},
       true, {}, {"CHARACTER", "NUMERICAL", "DATE", "LOGICAL", "FLOAT", "MEMO"},
       {{1, {"One", "1", "1970-01-01", "T", "1.23456789012346", "First memo\r\n"}},
        {2, {"Two", "2", "1970-12-31", "T", "2", "Second memo"}},
        {3, {"Three", "3", "1980-01-01", "", "3", "Thierd memo"}},
        {4, {"Four", "4", "1900-01-01", "", "4", "Fourth memo"}},
        {5, {"Five", "5", "1900-12-31", "", "5", "Fifth memo"}},
        {6, {"Six", "6", "1901-01-01", "", "6", "Sixth memo"}},
        {7, {"Seven", "7", "1999-12-31", "", "7", "Seventh memo"}},
        {8, {"Eight", "8", "1919-12-31", "", "8", "Eigth memo"}},
        {9, {"Nine", "9", "", "", "", "Nineth memo"}},
        {10, {"Ten records stored in this database", "10", "", "", "0.1", ""}}}},
      {"jdbfdriver_mdx", {"dbase/jdbfdriver/TEST.DBF", "dbase/jdbfdriver/TEST.MDX"}, Format::Dbase, 0x03,
       3, 437, 2, {"TEST1 C 50 0", "TEST2 N 10 0"}, false, {"TEST1", "TEST2"}, {"TEST1", "TEST2"},
       {{1, {"test1", "10"}}, {2, {"test2", "20"}}, {3, {"0test3", "15"}}}},
      {"s7_symlist", {"dbase/siemens-s7/YDBs/15940/SYMLIST.DBF", "dbase/siemens-s7/YDBs/15940/SYMLIST.MDX"},
       Format::Dbase, 0x03, 9, -1, 22,
       {"_ID N 10 0", "_PARID N 10 0", "_CHANGED N 10 0", "_TIME N 10 0", "_STATE N 1 0", "_SKZ C 24 0",
        "_OPIEC C 12 0", "_OPHIST C 12 0"},
       false, {"__ID", "__USKZ", "__SKZ", "__OPIEC", "__OPHIST"},
       {"_ID", "_PARID", "_TIME", "_SKZ", "_OpIEC", "_OPBITO", "_SIGNAL", "_COMMENT"},
       {{1, {"1", "15940", "1505500673", "MultiDimensional Arrays", "DB   3004", "-1", "", ""}},
        {8, {"8", "15940", "1505996954", "GET", "SFB    14", "-1", "", "Read Data From a Remote CPU"}}}},
      {"s7_baustein",
       {"dbase/siemens-s7/ombstx/offline/00000002/BAUSTEIN.DBF",
        "dbase/siemens-s7/ombstx/offline/00000002/BAUSTEIN.DBT",
        "dbase/siemens-s7/ombstx/offline/00000002/BAUSTEIN.MDX"},
       Format::Dbase, 0x8B, 10, -1, 7,
       {"ID N 11 0", "TYP C 5 0", "NUMMER C 5 0", "ATTRIBS C 40 0", "LINKS N 11 0", "UDA M 10 0",
        "SUBBLOCKS M 10 0"},
       true, {"ID_TAG", "TYPNUMBER_"}, {"ID", "TYP", "NUMMER", "LINKS"},
       {{1, {"7", "00014", "03003", "0"}}, {6, {"2", "00010", "03001", "0"}}, {7, {"8", "00014", "03004", "0"}},
        {10, {"11", "00014", "00041", "0"}}}},
      {"s7_siprom", {"dbase/siemens-s7/siprom/SIPROM.DBF", "dbase/siemens-s7/siprom/SIPROM.DBT",
                     "dbase/siemens-s7/siprom/SIPROM.MDX"},
       Format::Dbase, 0x8B, 2, -1, 10, {"OBJTYPE N 11 0", "OBJID N 11 0", "PUNITTYPE N 11 0"}, true,
       {"ID_TAG", "LINK_TAG"}, {"OBJTYPE", "OBJID", "PUNITTYPE", "POBJTYPE", "POBJID", "VERSION"},
       {{1, {"18878722", "1", "0", "1122305", "185", "65536"}},
        {2, {"18878806", "2", "0", "1122305", "185", "65536"}}}},
      {"s7_changelog", {"dbase/siemens-s7/siprom/CHANGELOG.DBF", "dbase/siemens-s7/siprom/CHANGELOG.DBT",
                        "dbase/siemens-s7/siprom/CHANGELOG.MDX"},
       Format::Dbase, 0x8B, 3, -1, 14, {"ID N 10 0", "DATETIME C 24 0", "COMPUTER C 32 0", "USER C 32 0"},
       true, {"ID_TAG", "DATETIME_T", "USER_TAG", "ACTION_TAG", "OBJECTID_T", "LEVEL_TAG"},
       {"ID", "DATETIME", "COMPUTER", "USER", "ACTION", "EVENT", "OBJECTID", "OBJECTPATH", "CAUSE", "LEVEL"},
       {{1, {"1", "42601,6927083333360348", "WIN-O530NBMG6RG", "Win2", "2", "", "1", "Net", "", "0"}},
        {3, {"3", "42601,6927083333360707", "WIN-O530NBMG6RG", "Win2", "13", "", "0", "",
             "\\\\vmware-host\\Shared Folders\\Temp\\UnitTest\\UnitTest.s7p : UnitTest", "0"}}}},
      {"s7_empty_with_tags",
       {"dbase/siemens-s7/XUTILS/listen/XR000001.DBF", "dbase/siemens-s7/XUTILS/listen/XR000001.DBT",
        "dbase/siemens-s7/XUTILS/listen/XR000001.MDX"},
       Format::Dbase, 0x8B, 0, -1, 16, {"ID N 10 0", "OPTYPE C 2 0", "OPACCESS C 2 0"}, true,
       {"TAG_ID", "TAG_USEDOP", "TAG_REXIST", "TAG_BLKTNU"}, {}, {}},
      {"s7_subblk_bulk_memo",
       {"dbase/siemens-s7/ombstx/offline/00000002/SUBBLK.DBF",
        "dbase/siemens-s7/ombstx/offline/00000002/SUBBLK.DBT"},
       Format::Dbase, 0x8B, 41, -1, 25, {"OBJECTID N 11 0", "BLKLANG C 5 0", "SUBBLKTYP C 5 0"}, true, {},
       {"OBJECTID", "BLKLANG", "SUBBLKTYP", "BLKNUMBER", "BLKTOTLEN", "MC5LEN", "SSBLEN"},
       {{1, {"7", "00001", "00018", "03003", "447", "20", "343"}},
        {25, {"8", "00001", "00018", "03004", "109", "20", "5"}}}},
      {"foxpro_afox5", {"foxpro/dbd-xbase/afox5.dbf", "foxpro/dbd-xbase/afox5.FPT"}, Format::FoxPro, 0x30,
       2, 1252, 5, {"ID C 10 0", "PRICE N 11 0", "NAME C 20 0", "DESC M 4 0", "MESSAGE M 4 0"}, true, {},
       {"ID", "PRICE", "NAME", "DESC", "MESSAGE"},
       {{1, {"b20", "10", "John", "first desc.", "first mess."}},
        {2, {"c21", "5", "Bill", "second desc.", "second mess."}}}},
      {"foxpro_rooms_lf_terminator", {"foxpro/dbd-xbase/rooms.dbf", "foxpro/dbd-xbase/rooms.cdx"},
       Format::FoxPro, 0x03, 42, -1, 2, {"ROOMNAME C 10 0", "FACILITY C 10 0"}, false,
       {"AUDIO", "FACILITY", "FILM", "MAIN", "ROOMNAME"}, {"ROOMNAME", "FACILITY"},
       {{1, {" None", ""}}, {2, {"Bay  1", "Main"}}, {41, {"BAY 7", "Main"}}, {42, {"", ""}}}},
      {"vfp_employees", {"foxpro/go-dbase/database/employees.dbf", "foxpro/go-dbase/database/employees.FPT",
                         "foxpro/go-dbase/database/employees.CDX"},
       Format::FoxPro, 0x30, 3, 1252, 16, {"EMPLOYEEID I 4 0", "DEPARTMENT C 50 0"}, true,
       {"DEPARTMENT", "EMAILNAME", "LASTNAME", "POSTALCODE", "PRIMARYKEY"},
       {"EMPLOYEEID", "DEPARTMENT", "LASTNAME", "ADDRESS", "POSTALCODE", "NOTES"},
       {{1, {"1", "Sales", "Davolio", "908 W. Capital Way", "98401", ""}},
        {3, {"3", "Marketing", "Buchanan", "4726 - 11th Ave. N.E.", "98105", ""}}}},
      {"vfp_expense_reports",
       {"foxpro/go-dbase/database/expense reports.dbf", "foxpro/go-dbase/database/expense reports.FPT",
        "foxpro/go-dbase/database/expense reports.CDX"},
       Format::FoxPro, 0x30, 3, 1252, 9, {"EXPENSEREP I 4 0", "EMPLOYEEID I 4 0"}, true,
       {"DATESUBMIT", "EMPLOYEEID", "PRIMARYKEY"},
       {"EXPENSEREP", "EXPENSERPT", "EXPENSERP2", "DATESUBMIT", "ADVANCEAMO", "PAID"},
       {{1, {"1", "Feb. '95 Sales Trip", "Expenses during sales trip.", "1995-03-01T00:00:00", "0", "F"}},
        {3, {"3", "Press Tour '95", "Expenses associated with Press Tour '95.", "1995-04-05T00:00:00",
             "2500", "F"}}}},
      {"vfp_expense_details",
       {"foxpro/go-dbase/database/expense details.dbf", "foxpro/go-dbase/database/expense details.CDX"},
       Format::FoxPro, 0x30, 6, 1252, 6, {"EXPENSEDET I 4 0", "EXPENSEREP I 4 0", "EXPENSECAT I 4 0",
                                          "EXPENSEITE Y 8 4", "EXPENSEIT2 C 50 0", "EXPENSEDAT T 8 0"},
       false, {"EXPENSECAT", "EXPREPID", "PRIMARYKEY"},
       {"EXPENSEDET", "EXPENSECAT", "EXPENSEITE", "EXPENSEIT2", "EXPENSEDAT"},
       {{1, {"1", "2", "431", "Plane ticket", "1995-02-01T00:00:00"}},
        {6, {"6", "4", "750", "Magician for press (entertainment)", "1995-04-05T00:00:00"}}}},
      {"vfp_calls_time_only", {"foxpro/infused-dbf/foxprodb/calls.dbf", "foxpro/infused-dbf/foxprodb/calls.FPT",
                               "foxpro/infused-dbf/foxprodb/calls.CDX"},
       Format::FoxPro, 0x30, 16, 1252, 6, {"CALL_ID I 4 0", "CONTACT_ID I 4 0", "CALL_DATE T 8 0"}, true,
       {"CALL_ID", "CONTACT_ID"}, {"CALL_ID", "CALL_DATE", "CALL_TIME", "SUBJECT", "NOTES"},
       {{1, {"1", "1994-11-21T13:35:39", "1899-12-30T13:35:38.999", "Buy flavored coffees.",
             "Nancy told me about their blends. Thinking about it. Should call back later."}}}},
      {"vfp_payments_nulls",
       {"foxpro/javadbf-xsource/payments.dbf", "foxpro/javadbf-xsource/payments.cdx"}, Format::FoxPro, 0x30, 5,
       1252, 10, {"PAYMENTID I 4 0", "PROJECTID I 4 0", "PAYMENTAMO Y 8 4", "PAYMENTDAT T 8 0"}, false,
       {"PAYMENTMET", "PRIMARYKEY", "PROJECTID"},
       {"PAYMENTID", "PROJECTID", "PAYMENTAMO", "PAYMENTDAT", "CREDITCARD", "CREDITCAR2", "PAYMENTMET"},
       {{1, {"1", "2", "1000", "1995-01-03T00:00:00", "", "", "1"}},
        {2, {"2", "2", "497", "1995-01-23T00:00:00", "", "", "1"}}}},
      {"vfp_autoinc_dbase_31", {"foxpro/infused-dbf/dbase_31.dbf"}, Format::FoxPro, 0x31, 77, 1252, 11,
       {"PRODUCTID I 4 0", "PRODUCTNAM C 40 0", "SUPPLIERID I 4 0", "CATEGORYID I 4 0", "QUANTITYPE C 20 0",
        "UNITPRICE Y 8 4"},
       false, {},
       {"PRODUCTID", "PRODUCTNAM", "SUPPLIERID", "QUANTITYPE", "UNITPRICE", "UNITSINSTO", "DISCONTINU"},
       {{1, {"1", "Chai", "1", "10 boxes x 20 bags", "18", "39", "F"}},
        {3, {"3", "Aniseed Syrup", "1", "12 - 550 ml bottles", "10", "13", "F"}}}},
      {"foxpro2_dbase_f5", {"foxpro/infused-dbf/dbase_f5.dbf", "foxpro/infused-dbf/dbase_f5.fpt"},
       Format::FoxPro, 0xF5, 975, -1, 59, {"NF N 5 0", "SEXE C 1 0", "NOM C 20 0", "COG1 C 15 0"}, true, {},
       {"NF", "SEXE", "NOM", "COG1", "COG2", "DATN", "NFP", "NFM", "DATB"},
       {{1, {"1", "h", "joan-ramon", "ivern", "pinazo", "1951-01-13", "2", "3", ""}},
        {2, {"2", "h", "joan", "ivern", "vives", "1912-12-18", "4", "5", ""}}}},
      {"vfp9_varchar_table", {"foxpro/go-dbase/table/TEST.DBF", "foxpro/go-dbase/table/TEST.FPT"},
       Format::FoxPro, 0x32, 2, 1252, 17, {"PRODUCTID I 4 0", "PRODNAME C 20 0", "PRICE Y 8 4", "DOUBLE B 8 4"},
       true, {},
       {"PRODUCTID", "PRODNAME", "PRICE", "DOUBLE", "DATE", "DATETIME", "INTEGER", "FLOAT", "ACTIVE", "DESC",
        "TAX", "INSTOCK"},
       {{1, {"1", "TEST PRODUCT", "12.3456", "78.9", "2022-04-10", "2022-04-10T00:00:00", "4.56", "123", "T",
             "PRODUCT DESCRIPTION", "19.99", "1"}},
        {2, {"2", "TEST", "12.34", "123.45", "2022-10-10", "2022-10-10T21:04:25.332", "1.23", "123", "T",
             "PRODUCT_DESCRIPTION", "19", "999"}}}},
  };
  return cases;
}

class XbaseFixture : public ::testing::TestWithParam<TableCase> {};

TEST_P(XbaseFixture, OpensWithTheRecordedHeaderFieldsAndValues) {
  const TableCase& c = GetParam();
  Engine engine(test::TempDir().file("engine.conf"));
  auto table = engine.openPath(fixturePath(c.files[0]), std::nullopt, /*readOnly=*/true);

  const TableInfo info = table->info();
  EXPECT_EQ(info.format, c.format);
  EXPECT_EQ(info.version, c.version);
  EXPECT_EQ(info.recordCount, c.liveRecords);
  if (c.codePage >= 0) {
    EXPECT_EQ(info.codePage, c.codePage);
  }
  EXPECT_EQ(!info.memoFile.empty(), c.memo) << info.memoFile;

  const Schema& schema = table->schema();
  EXPECT_EQ(schema.size(), c.fieldCount);  // Visual FoxPro's _NullFlags included
  for (std::size_t i = 0; i < c.fields.size() && i < schema.size(); ++i)
    EXPECT_EQ(fieldLine(schema[i]), c.fields[i]) << "field " << i;

  std::set<std::string> tags;
  for (const auto& ix : table->indexes()) tags.insert(ix.name);
  EXPECT_EQ(tags, c.tags);

  std::vector<int> cols;
  for (const auto& name : c.columns) {
    cols.push_back(schema.find(name));
    ASSERT_GE(cols.back(), 0) << name;
  }
  auto cursor = table->openCursor();
  std::size_t ordinal = 0;
  std::size_t nextRow = 0;
  for (bool on = cursor->first(); on; on = cursor->next()) {
    ++ordinal;
    // Every field of every live record reads, memos included.
    for (std::size_t f = 0; f < schema.size(); ++f)
      EXPECT_NO_THROW(table->get(cursor->record(), static_cast<int>(f))) << "record " << ordinal << " field " << f;
    if (nextRow < c.rows.size() && c.rows[nextRow].ordinal == ordinal) {
      for (std::size_t k = 0; k < cols.size(); ++k) {
        const FieldDef& f = schema[static_cast<std::size_t>(cols[k])];
        EXPECT_EQ(cellText(table->get(cursor->record(), cols[k]), f), c.rows[nextRow].cells[k])
            << "record " << ordinal << " field " << f.name;
      }
      ++nextRow;
    }
  }
  EXPECT_EQ(ordinal, c.liveRecords);
  EXPECT_EQ(nextRow, c.rows.size()) << "not every expected record was reached";
}

INSTANTIATE_TEST_SUITE_P(RealFiles, XbaseFixture, ::testing::ValuesIn(tableCases()),
                         [](const auto& param) { return std::string(param.param.name); });

// The BDE wrote one table as dBASE III, IV and 7 with memo block sizes from 64 to 2048; the
// values are those of BDE_TestData.sql, which filled them.
struct BdeCase {
  const char* name;
  int version;
  int blockSize;
};

std::ostream& operator<<(std::ostream& os, const BdeCase& c) { return os << c.name; }

class BdeFixture : public ::testing::TestWithParam<BdeCase> {};

// The two quoted memo literals of the SQL, in insert order.
std::vector<std::string> sqlMemos() {
  std::ifstream in(fixturePath("dbase/ndbfreaderex-bde/BDE_TestData.sql"));
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string sql = ss.str();
  std::vector<std::string> memos;
  for (std::size_t pos = 0; (pos = sql.find("\">", pos)) != std::string::npos;) {
    std::size_t end = sql.find(">\"", pos + 2);
    memos.push_back(sql.substr(pos + 1, end - pos));
    pos = end + 2;
  }
  return memos;
}

std::string withoutCrLf(std::string s) {
  for (std::size_t p; (p = s.find("\r\n")) != std::string::npos;) s.erase(p, 2);
  return s;
}

TEST_P(BdeFixture, HoldsTheRowsOfTheSqlThatFilledIt) {
  const BdeCase& c = GetParam();
  const std::string base = std::string("dbase/ndbfreaderex-bde/BDE_TEST_") + c.name;
  Engine engine(test::TempDir().file("engine.conf"));
  auto table = engine.openPath(fixturePath(base + ".dbf"), std::nullopt, true);
  const TableInfo info = table->info();
  EXPECT_EQ(info.format, Format::Dbase);
  EXPECT_EQ(info.version, c.version);
  EXPECT_EQ(info.recordCount, 4u);
  EXPECT_FALSE(info.memoFile.empty());

  const std::vector<std::string> memos = sqlMemos();
  ASSERT_EQ(memos.size(), 2u);
  ASSERT_EQ(memos[1].size(), 1170u);  // as the fixture README says
  struct Expected {
    const char* c10;
    Date d;
    bool l;
    double i, n5, n10;
  };
  const Expected rows[] = {{"AAA", test::ymd(2015, 1, 1), true, 111, 1111, 11111.11},
                           {"BBB", test::ymd(2015, 2, 8), false, 222, 2222, 22222.22},
                           {"CCC", test::ymd(2015, 3, 13), false, 333, 3333, 33333.33},
                           {"DDD", test::ymd(2015, 4, 24), false, 444, 4444, 44444.44}};
  auto cursor = table->openCursor();
  int n = 0;
  for (bool on = cursor->first(); on; on = cursor->next(), ++n) {
    ASSERT_LT(n, 4);
    const Record& r = cursor->record();
    const Expected& e = rows[n];
    EXPECT_EQ(cellText(table->get(r, "C10"), table->schema()[0]), e.c10);
    EXPECT_EQ(table->get(r, "D").asDate(), e.d);
    EXPECT_EQ(table->get(r, "L").asLogical(), e.l);
    EXPECT_DOUBLE_EQ(table->get(r, "I").asNumber(), e.i);
    EXPECT_DOUBLE_EQ(table->get(r, "N5").asNumber(), e.n5);
    EXPECT_DOUBLE_EQ(table->get(r, "N10").asNumber(), e.n10);
    const Value memo = table->get(r, "B");
    if (n == 0) {
      EXPECT_EQ(memo.asText(), memos[0]);
    } else if (n == 1) {
      // The BDE broke the long memo into CRLF lines; the characters are the SQL's.
      EXPECT_EQ(withoutCrLf(memo.asText()), memos[1]);
    } else {
      // NULL and the empty string both leave no memo behind.
      EXPECT_TRUE(memo.isBlank() || memo.asText().empty()) << memo.asText();
    }
  }
  EXPECT_EQ(n, 4);
  EXPECT_TRUE(table->check().ok());
}

INSTANTIATE_TEST_SUITE_P(RealFiles, BdeFixture,
                         ::testing::Values(BdeCase{"3_512", 0x83, 512}, BdeCase{"4_512", 0x8B, 512},
                                           BdeCase{"4_64", 0x8B, 64}, BdeCase{"7_64", 0x8C, 64},
                                           BdeCase{"7_1024", 0x8C, 1024}, BdeCase{"7_2048", 0x8C, 2048}),
                         [](const auto& param) { return std::string(param.param.name); });

// Tag orders as physical record numbers (deleted records count), read with Perl's
// XBase::Index from the same files.
struct TagCase {
  const char* name;
  std::string table;
  std::vector<std::uint32_t> deleted;  // physical record numbers of deleted records
  std::string tag;
  std::vector<std::uint32_t> order;
};

std::ostream& operator<<(std::ostream& os, const TagCase& c) { return os << c.name; }

const std::vector<TagCase>& tagCases() {
  static const std::vector<TagCase> cases = {
      {"jdbf_test1_char", "dbase/jdbfdriver/TEST.DBF", {}, "TEST1", {3, 1, 2}},
      {"jdbf_test2_numeric_lower_case_expr", "dbase/jdbfdriver/TEST.DBF", {}, "test2", {1, 3, 2}},
      {"symlist_numeric", "dbase/siemens-s7/YDBs/15940/SYMLIST.DBF", {}, "__ID", {1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"symlist_upper_ltrim_trim", "dbase/siemens-s7/YDBs/15940/SYMLIST.DBF", {}, "__USKZ",
       {2, 9, 7, 5, 8, 4, 3, 1, 6}},
      {"symlist_plain", "dbase/siemens-s7/YDBs/15940/SYMLIST.DBF", {}, "__SKZ", {2, 9, 7, 5, 8, 4, 3, 1, 6}},
      {"symlist_mixed_case_expr", "dbase/siemens-s7/YDBs/15940/SYMLIST.DBF", {}, "__OPIEC",
       {9, 4, 3, 2, 1, 6, 5, 7, 8}},
      {"baustein_unique_numeric", "dbase/siemens-s7/ombstx/offline/00000002/BAUSTEIN.DBF", {7}, "ID_TAG",
       {6, 5, 4, 3, 2, 1, 8, 9, 10, 11}},
      {"baustein_concatenation", "dbase/siemens-s7/ombstx/offline/00000002/BAUSTEIN.DBF", {7}, "TYPNUMBER_",
       {10, 6, 5, 4, 3, 2, 11, 1, 8, 9}},
      {"siprom_str_concatenation", "dbase/siemens-s7/siprom/SIPROM.DBF", {}, "LINK_TAG", {2, 1}},
      {"changelog_equal_keys_descending_recno", "dbase/siemens-s7/siprom/CHANGELOG.DBF", {}, "LEVEL_TAG",
       {3, 2, 1}},
      {"changelog_action", "dbase/siemens-s7/siprom/CHANGELOG.DBF", {}, "ACTION_TAG", {2, 1, 3}},
      {"changelog_objectid", "dbase/siemens-s7/siprom/CHANGELOG.DBF", {}, "OBJECTID_T", {3, 1, 2}},
      {"changelog_empty_tag_of_empty_table", "dbase/siemens-s7/XUTILS/listen/XR000001.DBF", {}, "TAG_USEDOP", {}},
      {"rooms_machine_collation", "foxpro/dbd-xbase/rooms.dbf", {}, "ROOMNAME",
       {42, 1, 23, 40, 41, 2, 4, 8, 9, 5, 7, 11, 10, 6, 13, 3, 14, 15, 16, 17, 26,
        36, 37, 27, 29, 30, 31, 28, 12, 38, 24, 18, 19, 20, 21, 22, 33, 34, 35, 39, 32, 25}},
      {"rooms_facility", "foxpro/dbd-xbase/rooms.dbf", {}, "FACILITY",
       {1, 42, 18, 19, 20, 21, 22, 23, 24, 25, 28, 33, 34, 35, 39, 29, 30, 31, 32, 36, 37,
        2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 26, 27, 38, 40, 41}},
      {"rooms_for_clause", "foxpro/dbd-xbase/rooms.dbf", {}, "AUDIO",
       {23, 28, 24, 18, 19, 20, 21, 22, 33, 34, 35, 39, 25}},
      {"rooms_for_clause_film", "foxpro/dbd-xbase/rooms.dbf", {}, "film", {36, 37, 29, 30, 31, 32}},
      {"vfp_character", "foxpro/go-dbase/database/employees.dbf", {}, "LASTNAME", {3, 1, 2}},
      {"vfp_postalcode", "foxpro/go-dbase/database/employees.dbf", {}, "POSTALCODE", {2, 3, 1}},
      {"vfp_nullable_character", "foxpro/javadbf-xsource/employees.dbf", {}, "EMAILNAME", {2, 3, 5, 4, 1}},
      {"vfp_nullable_integer", "foxpro/javadbf-xsource/payments.dbf", {}, "PROJECTID", {3, 1, 2, 4, 5}},
      {"vfp_one_character_key", "foxpro/javadbf-xsource/foxref_ref.dbf", {}, "REFTYPE",
       {1, 46, 79, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27,
        28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 47, 48, 49, 50, 51, 52, 53, 54,
        55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73, 75, 76, 77, 78, 2, 74}},
  };
  return cases;
}

class XbaseFixtureTag : public ::testing::TestWithParam<TagCase> {};

TEST_P(XbaseFixtureTag, WalksTheTagInTheRecordedOrder) {
  const TagCase& c = GetParam();
  Engine engine(test::TempDir().file("engine.conf"));
  auto table = engine.openPath(fixturePath(c.table), std::nullopt, true);

  // Physical record numbers of the live records, in record order, keyed by bookmark.
  std::map<Bookmark, std::uint32_t> recnoOf;
  auto byRecord = table->openCursor();
  std::uint32_t recno = 0;
  for (bool on = byRecord->first(); on; on = byRecord->next()) {
    do ++recno;
    while (std::find(c.deleted.begin(), c.deleted.end(), recno) != c.deleted.end());
    recnoOf[byRecord->bookmark()] = recno;
  }

  auto cursor = table->openCursor(c.tag);
  std::vector<std::uint32_t> order;
  for (bool on = cursor->first(); on; on = cursor->next()) {
    auto it = recnoOf.find(cursor->bookmark());
    ASSERT_NE(it, recnoOf.end()) << "the tag leads to a record the table does not show";
    order.push_back(it->second);
    ASSERT_LE(order.size(), recnoOf.size() + 1) << "the walk does not end";
  }
  EXPECT_EQ(order, c.order);

  // And backwards from the end.
  std::vector<std::uint32_t> reverse;
  for (bool on = cursor->last(); on; on = cursor->prior()) {
    reverse.insert(reverse.begin(), recnoOf[cursor->bookmark()]);
    ASSERT_LE(reverse.size(), recnoOf.size() + 1);
  }
  EXPECT_EQ(reverse, c.order);
}

INSTANTIATE_TEST_SUITE_P(RealFiles, XbaseFixtureTag, ::testing::ValuesIn(tagCases()),
                         [](const auto& param) { return std::string(param.param.name); });

// Tables of a Visual FoxPro database keep their long field names in the .DBC; tags written over
// those names ("datesubmitted" for the field DATESUBMIT) cannot be evaluated from the table
// alone. They are listed, marked unusable, and a cursor on them is refused.
TEST(XbaseFixtureCheck, TagsOverDatabaseLongNamesAreListedButUnusable) {
  Engine engine(test::TempDir().file("engine.conf"));
  auto table = engine.openPath(fixturePath("foxpro/go-dbase/database/expense reports.dbf"), std::nullopt, true);
  std::map<std::string, bool> usable;
  for (const auto& ix : table->indexes()) usable[ix.name] = ix.usable;
  EXPECT_EQ(usable, (std::map<std::string, bool>{{"DATESUBMIT", false}, {"EMPLOYEEID", true}, {"PRIMARYKEY", false}}));
  try {
    table->openCursor("DATESUBMIT");
    ADD_FAILURE() << "a cursor on an unusable tag";
  } catch (const TableError& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Unsupported) << e.what();
  }
  auto cursor = table->openCursor("EMPLOYEEID");
  int n = 0;
  for (bool on = cursor->first(); on; on = cursor->next()) ++n;
  EXPECT_EQ(n, 3);
}

TEST(XbaseFixtureCheck, FilesWrittenByTheirEnginesCheckClean) {
  for (const char* path :
       {"dbase/jdbfdriver/TEST.DBF", "dbase/siemens-s7/ombstx/offline/00000002/BAUSTEIN.DBF",
        "dbase/siemens-s7/siprom/SIPROM.DBF", "dbase/siemens-s7/siprom/CHANGELOG.DBF",
        "dbase/siemens-s7/XUTILS/listen/XR000001.DBF", "dbase/infused-dbf/dbase_83.dbf",
        "dbase/infused-dbf/dbase_8b.dbf", "foxpro/go-dbase/database/employees.dbf",
        "foxpro/go-dbase/database/expense reports.dbf", "foxpro/javadbf-xsource/foxref_ref.dbf",
        "foxpro/infused-dbf/foxprodb/calls.dbf"}) {
    SCOPED_TRACE(path);
    Engine engine(test::TempDir().file("engine.conf"));
    auto table = engine.openPath(fixturePath(path), std::nullopt, true);
    CheckReport report = table->check();
    EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems.front());
  }
}

TEST(XbaseFixtureCheck, TagsWithForClausesHoldOnlyTheirRecords) {
  Engine engine(test::TempDir().file("engine.conf"));
  auto table = engine.openPath(fixturePath("dbase/siemens-s7/YDBs/15940/SYMLIST.DBF"), std::nullopt, true);
  std::map<std::string, std::string> forOf;
  for (const auto& ix : table->indexes()) forOf[ix.name] = upperAscii(ix.forExpression);
  EXPECT_NE(forOf["__OPHIST"].find(".FALSE."), std::string::npos) << forOf["__OPHIST"];
  EXPECT_NE(forOf["__ID"].find("DELETED()"), std::string::npos) << forOf["__ID"];
  auto cursor = table->openCursor("__OPHIST");
  EXPECT_FALSE(cursor->first());
  EXPECT_TRUE(cursor->eof());
  CheckReport report = table->check();
  EXPECT_TRUE(report.ok()) << (report.problems.empty() ? "" : report.problems.front());
}

// The Visual dBASE 7 sample ships without its .DBT and .MDX although its header announces both:
// the engine either opens it with the right fields or refuses with a message naming the file.
TEST(XbaseFixtureCheck, Dbase7SampleWithoutCompanions) {
  Engine engine(test::TempDir().file("engine.conf"));
  try {
    auto table = engine.openPath(fixturePath("dbase/infused-dbf/dbase_8c.dbf"), std::nullopt, true);
    std::vector<std::string> lines;
    for (const auto& f : table->schema().fields()) lines.push_back(fieldLine(f));
    EXPECT_EQ(lines, (std::vector<std::string>{"ID + 4 0", "Name C 30 0", "Species C 40 0", "Length CM N 20 4",
                                               "Description M 10 0", "OLE Graphic G 10 0"}));
    EXPECT_EQ(table->info().version, 0x8C);
  } catch (const TableError& e) {
    EXPECT_NE(std::string(e.what()).find("dbase_8c"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace rf::tables
