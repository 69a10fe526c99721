#pragma once
// xBase index key expressions: parsing, and evaluation on a record to the value an index stores.
// Supported: a field, fields joined with '+', UPPER(), LTRIM(), TRIM()/RTRIM(), STR(n[,len[,dec]]),
// DTOS(); FOR expressions built from those with = == <> != # < > <= >=, .AND. .OR. .NOT.,
// string and number literals and DELETED(). Anything else throws Unsupported: the tag is then
// listed, but using or updating it is refused.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tables/schema.h"

namespace rf::tables {

class CodePage;

// The key of one record before a format encodes it. Text keys are in the file's code page,
// padded with spaces to the key length.
struct KeyValue {
  char type = 'C';  // 'C' text, 'N' number, 'D' date (number holds the Julian day)
  std::string text;
  double number = 0;
  bool operator==(const KeyValue&) const = default;
};

// Reads raw field bytes of a record image (what the expression needs).
class RecordFields {
 public:
  virtual ~RecordFields() = default;
  virtual std::string_view raw(int field) const = 0;  // the field's bytes in the record
  virtual bool deleted() const = 0;
};

class KeyExpression {
 public:
  // Throws Unsupported (with the expression in the message) or InvalidInput for an unknown field.
  // `level7`: the table is a dBASE 7 one, whose I fields are big-endian with the sign bit
  // flipped (FoxPro's are little-endian); + O @ fields are dBASE 7's whatever the flag.
  static KeyExpression parse(std::string_view text, const Schema& schema, bool level7 = false);
  KeyExpression(KeyExpression&&) noexcept;
  KeyExpression& operator=(KeyExpression&&) noexcept;
  ~KeyExpression();

  char type() const;      // 'C', 'N' or 'D'; 'L' for a logical (FOR) expression
  int length() const;     // text key length in bytes (8 for D as DTOS text; 0 for N/D)
  // Fields of the '+' terms when every term is a plain field, UPPER(field), STR(field,...) or
  // DTOS(field), in order; empty otherwise.
  const std::vector<int>& termFields() const;

  // Throws Unsupported for a logical expression (dBASE and FoxPro don't index those).
  KeyValue evaluate(const RecordFields& rec, const CodePage& cp) const;
  // A FOR expression: whether the record belongs in the tag. Throws InvalidInput when the
  // expression is not logical.
  bool test(const RecordFields& rec, const CodePage& cp) const;
  // The key made of only the first `terms` '+' terms (a prefix of the full key, unpadded), for
  // seeks and ranges on the leading fields. terms >= the term count gives evaluate().
  KeyValue evaluateLeading(const RecordFields& rec, int terms, const CodePage& cp) const;
  int termCount() const;
  const std::string& text() const { return text_; }

  struct Node;

 private:
  KeyExpression(std::unique_ptr<Node> root, std::string text);
  std::unique_ptr<Node> root_;
  std::vector<int> termFields_;
  std::string text_;
};

}  // namespace rf::tables
