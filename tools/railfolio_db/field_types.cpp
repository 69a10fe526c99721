#include "tools/railfolio_db/field_types.h"

#include <cctype>
#include <string>

namespace rf::tool {

using tables::FieldType;
using tables::Format;

std::optional<FieldType> fieldTypeOfLetter(Format format, char native) {
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(native)));
  switch (format) {
    case Format::Dbase:
      switch (c) {
        case 'C': return FieldType::Text;
        case 'N': case 'F': case 'O': return FieldType::Number;
        case 'L': return FieldType::Logical;
        case 'D': return FieldType::Date;
        case 'M': return FieldType::Memo;
        case 'B': case 'G': return FieldType::Binary;
        case 'I': return FieldType::Integer;
        case '+': return FieldType::AutoIncrement;
        case '@': return FieldType::Timestamp;
        default: return std::nullopt;
      }
    case Format::FoxPro:
      switch (c) {
        case 'C': return FieldType::Text;
        case 'N': case 'F': case 'B': return FieldType::Number;  // FoxPro B is a double
        case 'L': return FieldType::Logical;
        case 'D': return FieldType::Date;
        case 'M': return FieldType::Memo;
        case 'I': return FieldType::Integer;
        case 'Y': return FieldType::Money;
        case 'T': return FieldType::Timestamp;
        case 'G': case 'P': case 'W': return FieldType::Binary;
        default: return std::nullopt;
      }
    case Format::Paradox:
      switch (c) {
        case 'A': return FieldType::Text;
        case 'D': return FieldType::Date;
        case 'S': case 'I': return FieldType::Integer;
        case '$': return FieldType::Money;
        case 'N': return FieldType::Number;
        case 'L': return FieldType::Logical;
        case 'M': case 'F': return FieldType::Memo;
        case 'B': case 'O': case 'G': return FieldType::Binary;
        case 'T': return FieldType::Time;
        case '@': return FieldType::Timestamp;
        case '+': return FieldType::AutoIncrement;
        case '#': return FieldType::Bcd;
        case 'Y': return FieldType::Bytes;
        default: return std::nullopt;
      }
  }
  return std::nullopt;
}

int fixedWidth(Format format, int version, char native) {
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(native)));
  if (format == Format::Paradox) {
    switch (c) {
      case 'D': case 'I': case 'T': case '+': return 4;
      case 'S': return 2;
      case '$': case 'N': case '@': return 8;
      case 'L': return 1;
      case '#': return 17;
      default: return 0;
    }
  }
  // Visual FoxPro tables (0x30 and up) keep memo references in 4 binary bytes; FoxPro 2 and
  // dBASE in 10 digits. A FoxPro table of unstated version is created as Visual FoxPro.
  const bool vfp = format == Format::FoxPro && (version == 0 || (version >= 0x30 && version <= 0x32));
  switch (c) {
    case 'L': return 1;
    case 'D': return 8;
    case 'M': case 'G': case 'P': case 'B':
      if (c == 'B' && format == Format::FoxPro) return 8;
      return vfp ? 4 : 10;
    case 'W': return 4;
    case 'I': case '+': return 4;
    case 'Y': case 'T': case 'O': case '@': return 8;
    default: return 0;
  }
}

std::string_view fieldTypeName(FieldType type) {
  switch (type) {
    case FieldType::Text: return "text";
    case FieldType::Number: return "number";
    case FieldType::Integer: return "integer";
    case FieldType::Money: return "money";
    case FieldType::Logical: return "logical";
    case FieldType::Date: return "date";
    case FieldType::Time: return "time";
    case FieldType::Timestamp: return "timestamp";
    case FieldType::AutoIncrement: return "autoincrement";
    case FieldType::Bcd: return "bcd";
    case FieldType::Bytes: return "bytes";
    case FieldType::Memo: return "memo";
    case FieldType::Binary: return "binary";
    case FieldType::NullFlags: return "null flags";
  }
  return "?";
}

std::string_view formatName(Format format) {
  switch (format) {
    case Format::Dbase: return "dBASE";
    case Format::FoxPro: return "FoxPro";
    case Format::Paradox: return "Paradox";
  }
  return "?";
}

std::optional<Format> formatOfName(std::string_view name) {
  std::string lower;
  for (char ch : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (lower == "dbase") return Format::Dbase;
  if (lower == "foxpro") return Format::FoxPro;
  if (lower == "paradox") return Format::Paradox;
  return std::nullopt;
}

}  // namespace rf::tool
