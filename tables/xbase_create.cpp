// New dBASE and FoxPro tables with their memo and index files.
#include <algorithm>
#include <cctype>
#include <functional>

#include "tables/codepage.h"
#include "tables/engine.h"
#include "tables/error.h"
#include "tables/file_names.h"
#include "tables/index_file.h"
#include "tables/key_expression.h"
#include "tables/memo_file.h"
#include "tables/xbase_header.h"

namespace rf::tables {

namespace {

bool validName(const std::string& n) {
  if (n.empty() || n.size() > 10 || !(std::isalpha(static_cast<unsigned char>(n[0])) || n[0] == '_')) return false;
  return std::all_of(n.begin(), n.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

char nativeOf(const FieldDef& f, bool fox, bool vfp) {
  if (f.native != 0 && f.native != 'C') return f.native;
  switch (f.type) {
    case FieldType::Text: return 'C';
    case FieldType::Number: return 'N';
    case FieldType::Integer: return vfp ? 'I' : 'N';
    case FieldType::Money: return vfp ? 'Y' : 'N';
    case FieldType::Logical: return 'L';
    case FieldType::Date: return 'D';
    case FieldType::Timestamp: return vfp ? 'T' : 'D';
    case FieldType::Memo: return 'M';
    case FieldType::Binary: return fox ? 'G' : 'B';
    default: return 0;
  }
}

// Writes `bytes` to `path` through a temporary file, so a half-made file never carries the name.
void writeWhole(FileSystem& fs, const std::string& path, const std::function<void(File&)>& fill) {
  std::string tmp = path + ".new";
  {
    auto f = fs.open(tmp, OpenMode::Create);
    fill(*f);
    f->sync();
  }
  fs.rename(tmp, path);
}

}  // namespace

std::unique_ptr<Table> createXbaseTable(FileSystem& fs, const std::string& path, const TableDef& def) {
  bool fox = def.format == Format::FoxPro;
  int version = def.version;
  bool anyMemo = std::any_of(def.fields.begin(), def.fields.end(),
                             [](const FieldDef& f) { return f.type == FieldType::Memo || f.type == FieldType::Binary; });
  if (version == 0) version = anyMemo ? (fox ? 0xF5 : 0x8B) : 0x03;
  bool vfp = version == 0x30 || version == 0x31 || version == 0x32;
  if (!(version == 0x03 || version == 0x83 || version == 0x8B || version == 0xF5 || vfp))
    throwError(ErrorKind::Unsupported, path, "tables of version " + std::to_string(version) + " cannot be created");
  if (anyMemo && version == 0x03) version = fox ? 0xF5 : 0x8B;
  if (!CodePage::isSupported(def.codePage)) throwError(ErrorKind::Unsupported, path, "code page " + std::to_string(def.codePage));

  XbaseHeader h;
  h.version = static_cast<std::uint8_t>(version);
  h.foxpro = fox;
  h.visualFoxPro = vfp;
  h.languageDriver = languageDriverOfCodePage(def.codePage, fox);
  std::uint32_t offset = 1;
  for (const auto& in : def.fields) {
    FieldDef f = in;
    f.name = upperAscii(f.name);
    if (!validName(f.name)) throwError(ErrorKind::InvalidInput, path, "invalid field name '" + in.name + "'");
    for (const auto& other : h.fields)
      if (equalsNoCase(other.name, f.name)) throwError(ErrorKind::InvalidInput, path, "field name '" + f.name + "' used twice");
    f.native = nativeOf(in, fox, vfp);
    switch (f.native) {
      case 'C':
        if (f.width < 1 || f.width > 254) throwError(ErrorKind::InvalidInput, path, "field " + f.name + ": text width must be 1 to 254");
        f.decimals = 0;
        break;
      case 'N': case 'F':
        if (f.width < 1 || f.width > 20 || f.decimals < 0 || (f.decimals > 0 && f.decimals > f.width - 2))
          throwError(ErrorKind::InvalidInput, path, "field " + f.name + ": numeric width/decimals out of range");
        break;
      case 'D': f.width = 8; f.decimals = 0; break;
      case 'L': f.width = 1; f.decimals = 0; break;
      case 'B':
        if (vfp && in.type == FieldType::Number) {  // Visual FoxPro's double
          f.width = 8;
          break;
        }
        [[fallthrough]];
      case 'M': case 'G': f.width = vfp ? 4 : 10; f.decimals = 0; break;
      case 'I': f.width = 4; f.decimals = 0; break;
      case 'Y': case 'T': f.width = 8; f.decimals = vfp && f.native == 'Y' ? 4 : 0; break;
      default: throwError(ErrorKind::Unsupported, path, "field " + f.name + ": type cannot be created in this format");
    }
    f.type = f.native == 'N' ? FieldType::Number : in.type;
    f.offset = offset;
    offset += static_cast<std::uint32_t>(f.width);
    h.fields.push_back(std::move(f));
  }
  if (h.fields.empty()) throwError(ErrorKind::InvalidInput, path, "a table needs at least one field");
  if (offset > 65535) throwError(ErrorKind::InvalidInput, path, "records would be longer than 65535 bytes");
  h.recordLength = static_cast<std::uint16_t>(offset);
  h.headerLength = static_cast<std::uint16_t>(32 + 32 * h.fields.size() + 1 + (vfp ? 263 : 0));
  if (!def.indexes.empty()) h.flags |= 0x01;
  if (vfp && anyMemo) h.flags |= 0x02;

  Schema schema(h.fields);
  std::vector<TagSpec> tags;
  for (const auto& ix : def.indexes) {
    TagSpec t;
    t.name = upperAscii(ix.name);
    if (!validName(t.name)) throwError(ErrorKind::InvalidInput, path, "invalid index tag name '" + ix.name + "'");
    t.expression = ix.expression.empty() && !ix.fields.empty() ? ix.fields.front() : ix.expression;
    for (std::size_t k = 1; ix.expression.empty() && k < ix.fields.size(); ++k) t.expression += "+" + ix.fields[k];
    KeyExpression key = KeyExpression::parse(t.expression, schema);
    t.keyType = key.type();
    t.keyLength = t.keyType == 'C' ? key.length() : (fox ? 8 : (t.keyType == 'N' ? 12 : 8));
    if (t.keyType == 'C' && (t.keyLength < 1 || t.keyLength > (fox ? 240 : 100)))
      throwError(ErrorKind::InvalidInput, path, "index " + t.name + ": key of " + std::to_string(t.keyLength) + " bytes is too long");
    t.unique = ix.unique;
    t.descending = ix.descending;
    tags.push_back(std::move(t));
  }

  std::string stem = withoutExtension(path);
  std::string tableName = upperAscii(baseName(stem));
  // Companions follow the case of the table's extension: "pieces.dbf" gets "pieces.mdx".
  std::string ownExt = extensionOf(path);
  bool lower = std::any_of(ownExt.begin(), ownExt.end(), [](char c) { return c >= 'a' && c <= 'z'; });
  auto ext = [&](const char* upper) {
    std::string e = upper;
    if (lower)
      for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e;
  };
  if (!tags.empty()) {
    std::string indexPath = stem + ext(fox ? ".CDX" : ".MDX");
    writeWhole(fs, indexPath, [&](File& f) {
      if (fox) createCdx(f, tags);
      else createMdx(f, tableName, tags);
    });
  }
  if (anyMemo) {
    std::string memoPath = stem + ext(fox ? ".FPT" : ".DBT");
    MemoFlavor flavor = fox ? MemoFlavor::FoxPro : version == 0x83 ? MemoFlavor::Dbase3 : MemoFlavor::Dbase4;
    writeWhole(fs, memoPath, [&](File& f) { MemoFile::create(f, flavor, tableName); });
  }
  writeWhole(fs, path, [&](File& f) {
    std::vector<std::uint8_t> bytes = h.encode();
    bytes.push_back(0x1A);
    f.writeAt(0, bytes);
  });
  fs.syncDirectory(directoryOf(path));
  return openXbaseTable(fs, path, def.format, OpenOptions{});
}

}  // namespace rf::tables
