#pragma once
// Paths and the case-insensitive matching of table and companion file names.

#include <optional>
#include <string>
#include <string_view>

#include "tables/file_system.h"

namespace rf::tables {

std::string joinPath(std::string_view dir, std::string_view name);
std::string directoryOf(std::string_view path);  // "" for a bare name
std::string baseName(std::string_view path);
std::string extensionOf(std::string_view path);  // with the dot, as written; "" when none
std::string withoutExtension(std::string_view path);

// The entry of `dir` whose name equals `name` regardless of case (an exact match wins), as a
// path; nullopt when none.
std::optional<std::string> findNoCase(FileSystem& fs, const std::string& dir, std::string_view name);
// The companion of `tablePath` with extension `ext` (".DBT", ".mdx", ...) matched regardless of
// case, or nullopt.
std::optional<std::string> findCompanion(FileSystem& fs, const std::string& tablePath, std::string_view ext);

}  // namespace rf::tables
