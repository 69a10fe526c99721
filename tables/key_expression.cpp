#include "tables/key_expression.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tables/codepage.h"
#include "tables/error.h"
#include "tables/key_expression_node.h"
#include "tables/value.h"

namespace rf::tables {

namespace {

using Node = KeyExpression::Node;
using Op = Node::Op;

struct Val {
  char type = 'C';
  std::string text;
  double number = 0;
  bool flag = false;
};

// ---- raw field decoding ----

std::uint32_t le32(std::string_view b) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[3])) << 24;
}

std::uint64_t le64(std::string_view b) {
  return static_cast<std::uint64_t>(le32(b)) | static_cast<std::uint64_t>(le32(b.substr(4))) << 32;
}

// Right-justified ASCII; blank or unreadable text counts as 0, as in dBASE.
double asciiNumber(std::string_view raw) {
  char buf[64];
  std::size_t n = 0;
  for (char c : raw) {
    if (c == ' ' || c == '\0') continue;
    if (n + 1 >= sizeof buf) return 0;
    buf[n++] = c == ',' ? '.' : c;
  }
  if (n == 0) return 0;
  buf[n] = '\0';
  char* end = nullptr;
  double v = std::strtod(buf, &end);
  if (end != buf + n || !std::isfinite(v)) return 0;
  return v;
}

// "YYYYMMDD" to a Julian day; 0 for blank or an impossible date.
double dateDay(std::string_view raw) {
  if (raw.size() < 8) return 0;
  int parts[3] = {0, 0, 0};
  const int widths[3] = {4, 2, 2};
  std::size_t pos = 0;
  for (int p = 0; p < 3; ++p) {
    for (int i = 0; i < widths[p]; ++i, ++pos) {
      char c = raw[pos];
      if (c < '0' || c > '9') return 0;
      parts[p] = parts[p] * 10 + (c - '0');
    }
  }
  Date d{std::chrono::year{parts[0]}, std::chrono::month{static_cast<unsigned>(parts[1])},
         std::chrono::day{static_cast<unsigned>(parts[2])}};
  if (!d.ok()) return 0;
  return static_cast<double>(julianDay(d));
}

std::uint32_t be32(std::string_view b) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u = u << 8 | static_cast<unsigned char>(b[static_cast<std::size_t>(i)]);
  return u;
}

std::uint64_t be64(std::string_view b) {
  std::uint64_t u = 0;
  for (int i = 0; i < 8; ++i) u = u << 8 | static_cast<unsigned char>(b[static_cast<std::size_t>(i)]);
  return u;
}

// dBASE 7 doubles: big-endian, the sign bit set for values >= 0 and every bit inverted for
// negative ones; all zero bytes are blank.
double flippedDouble(std::string_view b) {
  std::uint64_t u = be64(b);
  if (u == 0) return 0;
  u = (u & (1ull << 63)) ? (u ^ (1ull << 63)) : ~u;
  double d;
  std::memcpy(&d, &u, sizeof d);
  return std::isfinite(d) ? d : 0;
}

Val fieldValue(const Node& n, const RecordFields& rec) {
  std::string_view raw = rec.raw(n.field);
  Val v;
  v.type = n.type;
  switch (n.type) {
    case 'C':
      v.text.assign(raw);
      break;
    case 'L':
      v.flag = !raw.empty() && (raw[0] == 'T' || raw[0] == 't' || raw[0] == 'Y' || raw[0] == 'y');
      break;
    case 'D':
      if (n.native == 'T' && raw.size() >= 8) {
        auto day = static_cast<std::int32_t>(le32(raw));
        auto ms = static_cast<std::int32_t>(le32(raw.substr(4)));
        v.number = day == 0 ? 0 : day + ms / 86400000.0;
      } else if (n.native == '@' && raw.size() >= 8) {
        // Milliseconds with 0001-01-01 as day 1.
        double ms = flippedDouble(raw);
        v.number = ms == 0 ? 0 : ms / 86400000.0 + 1721425;
      } else {
        v.number = dateDay(raw);
      }
      break;
    case 'N':
      if ((n.native == '+' || (n.native == 'I' && n.level7)) && raw.size() >= 4) {
        v.number = static_cast<std::int32_t>(be32(raw) ^ 0x80000000u);
      } else if (n.native == 'I' && raw.size() >= 4) {
        v.number = static_cast<std::int32_t>(le32(raw));
      } else if (n.native == 'O' && raw.size() >= 8) {
        v.number = flippedDouble(raw);
      } else if (n.native == 'B' && raw.size() >= 8) {
        std::uint64_t bits = le64(raw);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        v.number = std::isfinite(d) ? d : 0;
      } else if (n.native == 'Y' && raw.size() >= 8) {
        v.number = static_cast<double>(static_cast<std::int64_t>(le64(raw))) / 10000.0;
      } else {
        v.number = asciiNumber(raw);
      }
      break;
  }
  return v;
}

