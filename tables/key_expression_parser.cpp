// The parser of xBase key and FOR expressions: tokens, precedence (.OR. < .AND. < .NOT. <
// comparisons < '+'), and the type of every node, checked as it is built.

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "tables/error.h"
#include "tables/key_expression_node.h"

namespace rf::tables {

namespace {

using Node = KeyExpression::Node;
using Op = Node::Op;


enum class Tok { End, Ident, String, Number, Dot, LParen, RParen, Comma, Plus, Relation, Bang };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // identifier / dot word (upper case), string contents, operator
  double number = 0;
};

class Parser {
 public:
  Parser(std::string_view src, const Schema& schema, bool level7) : src_(src), schema_(schema), level7_(level7) {
    advance();
  }

  std::unique_ptr<Node> parseAll() {
    auto n = parseOr();
    if (tok_.kind != Tok::End) fail("unexpected '" + tok_.text + "'");
    return n;
  }

 private:
  [[noreturn]] void fail(const std::string& why) const {
    throwError(ErrorKind::Unsupported, {},
               "Unsupported index expression \"" + std::string(src_) + "\": " + why);
  }

  void advance() {
    while (pos_ < src_.size() && std::isspace(static_cast<unsigned char>(src_[pos_]))) ++pos_;
    tok_ = Token{};
    if (pos_ >= src_.size()) return;
    char c = src_[pos_];
    auto isIdent = [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'; };
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::size_t start = pos_;
      while (pos_ < src_.size() && isIdent(src_[pos_])) ++pos_;
      tok_.kind = Tok::Ident;
      tok_.text = upperAscii(src_.substr(start, pos_ - start));
      return;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) ||
        (c == '.' && pos_ + 1 < src_.size() && std::isdigit(static_cast<unsigned char>(src_[pos_ + 1])))) {
      std::size_t start = pos_;
      while (pos_ < src_.size() && (std::isdigit(static_cast<unsigned char>(src_[pos_])) || src_[pos_] == '.')) ++pos_;
      tok_.kind = Tok::Number;
      tok_.text = std::string(src_.substr(start, pos_ - start));
      char* end = nullptr;
      tok_.number = std::strtod(tok_.text.c_str(), &end);
      if (end != tok_.text.c_str() + tok_.text.size()) fail("bad number " + tok_.text);
      return;
    }
    if (c == '.') {
      std::size_t close = src_.find('.', pos_ + 1);
      if (close == std::string_view::npos) fail("stray '.'");
      tok_.kind = Tok::Dot;
      tok_.text = upperAscii(src_.substr(pos_ + 1, close - pos_ - 1));
      pos_ = close + 1;
      return;
    }
    if (c == '\'' || c == '"' || c == '[') {
      char closeCh = c == '[' ? ']' : c;
      std::size_t close = src_.find(closeCh, pos_ + 1);
      if (close == std::string_view::npos) fail("unterminated string");
      tok_.kind = Tok::String;
      tok_.text = std::string(src_.substr(pos_ + 1, close - pos_ - 1));
      pos_ = close + 1;
      return;
    }
    auto two = src_.substr(pos_, 2);
    if (two == "==" || two == "<>" || two == "!=" || two == "<=" || two == ">=") {
      tok_.kind = Tok::Relation;
      tok_.text = std::string(two);
      pos_ += 2;
      return;
    }
    ++pos_;
    tok_.text = std::string(1, c);
    switch (c) {
      case '(': tok_.kind = Tok::LParen; return;
      case ')': tok_.kind = Tok::RParen; return;
      case ',': tok_.kind = Tok::Comma; return;
      case '+': tok_.kind = Tok::Plus; return;
      case '!': tok_.kind = Tok::Bang; return;
      case '=': case '<': case '>': case '#': tok_.kind = Tok::Relation; return;
      default: fail(std::string("unexpected '") + c + "'");
    }
  }

  void expect(Tok kind, const char* what) {
    if (tok_.kind != kind) fail(std::string("expected ") + what);
    advance();
  }

  static std::unique_ptr<Node> make(Op op, char type, int length = 0) {
    auto n = std::make_unique<Node>();
    n->op = op;
    n->type = type;
    n->length = length;
    return n;
  }

