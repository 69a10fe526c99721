// New Paradox tables: the .DB, its .PX (keyed), .MB (blob fields) and the .Xnn/.Ynn or .XGn/.YGn
// of each secondary index, all empty. New tables use the "ascii" sort order (byte order of the
// code page), the one order whose collation is published; see paradox_collation.h.

#include <algorithm>
#include <set>

#include "tables/codepage.h"
#include "tables/engine.h"
#include "tables/error.h"
#include "tables/file_names.h"
#include "tables/paradox_blob_file.h"
#include "tables/paradox_format.h"
#include "tables/paradox_header.h"
#include "tables/paradox_secondary_index.h"

namespace rf::tables {

namespace {

using namespace paradox;

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
  throwError(ErrorKind::InvalidInput, path, why);
}

std::uint8_t versionId(int v, const std::string& path) {
  switch (v) {
    case 0: case 7: case 0x0C: return 0x0C;
    case 5: case 0x0B: return 0x0B;
    case 0x0A: return 0x0A;
    case 4: case 9: return 0x09;
    default: refuse(path, "Paradox tables are written as version 4, 5 or 7, not " + std::to_string(v));
  }
}

std::uint8_t codeFor(const FieldDef& f, const std::string& path) {
  std::uint8_t native = codeOfLetter(f.native);
  if (native && fieldTypeOfCode(native) == f.type) return native;
  switch (f.type) {
    case FieldType::Text: return kAlpha;
    case FieldType::Number: return kNumber;
    case FieldType::Integer: return kLong;
    case FieldType::Money: return kMoney;
    case FieldType::Logical: return kLogical;
    case FieldType::Date: return kDate;
    case FieldType::Time: return kTime;
    case FieldType::Timestamp: return kTimestamp;
    case FieldType::AutoIncrement: return kAutoIncrement;
    case FieldType::Bcd: return kBcd;
    case FieldType::Bytes: return kBytes;
    case FieldType::Memo: return kMemo;
    case FieldType::Binary: return kBinary;
    default: refuse(path, "field " + f.name + ": a Paradox table has no field of this type");
  }
}

std::uint8_t sizeFor(std::uint8_t code, const FieldDef& f, const std::string& path) {
  auto bad = [&](const std::string& why) { refuse(path, "field " + f.name + ": " + why); };
  switch (code) {
    case kAlpha:
      if (f.width < 1 || f.width > 255) bad("an Alpha field holds 1 to 255 characters");
      return static_cast<std::uint8_t>(f.width);
    case kBytes:
      if (f.width < 1 || f.width > 255) bad("a Bytes field holds 1 to 255 bytes");
      return static_cast<std::uint8_t>(f.width);
    case kBcd:
      if (f.decimals < 0 || f.decimals > 32) bad("a BCD field has 0 to 32 decimals");
      return static_cast<std::uint8_t>(f.decimals);
    case kMemo:
    case kFormattedMemo:
    case kBinary:
    case kOle:
    case kGraphic: {
      // The size given is the leader: the bytes of the value kept in the record itself.
      int leader = f.width;
      if ((code == kMemo || code == kFormattedMemo) && leader < 1) leader = 1;
      if (leader < 0 || leader > 240) bad("a blob field keeps 0 to 240 bytes in the record");
      return static_cast<std::uint8_t>(leader + 10);
    }
    case kDate: case kLong: case kTime: case kAutoIncrement: return 4;
    case kShort: return 2;
    case kMoney: case kNumber: case kTimestamp: return 8;
    case kLogical: return 1;
    default: break;
  }
  bad("unknown field type");
  return 0;
}

// The smallest block of at least 4 KB that holds 8 records (or the largest the version allows).
std::uint8_t blockKbFor(std::size_t recordSize, std::uint8_t version, const std::string& path) {
  const std::uint8_t maxKb = version >= 0x0C ? 32 : 4;
  std::uint8_t kb = 4;
  while (kb < maxKb && (static_cast<std::size_t>(kb) * 1024 - kBlockHeader) / recordSize < 8) kb = static_cast<std::uint8_t>(kb * 2);
  if (static_cast<std::size_t>(kb) * 1024 < recordSize + kBlockHeader)
    refuse(path, "records of " + std::to_string(recordSize) + " bytes do not fit a block of this Paradox version");
  return kb;
}

// Index blocks big enough that two levels address every block a table can have (pxlib reads
// no deeper index), within what the version allows.
std::uint8_t indexKbFor(std::size_t keyLength, std::uint8_t version) {
  const std::uint8_t maxKb = version >= 0x0C ? 32 : 4;
  std::uint8_t kb = 4;
  while (kb < maxKb && (static_cast<std::size_t>(kb) * 1024 - kBlockHeader) / (keyLength + kIndexTail) < 256)
    kb = static_cast<std::uint8_t>(kb * 2);
  return kb;
}

std::vector<std::uint8_t> buildFitting(HeaderPlan plan) {
  for (std::uint32_t size = 0x800;; size += 0x800) {
    plan.headerSize = static_cast<std::uint16_t>(size);
    try {
      return buildParadoxHeader(plan);
    } catch (const TableError&) {
      if (size >= 0x8000) throw;
    }
  }
}

struct Planned {
  std::string path;
  std::vector<std::uint8_t> bytes;
};

}  // namespace

