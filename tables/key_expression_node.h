#pragma once
// The parsed form of an xBase key or FOR expression, shared by the parser and the evaluator.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tables/key_expression.h"
#include "tables/schema.h"

namespace rf::tables {

// One node of a parsed expression. `type` is the result type: 'C' text (up to `length` bytes),
// 'N' number, 'D' date (a Julian day, 0 when blank), 'L' logical.
struct KeyExpression::Node {
  enum class Op {
    Field, Text, Number, Logical, Deleted,
    Upper, Ltrim, Rtrim, Alltrim, Str, Dtos, Concat,
    Compare, And, Or, Not,
  };
  enum class Cmp { Eq, Exact, Ne, Lt, Gt, Le, Ge };

  Op op = Op::Text;
  char type = 'C';
  int length = 0;
  // Field
  int field = -1;
  FieldType fieldType = FieldType::Text;
  char native = 'C';
  bool level7 = false;  // a dBASE 7 table: its I fields are big-endian with the sign flipped
  // literals
  std::string text;
  double number = 0;
  bool flag = false;
  // STR(n, len, dec)
  int strLength = 10;
  int strDecimals = 0;
  Cmp cmp = Cmp::Eq;
  std::vector<std::unique_ptr<Node>> kids;
};

// Parses `text` against `schema`; throws Unsupported (naming the expression) or InvalidInput
// for an unknown field.
std::unique_ptr<KeyExpression::Node> parseKeyExpression(std::string_view text, const Schema& schema, bool level7);

}  // namespace rf::tables
