#include "tests/support/xbase_builders.h"

namespace rf::test {

using namespace tables;

FieldDef field(const std::string& name, FieldType type, int width, int decimals) {
  FieldDef f;
  f.name = name;
  f.type = type;
  f.width = width;
  f.decimals = decimals;
  f.native = 0;
  return f;
}

TableDef piecesDef(Format format, int version) {
  TableDef d;
  d.format = format;
  d.version = version;
  d.fields = {field("CODE", FieldType::Text, 8),       field("NAME", FieldType::Text, 20),
              field("QTY", FieldType::Number, 8, 2),   field("BOUGHT", FieldType::Date),
              field("RUNS", FieldType::Logical),       field("NOTES", FieldType::Memo)};
  d.indexes = {{"CODE", "CODE", {}, false, false},
               {"QTY", "QTY", {}, false, false},
               {"NAMEQTY", "UPPER(NAME)+STR(QTY,8,2)", {}, false, false}};
  return d;
}

}  // namespace rf::test
