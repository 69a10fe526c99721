// Whether a memo or blob field holds a value, answered from the record without reading the
// memo or blob file: the same answer as reading the value, for every family.
#include <gtest/gtest.h>

#include <filesystem>

#include "tables/engine.h"
#include "tests/support/test_support.h"
#include "tests/support/xbase_builders.h"

using namespace rf::tables;
using rf::test::TempDir;

namespace {

TableDef paradoxDef() {
  TableDef def;
  def.format = Format::Paradox;
  def.version = 7;
  def.primaryKeyFields = 1;
  auto add = [&](const char* name, FieldType type, char native, int width) {
    FieldDef f;
    f.name = name;
    f.type = type;
    f.native = native;
    f.width = width;
    def.fields.push_back(f);
  };
  add("Id", FieldType::Integer, 'I', 0);
  add("Notes", FieldType::Memo, 'M', 11);  // one byte of leader besides the descriptor
  add("Photo", FieldType::Binary, 'B', 10);
  return def;
}

TEST(HasValue, AgreesWithTheValueWithoutReadingTheBlobFile) {
  struct Case {
    const char* what;
    std::string file;
    TableDef def;
    const char* memo;
    const char* binary;  // null: the family has no binary field in this table
  };
  const Case cases[] = {
      {"paradox", "T.DB", paradoxDef(), "Notes", "Photo"},
      {"dbase", "t.dbf", rf::test::piecesDef(Format::Dbase, 0x83), "NOTES", nullptr},
      {"foxpro", "t.dbf", rf::test::piecesDef(Format::FoxPro, 0xF5), "NOTES", nullptr},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    TempDir dir;
    Engine engine(dir.file("engine.conf"));
    auto t = engine.create(dir.file(k.file), k.def);
    const int memo = t->schema().require(k.memo, t->path());
    const int binary = k.binary ? t->schema().require(k.binary, t->path()) : -1;
    // Blank; a memo short enough for the leader; a long memo and a large blob in the file.
    const std::string longText(5000, 'x');
    const std::vector<std::pair<std::string, std::size_t>> rows = {{"", 0}, {"a", 0}, {longText, 300000}};
    int id = 0;
    for (const auto& [text, bytes] : rows) {
      Record r = t->blankRecord();
      if (k.def.format == Format::Paradox) t->set(r, "Id", Value::number(++id));
      if (!text.empty()) t->set(r, memo, Value::text(text));
      if (binary >= 0 && bytes) t->set(r, binary, Value::bytes(Bytes(bytes, 0x42)));
      // A value assigned and not yet saved counts too.
      EXPECT_EQ(t->hasValue(r, memo), !text.empty());
      t->insert(r);
    }
    auto c = t->openCursor();
    std::size_t i = 0;
    for (bool ok = c->first(); ok; ok = c->next(), ++i) {
      ASSERT_LT(i, rows.size());
      EXPECT_EQ(t->hasValue(c->record(), memo), !t->get(c->record(), memo).isBlank()) << i;
      if (binary >= 0) {
        EXPECT_EQ(t->hasValue(c->record(), binary), rows[i].second != 0) << i;
      }
    }
    EXPECT_EQ(i, rows.size());
  }
}

}  // namespace