  void requireType(const Node& n, char type, const char* what) const {
    if (n.type != type) fail(std::string(what) + " needs a " + typeName(type) + " argument");
  }

  static const char* typeName(char t) {
    switch (t) {
      case 'C': return "character";
      case 'N': return "numeric";
      case 'D': return "date";
      default: return "logical";
    }
  }

  std::unique_ptr<Node> binary(Op op, std::unique_ptr<Node> a, std::unique_ptr<Node> b) {
    requireType(*a, 'L', op == Op::And ? ".AND." : ".OR.");
    requireType(*b, 'L', op == Op::And ? ".AND." : ".OR.");
    auto n = make(op, 'L');
    n->kids.push_back(std::move(a));
    n->kids.push_back(std::move(b));
    return n;
  }

  std::unique_ptr<Node> parseOr() {
    auto left = parseAnd();
    while (tok_.kind == Tok::Dot && tok_.text == "OR") {
      advance();
      left = binary(Op::Or, std::move(left), parseAnd());
    }
    return left;
  }

  std::unique_ptr<Node> parseAnd() {
    auto left = parseNot();
    while (tok_.kind == Tok::Dot && tok_.text == "AND") {
      advance();
      left = binary(Op::And, std::move(left), parseNot());
    }
    return left;
  }

  std::unique_ptr<Node> parseNot() {
    if ((tok_.kind == Tok::Dot && tok_.text == "NOT") || tok_.kind == Tok::Bang) {
      advance();
      auto inner = parseNot();
      requireType(*inner, 'L', ".NOT.");
      auto n = make(Op::Not, 'L');
      n->kids.push_back(std::move(inner));
      return n;
    }
    return parseComparison();
  }

  std::unique_ptr<Node> parseComparison() {
    auto left = parseConcat();
    if (tok_.kind != Tok::Relation) return left;
    static const struct {
      const char* text;
      Node::Cmp cmp;
    } ops[] = {{"=", Node::Cmp::Eq},  {"==", Node::Cmp::Exact}, {"<>", Node::Cmp::Ne},
               {"!=", Node::Cmp::Ne}, {"#", Node::Cmp::Ne},     {"<", Node::Cmp::Lt},
               {">", Node::Cmp::Gt},  {"<=", Node::Cmp::Le},    {">=", Node::Cmp::Ge}};
    Node::Cmp cmp = Node::Cmp::Eq;
    for (const auto& o : ops)
      if (tok_.text == o.text) cmp = o.cmp;
    std::string opText = tok_.text;
    advance();
    auto right = parseConcat();
    if (left->type != right->type) fail("'" + opText + "' compares different types");
    if (left->type == 'L' && cmp != Node::Cmp::Eq && cmp != Node::Cmp::Exact && cmp != Node::Cmp::Ne)
      fail("'" + opText + "' does not order logical values");
    auto n = make(Op::Compare, 'L');
    n->cmp = cmp;
    n->kids.push_back(std::move(left));
    n->kids.push_back(std::move(right));
    return n;
  }

  std::unique_ptr<Node> parseConcat() {
    auto first = parsePrimary();
    if (tok_.kind != Tok::Plus) return first;
    if (first->type != 'C') fail("'+' joins character values only");
    auto n = make(Op::Concat, 'C', first->length);
    n->kids.push_back(std::move(first));
    while (tok_.kind == Tok::Plus) {
      advance();
      auto term = parsePrimary();
      if (term->type != 'C') fail("'+' joins character values only");
      n->length += term->length;
      n->kids.push_back(std::move(term));
    }
    return n;
  }

  std::unique_ptr<Node> parsePrimary() {
    switch (tok_.kind) {
      case Tok::String: {
        auto n = make(Op::Text, 'C', static_cast<int>(tok_.text.size()));
        n->text = tok_.text;
        advance();
        return n;
      }
      case Tok::Number: {
        auto n = make(Op::Number, 'N');
        n->number = tok_.number;
        advance();
        return n;
      }
      case Tok::Dot: {
        const std::string& w = tok_.text;
        // dBASE's four, and the .FALSE. a siemens-s7 writer put in the FOR clause of a tag it
        // keeps empty: refusing it would leave that whole table read-only.
        if (w == "T" || w == "F" || w == "Y" || w == "N" || w == "TRUE" || w == "FALSE") {
          auto n = make(Op::Logical, 'L');
          n->flag = w == "T" || w == "Y" || w == "TRUE";
          advance();
          return n;
        }
        fail("unexpected ." + w + ".");
      }
      case Tok::LParen: {
        advance();
        auto n = parseOr();
        expect(Tok::RParen, "')'");
        return n;
      }
      case Tok::Ident: {
        std::string name = tok_.text;
        advance();
        if (tok_.kind == Tok::LParen) return parseCall(name);
        return fieldNode(name);
      }
      default:
        fail(tok_.kind == Tok::End ? "expression ends early" : "unexpected '" + tok_.text + "'");
    }
  }

