#include "tables/file_names.h"

#include "tables/error.h"
#include "tables/schema.h"

namespace rf::tables {

std::string joinPath(std::string_view dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  std::string p(dir);
  if (p.back() != '/') p += '/';
  return p + std::string(name);
}

std::string directoryOf(std::string_view path) {
  auto slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

std::string baseName(std::string_view path) {
  auto slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string extensionOf(std::string_view path) {
  std::string base = baseName(path);
  auto dot = base.rfind('.');
  if (dot == std::string::npos || dot == 0) return {};
  return base.substr(dot);
}

std::string withoutExtension(std::string_view path) {
  std::string ext = extensionOf(path);
  return std::string(path.substr(0, path.size() - ext.size()));
}

std::optional<std::string> findNoCase(FileSystem& fs, const std::string& dir, std::string_view name) {
  std::string exact = joinPath(dir, name);
  if (fs.exists(exact)) return exact;
  std::vector<std::string> names;
  try {
    names = fs.list(dir.empty() ? "." : dir);
  } catch (const TableError&) {
    return std::nullopt;
  }
  for (const auto& n : names)
    if (equalsNoCase(n, name)) return joinPath(dir, n);
  return std::nullopt;
}

std::optional<std::string> findCompanion(FileSystem& fs, const std::string& tablePath, std::string_view ext) {
  std::string stem = baseName(withoutExtension(tablePath));
  return findNoCase(fs, directoryOf(tablePath), stem + std::string(ext));
}

}  // namespace rf::tables
