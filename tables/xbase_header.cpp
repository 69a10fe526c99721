#include "tables/xbase_header.h"

#include <chrono>
#include <cstring>

#include "tables/error.h"

namespace rf::tables {

namespace {

std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

bool isFoxVersion(std::uint8_t v) { return v == 0x30 || v == 0x31 || v == 0x32 || v == 0xF5 || v == 0xFB; }

// The engine-neutral type of a field from its letter, width and the family.
FieldType typeOf(char t, int width, bool fox, const std::string& file, std::uint64_t at) {
  switch (t) {
    case 'C': return FieldType::Text;
    case 'V': return FieldType::Text;
    case 'N': case 'F': return FieldType::Number;
    case 'D': return FieldType::Date;
    case 'L': return FieldType::Logical;
    case 'M': return FieldType::Memo;
    case 'G': case 'P': case 'W': return FieldType::Binary;
    case 'Q': return FieldType::Bytes;
    case 'B': return (fox && width == 8) ? FieldType::Number : FieldType::Binary;
    case 'I': return FieldType::Integer;
    case 'Y': return FieldType::Money;
    case 'T': case '@': return FieldType::Timestamp;
    case 'O': return FieldType::Number;
    case '+': return FieldType::AutoIncrement;
    case '0': return FieldType::NullFlags;
    default:
      throwCorrupt(file, std::string("unknown field type '") + (t >= 32 && t < 127 ? std::string(1, t) : "?") + "'", at);
  }
}

// Bytes each fixed-size type needs; 0 where the width is the descriptor's.
int fixedWidth(char t, bool fox) {
  switch (t) {
    case 'D': return 8;
    case 'I': return 4;
    case 'Y': case 'T': case '@': case 'O': return 8;
    case '+': return 4;
    case 'L': return 1;
    default: (void)fox; return 0;
  }
}

std::vector<FieldDef> parseFields(const XbaseHeader& hd, const std::vector<std::uint8_t>& hdr, const std::string& path) {
  const std::size_t descSize = hd.level7 ? 48 : 32;
  const std::size_t first = hd.level7 ? 68 : 32;
  if (hd.headerLength < first + 1) throwCorrupt(path, "header length " + std::to_string(hd.headerLength) + " is too short", 8);
  std::vector<FieldDef> fields;
  std::uint32_t offset = 1;  // after the deletion flag
  for (std::size_t at = first;; at += descSize) {
    if (at >= hdr.size()) throwCorrupt(path, "field list has no terminator", at);
    if (hdr[at] == 0x0D || (hdr[at] == 0x0A && at + 1 <= hdr.size()))
      break;  // 0x0A: seen in files whose line ends were converted
    if (at + descSize > hdr.size()) throwCorrupt(path, "field descriptor runs past the header", at);
    const std::uint8_t* d = hdr.data() + at;
    FieldDef f;
    std::size_t nameLen = hd.level7 ? 32 : 11;
    std::size_t n = 0;
    while (n < nameLen && d[n] != 0) ++n;
    f.name.assign(reinterpret_cast<const char*>(d), n);
    while (!f.name.empty() && f.name.back() == ' ') f.name.pop_back();
    f.native = static_cast<char>(hd.level7 ? d[32] : d[11]);
    int len = hd.level7 ? d[33] : d[16];
    int dec = hd.level7 ? d[34] : d[17];
    if (f.native == 'C' && !hd.level7 && !hd.foxpro) {
      // dBASE/Clipper: character fields longer than 255 keep the high byte in "decimals".
      len |= dec << 8;
      dec = 0;
    }
    f.width = len;
    f.decimals = dec;
    if (hd.foxpro && !hd.level7) {
      f.nullable = (d[18] & 0x02) != 0;
      f.binaryText = (d[18] & 0x04) != 0;
    }
    f.type = typeOf(f.native, len, hd.foxpro, path, at + 11);
    int fixed = fixedWidth(f.native, hd.foxpro);
    if (f.width <= 0) throwCorrupt(path, "field " + f.name + " has width 0", at);
    if (fixed && f.width != fixed && !(f.native == 'L'))
      throwCorrupt(path, "field " + f.name + " has width " + std::to_string(f.width) + ", expected " + std::to_string(fixed), at);
    if (f.native == 'N' && (f.width > 32 || f.decimals > f.width))
      throwCorrupt(path, "numeric field " + f.name + " has an impossible width", at);
    f.offset = offset;
    offset += static_cast<std::uint32_t>(f.width);
    if (offset > hd.recordLength)
      throwCorrupt(path, "field " + f.name + " runs past the record length " + std::to_string(hd.recordLength), at);
    if (f.name.empty()) throwCorrupt(path, "field without a name", at);
    fields.push_back(std::move(f));
    if (fields.size() > 2048) throwCorrupt(path, "too many fields", at);
  }
  if (fields.empty()) throwCorrupt(path, "table has no fields", first);
  if (offset != hd.recordLength)
    throwCorrupt(path, "fields fill " + std::to_string(offset) + " bytes but records are " +
                           std::to_string(hd.recordLength) + " bytes long", 10);
  return fields;
}

}  // namespace

bool XbaseHeader::hasMemoFields() const {
  for (const auto& f : fields)
    if (f.type == FieldType::Memo || f.type == FieldType::Binary) return true;
  return false;
}

std::string XbaseHeader::versionName() const {
  switch (version) {
    case 0x02: return "FoxBASE";
    case 0x03: return foxpro ? "FoxPro 2.x (no memo)" : "dBASE III+ (no memo)";
    case 0x04: return "dBASE 7 (no memo)";
    case 0x05: return "dBASE 5 (no memo)";
    case 0x30: return "Visual FoxPro";
    case 0x31: return "Visual FoxPro (autoincrement)";
    case 0x32: return "Visual FoxPro 9 (varchar/varbinary)";
    case 0x83: return "dBASE III+ with memo";
    case 0x8B: return "dBASE IV with memo";
    case 0x8C: return "dBASE 7 with memo";
    case 0xF5: return "FoxPro 2.x with memo";
    case 0xFB: return "FoxBASE with memo";
    default: return "xBase";
  }
}

XbaseHeader XbaseHeader::read(File& file, bool foxproDeclared) {
  const std::string& path = file.path();
  std::uint64_t fileSize = file.size();
  std::uint8_t h[32];
  if (fileSize < 32 || file.readAt(0, h) != 32) throwCorrupt(path, "file is too short for a table header", 0);
  XbaseHeader hd;
  hd.version = h[0];
  switch (hd.version) {
    case 0x02: case 0x03: case 0x04: case 0x05: case 0x30: case 0x31: case 0x32: case 0x43: case 0x63:
    case 0x83: case 0x84: case 0x85: case 0x8B: case 0x8C: case 0xCB: case 0xF5: case 0xFB: break;
    default: throwCorrupt(path, "not a dBASE or FoxPro table (version byte " + std::to_string(hd.version) + ")", 0);
  }
  hd.level7 = hd.version == 0x04 || hd.version == 0x8C;
  hd.visualFoxPro = hd.version == 0x30 || hd.version == 0x31 || hd.version == 0x32;
  hd.foxpro = foxproDeclared || isFoxVersion(hd.version);
  hd.updateYear = h[1] < 100 && h[1] >= 80 ? 1900 + h[1] : h[1] < 80 ? 2000 + h[1] : 1900 + h[1];
  hd.updateMonth = h[2];
  hd.updateDay = h[3];
  hd.recordCount = le32(h + 4);
  hd.headerLength = le16(h + 8);
  hd.recordLength = le16(h + 10);
  hd.flags = h[28];
  hd.languageDriver = h[29];
  // dBASE IV sets 1 here for an encrypted table; other writers leave other values behind (the
  // STEP 7 tables carry them), so only 1 means encrypted.
  if (h[15] == 0x01) throwError(ErrorKind::Unsupported, path, "table is encrypted");

  if (hd.headerLength > fileSize)
    throwCorrupt(path, "header length " + std::to_string(hd.headerLength) + " does not fit the file", 8);
  if (hd.recordLength < 1) throwCorrupt(path, "record length is zero", 10);
  std::uint64_t needed = hd.headerLength + static_cast<std::uint64_t>(hd.recordCount) * hd.recordLength;
  if (needed > fileSize) {
    // A count beyond the data: trust only the whole records that are there (a writer killed
    // while appending can leave this); the integrity check reports it.
    hd.recordCount = static_cast<std::uint32_t>((fileSize - hd.headerLength) / hd.recordLength);
  }
  std::vector<std::uint8_t> hdr(hd.headerLength);
  file.readExact(0, hdr, "the table header");
  // dBASE 7 (48-byte descriptors) shares version bytes with other writers' files (Perl XBase
  // writes 0x84 for 32-byte ones): try the likely layout first and the other one after.
  bool likely7 = hd.version == 0x04 || hd.version == 0x8C;
  bool maybe7 = likely7 || hd.version == 0x84 || hd.version == 0x05;
  try {
    hd.level7 = likely7;
    hd.fields = parseFields(hd, hdr, path);
  } catch (const TableError&) {
    if (!maybe7) throw;
    hd.level7 = !likely7;
    try {
      hd.fields = parseFields(hd, hdr, path);
    } catch (const TableError&) {
      hd.level7 = likely7;
      hd.fields = parseFields(hd, hdr, path);  // report the first layout's problem
    }
  }
  return hd;
}

std::vector<std::uint8_t> encodeCountAndDate(std::uint32_t recordCount) {
  auto today = std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now())};
  std::vector<std::uint8_t> b(7);
  b[0] = static_cast<std::uint8_t>(static_cast<int>(today.year()) - 1900);
  b[1] = static_cast<std::uint8_t>(static_cast<unsigned>(today.month()));
  b[2] = static_cast<std::uint8_t>(static_cast<unsigned>(today.day()));
  for (int i = 0; i < 4; ++i) b[3 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(recordCount >> (8 * i));
  return b;
}

