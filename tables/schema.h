#pragma once
// Fields and indexes of a table, independent of the file format.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rf::tables {

enum class Format { Dbase, FoxPro, Paradox };

// Type names double as value kinds elsewhere; the clash is harmless inside the enum's scope.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
enum class FieldType {
  Text,           // dBASE C, Paradox Alpha: fixed width, cut to the width
  Number,         // dBASE N/F, FoxPro B (double), Paradox Number: a double
  Integer,        // FoxPro I, Paradox Short/Long
  Money,          // FoxPro Y, Paradox Money: currency held as a double
  Logical,        // L
  Date,           // D
  Time,           // Paradox Time
  Timestamp,      // FoxPro T, Paradox Timestamp
  AutoIncrement,  // Paradox +, dBASE 7 +
  Bcd,            // Paradox #
  Bytes,          // Paradox Y: fixed-length raw bytes
  Memo,           // text of any length in the memo/blob file
  Binary,         // bytes of any length in the memo/blob file (binary, graphic, OLE, general)
  NullFlags,      // the hidden _NullFlags field of Visual FoxPro
};
#pragma GCC diagnostic pop

struct FieldDef {
  std::string name;          // as stored
  FieldType type = FieldType::Text;
  char native = 'C';         // the file's own type letter (Paradox: the letter of its type)
  int width = 0;             // characters for text; bytes in the record otherwise
  int decimals = 0;
  std::uint32_t offset = 0;  // byte offset inside the record image
  bool nullable = false;     // Visual FoxPro nullable
  bool binaryText = false;   // Visual FoxPro "binary" flag: no code page conversion
};

// Case-insensitive ASCII comparison, the rule for field, index and file names.
bool equalsNoCase(std::string_view a, std::string_view b);
std::string upperAscii(std::string_view s);

class Schema {
 public:
  Schema() = default;
  explicit Schema(std::vector<FieldDef> fields) : fields_(std::move(fields)) {}

  const std::vector<FieldDef>& fields() const { return fields_; }
  std::size_t size() const { return fields_.size(); }
  const FieldDef& operator[](std::size_t i) const { return fields_[i]; }
  // Index of the field named `name` regardless of case, or -1.
  int find(std::string_view name) const;
  // As find(), but throws NotFound naming `table`.
  int require(std::string_view name, const std::string& table) const;

 private:
  std::vector<FieldDef> fields_;
};

struct IndexInfo {
  std::string name;             // tag name, secondary index name; "" for the Paradox primary key
  std::string file;             // the file that holds it
  std::string expression;       // key expression as stored (dBASE/FoxPro); field names (Paradox)
  std::string forExpression;    // filter expression, empty when none
  std::vector<int> fields;      // fields whose values form the key, leading first, when known
  bool primary = false;
  bool unique = false;
  bool descending = false;
  bool usable = true;           // false when the engine cannot evaluate or keep it
  std::string problem;          // why it is not usable
};

// What a new table is made of.
struct IndexDef {
  std::string name;        // tag or secondary index name
  std::string expression;  // dBASE/FoxPro key expression; Paradox: unused
  std::vector<std::string> fields;  // Paradox: the fields; dBASE/FoxPro: unused
  bool unique = false;
  bool descending = false;
};

struct TableDef {
  Format format = Format::Dbase;
  int version = 0;                     // file version; 0 picks the family's default
  std::vector<FieldDef> fields;        // name, type/native, width, decimals
  std::vector<IndexDef> indexes;       // dBASE MDX tags, FoxPro CDX tags, Paradox secondaries
  int primaryKeyFields = 0;            // Paradox: the first N fields form the primary key
  std::string indexFile;               // FoxPro: a separately named .cdx (empty: structural)
  int codePage = 1252;
};

}  // namespace rf::tables
