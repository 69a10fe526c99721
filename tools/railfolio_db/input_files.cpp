#include "tools/railfolio_db/input_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tools/railfolio_db/tool_context.h"

namespace rf::tool {

void requireExistingFile(const std::string& path) {
  std::error_code ec;
  auto st = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(st)) throw UsageError(path + ": no such file");
  if (std::filesystem::is_directory(st)) throw UsageError(path + ": is a directory, not a table");
  if (!std::filesystem::is_regular_file(st)) throw UsageError(path + ": not a regular file");
}

std::string readWholeFile(const std::string& path) {
  requireExistingFile(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError(path + ": cannot be read: " + std::strerror(errno));
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw UsageError(path + ": cannot be read");
  return text;
}

}  // namespace rf::tool