std::vector<std::uint8_t> XbaseHeader::encode() const {
  std::vector<std::uint8_t> b(headerLength, 0);
  b[0] = version;
  auto cd = encodeCountAndDate(recordCount);
  std::memcpy(b.data() + 1, cd.data(), cd.size());
  b[8] = static_cast<std::uint8_t>(headerLength);
  b[9] = static_cast<std::uint8_t>(headerLength >> 8);
  b[10] = static_cast<std::uint8_t>(recordLength);
  b[11] = static_cast<std::uint8_t>(recordLength >> 8);
  b[28] = flags;
  b[29] = languageDriver;
  std::size_t at = 32;
  for (const auto& f : fields) {
    std::uint8_t* d = b.data() + at;
    std::memcpy(d, f.name.data(), std::min<std::size_t>(f.name.size(), 10));
    d[11] = static_cast<std::uint8_t>(f.native);
    if (foxpro) {
      d[12] = static_cast<std::uint8_t>(f.offset);
      d[13] = static_cast<std::uint8_t>(f.offset >> 8);
      d[14] = static_cast<std::uint8_t>(f.offset >> 16);
      d[15] = static_cast<std::uint8_t>(f.offset >> 24);
      d[18] = static_cast<std::uint8_t>((f.nullable ? 0x02 : 0) | (f.binaryText ? 0x04 : 0));
    }
    if (f.native == 'C' && !foxpro && f.width > 255) {
      d[16] = static_cast<std::uint8_t>(f.width & 0xFF);
      d[17] = static_cast<std::uint8_t>(f.width >> 8);
    } else {
      d[16] = static_cast<std::uint8_t>(f.width);
      d[17] = static_cast<std::uint8_t>(f.decimals);
    }
    at += 32;
  }
  b[at] = 0x0D;
  return b;
}

}  // namespace rf::tables
