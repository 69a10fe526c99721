#include "tables/paradox_format.h"

namespace rf::tables::paradox {

int fieldLength(std::uint8_t code, std::uint8_t size) { return code == kBcd ? 17 : size; }

bool isBlobCode(std::uint8_t code) {
  return code == kMemo || code == kBinary || code == kFormattedMemo || code == kOle || code == kGraphic;
}

bool isKnownCode(std::uint8_t code) { return letterOfCode(code) != '?'; }

char letterOfCode(std::uint8_t code) {
  switch (code) {
    case kAlpha: return 'A';
    case kDate: return 'D';
    case kShort: return 'S';
    case kLong: return 'I';
    case kMoney: return '$';
    case kNumber: return 'N';
    case kLogical: return 'L';
    case kMemo: return 'M';
    case kBinary: return 'B';
    case kFormattedMemo: return 'F';
    case kOle: return 'O';
    case kGraphic: return 'G';
    case kTime: return 'T';
    case kTimestamp: return '@';
    case kAutoIncrement: return '+';
    case kBcd: return '#';
    case kBytes: return 'Y';
    default: return '?';
  }
}

std::uint8_t codeOfLetter(char letter) {
  switch (letter) {
    case 'A': case 'a': return kAlpha;
    case 'D': case 'd': return kDate;
    case 'S': case 's': return kShort;
    case 'I': case 'i': return kLong;
    case '$': return kMoney;
    case 'N': case 'n': return kNumber;
    case 'L': case 'l': return kLogical;
    case 'M': case 'm': return kMemo;
    case 'B': case 'b': return kBinary;
    case 'F': case 'f': return kFormattedMemo;
    case 'O': case 'o': return kOle;
    case 'G': case 'g': return kGraphic;
    case 'T': case 't': return kTime;
    case '@': return kTimestamp;
    case '+': return kAutoIncrement;
    case '#': return kBcd;
    case 'Y': case 'y': return kBytes;
    default: return 0;
  }
}

FieldType fieldTypeOfCode(std::uint8_t code) {
  switch (code) {
    case kAlpha: return FieldType::Text;
    case kDate: return FieldType::Date;
    case kShort:
    case kLong: return FieldType::Integer;
    case kMoney: return FieldType::Money;
    case kNumber: return FieldType::Number;
    case kLogical: return FieldType::Logical;
    case kMemo:
    case kFormattedMemo: return FieldType::Memo;
    case kBinary:
    case kOle:
    case kGraphic: return FieldType::Binary;
    case kTime: return FieldType::Time;
    case kTimestamp: return FieldType::Timestamp;
    case kAutoIncrement: return FieldType::AutoIncrement;
    case kBcd: return FieldType::Bcd;
    case kBytes: return FieldType::Bytes;
    default: return FieldType::Bytes;
  }
}

int minimumVersionOfCode(std::uint8_t code) {
  switch (code) {
    case kAlpha:
    case kDate:
    case kShort:
    case kMoney:
    case kNumber: return 3;
    case kMemo:
    case kBinary:
    case kFormattedMemo:
    case kOle:
    case kGraphic: return 5;
    default: return 0x0A;  // Long, Logical, Time, Timestamp, Autoincrement, BCD, Bytes came with 5.0
  }
}

std::string versionName(int id) {
  if (id == 3) return "Paradox 3.0";
  if (id == 4) return "Paradox 3.5";
  if (id >= 5 && id <= 9) return "Paradox 4";
  if (id == 0x0A || id == 0x0B) return "Paradox 5";
  if (id == 0x0C) return "Paradox 7";
  return "Paradox (version " + std::to_string(id) + ")";
}

}  // namespace rf::tables::paradox
