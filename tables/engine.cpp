#include "tables/engine.h"

#include "tables/error.h"
#include "tables/file_names.h"

namespace rf::tables {

namespace {
std::optional<Format> formatOfExtension(const std::string& ext) {
  if (equalsNoCase(ext, ".dbf")) return Format::Dbase;
  if (equalsNoCase(ext, ".db")) return Format::Paradox;
  return std::nullopt;
}
}  // namespace

Engine::Engine(std::string configPath, FileSystem& fs) : fs_(fs), config_(std::move(configPath)) {}

std::string Engine::aliasDirectory(const std::string& alias) const {
  auto dir = config_.alias(alias);
  if (!dir) throwError(ErrorKind::NotFound, config_.path(), "Unknown database alias: " + alias);
  return *dir;
}

std::string Engine::resolve(const OpenRequest& req) const {
  std::string dir = req.alias.empty() ? directoryOf(req.name) : aliasDirectory(req.alias);
  std::string name = req.alias.empty() ? baseName(req.name) : req.name;
  if (!req.alias.empty() && name.find('/') != std::string::npos)
    throwError(ErrorKind::InvalidInput, name, "a table opened through an alias is named without a directory");
  std::string ext = extensionOf(name);
  if (ext.empty() && req.format) name += *req.format == Format::Paradox ? ".DB" : ".DBF";
  if (auto found = findNoCase(fs_, dir, name)) return *found;
  throwError(ErrorKind::NotFound, joinPath(dir, name), "Table does not exist");
}

std::unique_ptr<Table> Engine::openPath(const std::string& path, std::optional<Format> format, bool readOnly,
                                        bool exclusive, const std::string& indexFile) {
  Format f;
  if (format) f = *format;
  else if (auto byExt = formatOfExtension(extensionOf(path))) f = *byExt;
  else throwError(ErrorKind::InvalidInput, path, "Unknown table type: the file name has no .DBF or .DB extension");
  OpenOptions opts{readOnly, exclusive, indexFile};
  if (f == Format::Paradox) return openParadoxTable(fs_, path, opts);
  return openXbaseTable(fs_, path, f, opts);
}

std::unique_ptr<Table> Engine::open(const OpenRequest& req) {
  std::string path = resolve(req);
  std::string indexFile;
  if (!req.indexFile.empty()) {
    auto found = findNoCase(fs_, directoryOf(path), baseName(req.indexFile));
    if (!found) throwError(ErrorKind::NotFound, joinPath(directoryOf(path), req.indexFile), "Index does not exist");
    indexFile = *found;
  }
  return openPath(path, req.format, req.readOnly, req.exclusive, indexFile);
}

void Engine::empty(const OpenRequest& req) {
  OpenRequest exclusive = req;
  exclusive.exclusive = true;
  exclusive.readOnly = false;
  auto table = open(exclusive);
  table->empty();
}

std::unique_ptr<Table> Engine::create(const std::string& path, const TableDef& def) {
  if (fs_.exists(path)) throwError(ErrorKind::InvalidInput, path, "Table already exists");
  if (def.format == Format::Paradox) return createParadoxTable(fs_, path, def);
  return createXbaseTable(fs_, path, def);
}

}  // namespace rf::tables