// ---- STR() ----

// `v` rounded half away from zero to `dec` decimals, in decimal (the field held decimal text,
// so 2.675 must round up as dBASE does, not down as its binary double would).
std::string fixedDecimal(double v, int dec) {
  bool negative = v < 0;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(v));
  // buf: d.dddddddddddddde[+-]XX
  std::string digits;
  digits += buf[0];
  digits.append(buf + 2, 14);
  int exp10 = std::atoi(buf + 17);
  int intDigits = exp10 + 1;  // digits before the point
  int keep = intDigits + dec;
  if (keep < 0) {
    digits.clear();
  } else if (keep < static_cast<int>(digits.size())) {
    bool up = digits[static_cast<std::size_t>(keep)] >= '5';
    digits.resize(static_cast<std::size_t>(keep));
    if (up) {
      int i = keep - 1;
      for (; i >= 0; --i) {
        if (digits[static_cast<std::size_t>(i)] == '9') {
          digits[static_cast<std::size_t>(i)] = '0';
        } else {
          ++digits[static_cast<std::size_t>(i)];
          break;
        }
      }
      if (i < 0) {
        digits.insert(digits.begin(), '1');
        ++intDigits;
      }
    }
  }
  // Place the point: pad with zeros on either side as needed.
  while (static_cast<int>(digits.size()) < intDigits + dec) digits += '0';
  std::string intPart, fracPart;
  if (intDigits > 0) {
    intPart = digits.substr(0, static_cast<std::size_t>(intDigits));
    fracPart = digits.substr(static_cast<std::size_t>(intDigits));
  } else {
    intPart = "0";
    fracPart = std::string(static_cast<std::size_t>(-intDigits), '0') + digits;
  }
  fracPart.resize(static_cast<std::size_t>(dec), '0');
  std::size_t lead = intPart.find_first_not_of('0');
  intPart = lead == std::string::npos ? "0" : intPart.substr(lead);
  bool zero = intPart == "0" && fracPart.find_first_not_of('0') == std::string::npos;
  std::string out = (negative && !zero) ? "-" + intPart : intPart;
  if (dec > 0) out += "." + fracPart;
  return out;
}

// dBASE STR(): right-justified in `len`; decimals give way before the number overflows into
// asterisks.
std::string strOf(double v, int len, int dec) {
  if (!std::isfinite(v)) return std::string(static_cast<std::size_t>(len), '*');
  for (int d = dec; d >= 0; --d) {
    std::string s = fixedDecimal(v, d);
    if (static_cast<int>(s.size()) <= len)
      return std::string(static_cast<std::size_t>(len) - s.size(), ' ') + s;
  }
  return std::string(static_cast<std::size_t>(len), '*');
}

std::string dtosOf(double day) {
  if (day <= 0) return std::string(8, ' ');
  Date d = civilFromDays(static_cast<std::int64_t>(day) - 1721425);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02u%02u", static_cast<int>(d.year()),
                static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()));
  return std::string(buf, 8);
}

// dBASE's '=' with SET EXACT OFF: the left side starts with the right side.
int compareText(std::string_view a, std::string_view b) {
  std::size_t n = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    auto ca = static_cast<unsigned char>(i < a.size() ? a[i] : ' ');
    auto cb = static_cast<unsigned char>(i < b.size() ? b[i] : ' ');
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return 0;
}

bool compareValues(Node::Cmp cmp, const Val& a, const Val& b) {
  if (a.type == 'C') {
    switch (cmp) {
      case Node::Cmp::Eq: return a.text.compare(0, b.text.size(), b.text) == 0;
      case Node::Cmp::Ne: return a.text.compare(0, b.text.size(), b.text) != 0;
      case Node::Cmp::Exact: return a.text == b.text;  // trailing blanks count
      case Node::Cmp::Lt: return compareText(a.text, b.text) < 0;
      case Node::Cmp::Gt: return compareText(a.text, b.text) > 0;
      case Node::Cmp::Le: return compareText(a.text, b.text) <= 0;
      case Node::Cmp::Ge: return compareText(a.text, b.text) >= 0;
    }
  }
  if (a.type == 'L') {
    bool eq = a.flag == b.flag;
    return cmp == Node::Cmp::Ne ? !eq : eq;
  }
  switch (cmp) {
    case Node::Cmp::Eq:
    case Node::Cmp::Exact: return a.number == b.number;
    case Node::Cmp::Ne: return a.number != b.number;
    case Node::Cmp::Lt: return a.number < b.number;
    case Node::Cmp::Gt: return a.number > b.number;
    case Node::Cmp::Le: return a.number <= b.number;
    case Node::Cmp::Ge: return a.number >= b.number;
  }
  return false;
}