  std::unique_ptr<Node> fieldNode(const std::string& name) {
    int i = schema_.find(name);
    if (i < 0)
      throwError(ErrorKind::InvalidInput, {},
                 "Unknown field " + name + " in index expression \"" + std::string(src_) + "\"");
    const FieldDef& f = schema_[static_cast<std::size_t>(i)];
    char type = 0;
    switch (f.type) {
      case FieldType::Text: type = 'C'; break;
      case FieldType::Number: type = (f.native == 'N' || f.native == 'F' || f.native == 'B' || f.native == 'O') ? 'N' : 0; break;
      case FieldType::Integer: type = f.native == 'I' ? 'N' : 0; break;
      case FieldType::Money: type = f.native == 'Y' ? 'N' : 0; break;
      case FieldType::AutoIncrement: type = f.native == '+' ? 'N' : 0; break;
      case FieldType::Date: type = 'D'; break;
      case FieldType::Timestamp: type = (f.native == 'T' || f.native == '@') ? 'D' : 0; break;
      case FieldType::Logical: type = 'L'; break;
      default: break;
    }
    if (type == 0) fail("field " + f.name + " has a type that cannot be indexed here");
    auto n = make(Op::Field, type, type == 'C' ? f.width : 0);
    n->field = i;
    n->fieldType = f.type;
    n->native = f.native;
    n->level7 = level7_;
    return n;
  }

  int integerArgument(const char* what) {
    expect(Tok::Comma, "','");
    if (tok_.kind != Tok::Number || tok_.number != std::floor(tok_.number) || tok_.number < 0 ||
        tok_.number > 255)
      fail(std::string(what) + " must be a whole number");
    int v = static_cast<int>(tok_.number);
    advance();
    return v;
  }

  std::unique_ptr<Node> parseCall(const std::string& name) {
    advance();  // '('
    if (name == "DELETED") {
      expect(Tok::RParen, "')'");
      return make(Op::Deleted, 'L');
    }
    Op op;
    if (name == "UPPER") op = Op::Upper;
    else if (name == "LTRIM") op = Op::Ltrim;
    else if (name == "TRIM" || name == "RTRIM") op = Op::Rtrim;
    else if (name == "ALLTRIM") op = Op::Alltrim;
    else if (name == "STR") op = Op::Str;
    else if (name == "DTOS") op = Op::Dtos;
    else fail("function " + name + "() is not supported");
    auto arg = parseOr();
    std::unique_ptr<Node> n;
    if (op == Op::Str) {
      requireType(*arg, 'N', "STR()");
      int len = 10, dec = 0;
      if (tok_.kind == Tok::Comma) {
        len = integerArgument("STR() length");
        if (tok_.kind == Tok::Comma) dec = integerArgument("STR() decimals");
      }
      if (len < 1) fail("STR() length must be at least 1");
      n = make(op, 'C', len);
      n->strLength = len;
      n->strDecimals = dec;
    } else if (op == Op::Dtos) {
      requireType(*arg, 'D', "DTOS()");
      n = make(op, 'C', 8);
    } else {
      requireType(*arg, 'C', (name + "()").c_str());
      n = make(op, 'C', arg->length);
    }
    n->kids.push_back(std::move(arg));
    expect(Tok::RParen, "')'");
    return n;
  }

  std::string_view src_;
  const Schema& schema_;
  bool level7_;
  std::size_t pos_ = 0;
  Token tok_;
};

}  // namespace

std::unique_ptr<KeyExpression::Node> parseKeyExpression(std::string_view text, const Schema& schema, bool level7) {
  return Parser(text, schema, level7).parseAll();
}

}  // namespace rf::tables