std::unique_ptr<Table> createParadoxTable(FileSystem& fs, const std::string& path, const TableDef& def) {
  const std::uint8_t version = versionId(def.version, path);
  const int cpNumber = def.codePage ? def.codePage : 1252;
  if (!CodePage::isSupported(cpNumber)) throwError(ErrorKind::Unsupported, path, "unknown code page " + std::to_string(cpNumber));
  CodePage cp(cpNumber);
  if (def.fields.empty() || def.fields.size() > 255) refuse(path, "a Paradox table has 1 to 255 fields");
  if (def.primaryKeyFields < 0 || def.primaryKeyFields > static_cast<int>(def.fields.size()))
    refuse(path, "the primary key has more fields than the table");
  const bool keyed = def.primaryKeyFields > 0;

  std::vector<HeaderField> fields;
  std::set<std::string> names;
  std::uint32_t offset = 0;
  bool blobs = false;
  for (std::size_t i = 0; i < def.fields.size(); ++i) {
    const FieldDef& f = def.fields[i];
    if (f.name.empty() || f.name.size() > 25) refuse(path, "field names have 1 to 25 characters: '" + f.name + "'");
    if (!names.insert(upperAscii(f.name)).second) refuse(path, "two fields are named " + f.name);
    HeaderField h;
    h.layout.code = codeFor(f, path);
    h.layout.size = sizeFor(h.layout.code, f, path);
    h.layout.length = static_cast<std::uint16_t>(fieldLength(h.layout.code, h.layout.size));
    h.layout.offset = offset;
    offset += h.layout.length;
    h.rawName = cp.fromUtf8(f.name, "field name " + f.name);
    if (minimumVersionOfCode(h.layout.code) > version)
      refuse(path, "field " + f.name + ": " + versionName(version) + " tables have no " +
                       std::string(1, letterOfCode(h.layout.code)) + " fields");
    if (static_cast<int>(i) < def.primaryKeyFields && isBlobCode(h.layout.code))
      refuse(path, "field " + f.name + ": a blob field cannot be part of the primary key");
    blobs = blobs || isBlobCode(h.layout.code);
    fields.push_back(std::move(h));
  }
  if (offset > 0x7FFF) refuse(path, "records of " + std::to_string(offset) + " bytes are too long");

  const std::string ext = extensionOf(path);
  const bool lower = !ext.empty() && ext == ".db";
  const std::string stem = withoutExtension(path);
  auto companion = [&](std::string e) {
    if (lower) std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return stem + e;
  };
  const std::string table = baseName(path);

  std::vector<Planned> files;
  HeaderPlan db;
  db.fileType = keyed ? kKeyedDb : kUnkeyedDb;
  db.version = version;
  db.blockKb = blockKbFor(offset, version, path);
  db.keyFields = static_cast<std::uint16_t>(def.primaryKeyFields);
  db.codePage = static_cast<std::uint16_t>(cpNumber);
  db.fields = fields;
  db.tableName = table;
  files.push_back({path, buildFitting(db)});

  std::vector<HeaderField> keyFields(fields.begin(), fields.begin() + def.primaryKeyFields);
  if (keyed) {
    HeaderPlan px;
    px.fileType = kPrimaryIndex;
    px.version = version;
    std::size_t keyLength = 0;
    for (const auto& k : keyFields) keyLength += k.layout.length;
    px.blockKb = indexKbFor(keyLength, version);
    px.fields = keyFields;
    px.tableName = baseName(companion(".PX"));
    px.word12 = 4;
    files.push_back({companion(".PX"), buildFitting(px)});
  }
  if (blobs) files.push_back({companion(".MB"), BlobFile::emptyHeader()});

  std::set<std::string> extensions;
  int composites = 0;
  for (const auto& ix : def.indexes) {
    if (!keyed) refuse(path, "index " + ix.name + ": secondary indexes need a primary key");
    if (ix.fields.empty() || ix.fields.size() > 16) refuse(path, "index " + ix.name + ": an index has 1 to 16 fields");
    std::vector<int> numbers;
    for (const auto& name : ix.fields) {
      int found = -1;
      for (std::size_t i = 0; i < def.fields.size(); ++i)
        if (equalsNoCase(def.fields[i].name, name)) found = static_cast<int>(i);
      if (found < 0) refuse(path, "index " + ix.name + " names an unknown field " + name);
      if (isBlobCode(fields[static_cast<std::size_t>(found)].layout.code))
        refuse(path, "index " + ix.name + ": blob fields cannot be indexed");
      numbers.push_back(found);
    }
    if (numbers[0] == 0) refuse(path, "index " + ix.name + ": a secondary index cannot start with the first key field");
    const bool composite = ix.fields.size() > 1 || (!ix.name.empty() && !equalsNoCase(ix.name, def.fields[static_cast<std::size_t>(numbers[0])].name));
    if (composite && ix.name.empty()) refuse(path, "an index of several fields needs a name");
    std::string xExt = secondaryIndexExtension(composite, composite ? composites++ : numbers[0] + 1);
    if (composites > 36) refuse(path, "a table holds at most 36 named indexes");
    if (!extensions.insert(xExt).second) refuse(path, "two indexes on field " + ix.fields[0]);
    std::string yExt = xExt;
    yExt[1] = 'Y';

    HeaderPlan x;
    x.fileType = composite ? kCompositeIncrementing : kSecondaryIncrementing;
    x.version = version;
    std::size_t xSize = 2;
    for (int n : numbers) x.fields.push_back(fields[static_cast<std::size_t>(n)]);
    for (const auto& k : keyFields) x.fields.push_back(k);
    for (const auto& f : x.fields) xSize += f.layout.length;
    HeaderField blk;
    blk.layout.code = kShort;
    blk.layout.size = 2;
    blk.layout.length = 2;
    blk.rawName = "Blk Num";
    x.fields.push_back(blk);
    std::uint32_t o = 0;
    for (auto& f : x.fields) {
      f.layout.offset = o;
      o += f.layout.length;
    }
    x.blockKb = blockKbFor(xSize, version, path);
    x.keyFields = static_cast<std::uint16_t>(x.fields.size() - 1);
    x.codePage = static_cast<std::uint16_t>(cpNumber);
    x.tableName = baseName(companion(xExt));
    for (int n : numbers) x.fieldNumbers.push_back(static_cast<std::uint16_t>((n + 1) | (ix.descending ? 0x8000 : 0)));
    for (std::size_t i = numbers.size(); i < x.fields.size(); ++i) x.fieldNumbers.push_back(static_cast<std::uint16_t>(i + 1));
    x.indexFieldNumber = static_cast<std::uint8_t>(numbers[0] + 1);
    x.direction = static_cast<std::uint8_t>((ix.unique ? kDirUnique : 0) | (ix.descending ? kDirDescending : 0));
    if (composite) x.indexName = cp.fromUtf8(ix.name, "index name " + ix.name);
    files.push_back({companion(xExt), buildFitting(x)});

    HeaderPlan y;
    y.fileType = composite ? kCompositeIndexOfIndex : kSecondaryIndexOfIndex;
    y.version = version;
    y.blockKb = indexKbFor(xSize - 2, version);
    y.fields.assign(x.fields.begin(), x.fields.end() - 1);
    y.tableName = baseName(companion(yExt));
    y.word12 = 4;
    files.push_back({companion(yExt), buildFitting(y)});
  }

  for (const auto& f : files)
    if (fs.exists(f.path)) refuse(f.path, "the file already exists");
  std::vector<std::string> made;
  try {
    for (const auto& f : files) {
      auto file = fs.open(f.path, OpenMode::CreateExclusive);
      made.push_back(f.path);
      file->writeAt(0, f.bytes);
      file->sync();
    }
    fs.syncDirectory(directoryOf(path));
  } catch (...) {
    for (const auto& m : made) fs.remove(m);
    throw;
  }
  return openParadoxTable(fs, path, OpenOptions{});
}

}  // namespace rf::tables