std::string_view trimRight(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string_view trimLeft(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

Val eval(const Node& n, const RecordFields& rec, const CodePage& cp) {
  Val v;
  v.type = n.type;
  switch (n.op) {
    case Op::Field: return fieldValue(n, rec);
    case Op::Text: v.text = n.text; return v;
    case Op::Number: v.number = n.number; return v;
    case Op::Logical: v.flag = n.flag; return v;
    case Op::Deleted: v.flag = rec.deleted(); return v;
    case Op::Upper: v.text = cp.upper(eval(*n.kids[0], rec, cp).text); return v;
    case Op::Ltrim: v.text = trimLeft(eval(*n.kids[0], rec, cp).text); return v;
    case Op::Rtrim: v.text = trimRight(eval(*n.kids[0], rec, cp).text); return v;
    case Op::Alltrim: v.text = trimLeft(trimRight(eval(*n.kids[0], rec, cp).text)); return v;
    case Op::Str: v.text = strOf(eval(*n.kids[0], rec, cp).number, n.strLength, n.strDecimals); return v;
    case Op::Dtos: v.text = dtosOf(eval(*n.kids[0], rec, cp).number); return v;
    case Op::Concat:
      for (const auto& k : n.kids) v.text += eval(*k, rec, cp).text;
      return v;
    case Op::Compare:
      v.flag = compareValues(n.cmp, eval(*n.kids[0], rec, cp), eval(*n.kids[1], rec, cp));
      return v;
    case Op::And:
      v.flag = eval(*n.kids[0], rec, cp).flag && eval(*n.kids[1], rec, cp).flag;
      return v;
    case Op::Or:
      v.flag = eval(*n.kids[0], rec, cp).flag || eval(*n.kids[1], rec, cp).flag;
      return v;
    case Op::Not: v.flag = !eval(*n.kids[0], rec, cp).flag; return v;
  }
  return v;
}

// The '+' terms at the top of an expression (the whole expression when it is not a
// concatenation).
std::vector<const Node*> topTerms(const Node& root) {
  std::vector<const Node*> out;
  if (root.op == Op::Concat)
    for (const auto& k : root.kids) out.push_back(k.get());
  else
    out.push_back(&root);
  return out;
}

int simpleTermField(const Node& t) {
  if (t.op == Op::Field) return t.field;
  if ((t.op == Op::Upper || t.op == Op::Str || t.op == Op::Dtos) && t.kids[0]->op == Op::Field)
    return t.kids[0]->field;
  return -1;
}

std::string padded(std::string text, int length) {
  text.resize(static_cast<std::size_t>(length), ' ');
  return text;
}

}  // namespace

KeyExpression KeyExpression::parse(std::string_view text, const Schema& schema, bool level7) {
  std::string trimmed(trimLeft(trimRight(text)));
  while (!trimmed.empty() && (trimmed.back() == '\0' || std::isspace(static_cast<unsigned char>(trimmed.back()))))
    trimmed.pop_back();
  return KeyExpression(parseKeyExpression(trimmed, schema, level7), trimmed);
}

KeyExpression::KeyExpression(std::unique_ptr<Node> root, std::string text)
    : root_(std::move(root)), text_(std::move(text)) {
  for (const Node* t : topTerms(*root_)) {
    int f = simpleTermField(*t);
    if (f < 0) {
      termFields_.clear();
      break;
    }
    termFields_.push_back(f);
  }
}

KeyExpression::KeyExpression(KeyExpression&&) noexcept = default;
KeyExpression& KeyExpression::operator=(KeyExpression&&) noexcept = default;
KeyExpression::~KeyExpression() = default;

char KeyExpression::type() const { return root_->type; }

int KeyExpression::length() const { return root_->type == 'C' ? root_->length : 0; }

const std::vector<int>& KeyExpression::termFields() const { return termFields_; }

int KeyExpression::termCount() const { return static_cast<int>(topTerms(*root_).size()); }

KeyValue KeyExpression::evaluate(const RecordFields& rec, const CodePage& cp) const {
  if (root_->type == 'L')
    throwError(ErrorKind::Unsupported, {}, "Index expression \"" + text_ + "\" is logical: not a key");
  Val v = eval(*root_, rec, cp);
  KeyValue k;
  k.type = root_->type;
  if (k.type == 'C') k.text = padded(std::move(v.text), root_->length);
  else k.number = v.number;
  return k;
}

bool KeyExpression::test(const RecordFields& rec, const CodePage& cp) const {
  if (root_->type != 'L')
    throwError(ErrorKind::InvalidInput, {}, "Expression \"" + text_ + "\" is not a condition");
  return eval(*root_, rec, cp).flag;
}

KeyValue KeyExpression::evaluateLeading(const RecordFields& rec, int terms, const CodePage& cp) const {
  auto all = topTerms(*root_);
  if (terms >= static_cast<int>(all.size())) return evaluate(rec, cp);
  KeyValue k;
  k.type = 'C';
  for (int i = 0; i < terms; ++i) k.text += eval(*all[static_cast<std::size_t>(i)], rec, cp).text;
  return k;
}

}  // namespace rf::tables
