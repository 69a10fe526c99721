// railfolio-db info FILE: what the table is made of, read-only.

#include <algorithm>
#include <cstdio>

#include "tables/file_names.h"
#include "tools/railfolio_db/commands.h"
#include "tools/railfolio_db/field_types.h"
#include "tools/railfolio_db/input_files.h"

namespace rf::tool {

namespace {

std::string hexByte(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%02X", static_cast<unsigned>(v));
  return buf;
}

std::string padded(const std::string& s, std::size_t width) {
  return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

void printFields(ToolContext& ctx, const tables::Schema& schema) {
  ctx.out << "fields: " << schema.size() << '\n';
  std::size_t nameWidth = 4;
  for (const auto& f : schema.fields()) nameWidth = std::max(nameWidth, f.name.size());
  for (const auto& f : schema.fields()) {
    char sizes[32];
    std::snprintf(sizes, sizeof sizes, " %5d %3d", f.width, f.decimals);
    ctx.out << "  " << padded(f.name, nameWidth) << "  " << f.native << sizes << "  "
            << fieldTypeName(f.type);
    if (f.nullable) ctx.out << ", nullable";
    if (f.binaryText) ctx.out << ", binary";
    ctx.out << '\n';
  }
}

void printIndexes(ToolContext& ctx, const std::vector<tables::IndexInfo>& indexes) {
  ctx.out << "indexes: " << indexes.size() << '\n';
  for (const auto& ix : indexes) {
    ctx.out << "  " << (ix.name.empty() ? std::string("(primary key)") : ix.name);
    ctx.out << "  key " << ix.expression;
    if (!ix.forExpression.empty()) ctx.out << "  for " << ix.forExpression;
    if (!ix.file.empty()) ctx.out << "  file " << tables::baseName(ix.file);
    if (ix.primary) ctx.out << "  primary";
    if (ix.unique) ctx.out << "  unique";
    if (ix.descending) ctx.out << "  descending";
    if (!ix.usable) ctx.out << "  not usable: " << ix.problem;
    ctx.out << '\n';
  }
}

}  // namespace

int runInfo(ToolContext& ctx, const Args& args) {
  requirePositional(args, 1, "railfolio-db info FILE");
  requireExistingFile(args[0]);
  auto table = ctx.engine.openPath(args[0], std::nullopt, /*readOnly=*/true);
  const tables::TableInfo info = table->info();

  ctx.out << "file: " << table->path() << '\n';
  ctx.out << "format: " << formatName(info.format) << ", version " << hexByte(info.version);
  if (!info.versionName.empty()) ctx.out << " (" << info.versionName << ")";
  ctx.out << '\n';
  ctx.out << "records: " << info.recordCount << '\n';
  ctx.out << "code page: " << (info.codePage ? std::to_string(info.codePage) : "unknown") << '\n';
  ctx.out << "memo file: " << (info.memoFile.empty() ? "none" : info.memoFile) << '\n';
  if (info.indexFiles.empty()) ctx.out << "index file: none\n";
  for (const auto& f : info.indexFiles) ctx.out << "index file: " << f << '\n';
  printFields(ctx, table->schema());
  printIndexes(ctx, table->indexes());
  return kExitOk;
}

}  // namespace rf::tool
