#include "tables/engine_config.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tables/error.h"
#include "tables/file_system.h"
#include "tables/schema.h"

namespace rf::tables {

namespace {
std::string trim(const std::string& s) {
  auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}
}  // namespace

std::string EngineConfig::defaultPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg && *xdg) {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : ".") + "/.config";
  }
  return base + "/railfolio/engine.conf";
}

EngineConfig::EngineConfig(std::string path) : path_(std::move(path)) {
  std::ifstream in(path_);
  if (!in) return;
  std::string line;
  int number = 0;
  bool inAliases = false;
  while (std::getline(in, line)) {
    ++number;
    std::string t = trim(line);
    if (t.empty() || t[0] == '#' || t[0] == ';') continue;
    if (t.front() == '[') {
      if (t.back() != ']') throwCorrupt(path_, "malformed section on line " + std::to_string(number));
      inAliases = equalsNoCase(trim(t.substr(1, t.size() - 2)), "aliases");
      continue;
    }
    auto eq = t.find('=');
    if (eq == std::string::npos) throwCorrupt(path_, "expected 'name = directory' on line " + std::to_string(number));
    if (!inAliases) continue;
    std::string name = trim(t.substr(0, eq));
    std::string dir = trim(t.substr(eq + 1));
    if (name.empty()) throwCorrupt(path_, "alias without a name on line " + std::to_string(number));
    bool replaced = false;
    for (auto& [n, d] : aliases_)
      if (equalsNoCase(n, name)) {
        d = dir;
        replaced = true;
      }
    if (!replaced) aliases_.emplace_back(name, dir);
  }
}

std::optional<std::string> EngineConfig::alias(std::string_view name) const {
  for (const auto& [n, d] : aliases_)
    if (equalsNoCase(n, name)) return d;
  return std::nullopt;
}

void EngineConfig::setAlias(const std::string& name, const std::string& directory) {
  if (name.empty() || name.find_first_of("=[]#;\n") != std::string::npos || name != trim(name))
    throwError(ErrorKind::InvalidInput, path_, "invalid alias name '" + name + "'");
  if (directory.find('\n') != std::string::npos || directory.empty())
    throwError(ErrorKind::InvalidInput, path_, "invalid directory for alias '" + name + "'");
  bool replaced = false;
  for (auto& [n, d] : aliases_)
    if (equalsNoCase(n, name)) {
      d = directory;
      replaced = true;
    }
  if (!replaced) aliases_.emplace_back(name, directory);
  save();
}

void EngineConfig::save() const {
  std::error_code ec;
  auto parent = std::filesystem::path(path_).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  std::ostringstream text;
  text << "# Railfolio table engine: database aliases\n[aliases]\n";
  for (const auto& [n, d] : aliases_) text << n << " = " << d << "\n";
  std::string body = text.str();
  FileSystem& fs = FileSystem::real();
  std::string tmp = path_ + ".tmp";
  {
    auto f = fs.open(tmp, OpenMode::Create);
    f->writeAt(0, std::span(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()));
    f->sync();
  }
  fs.rename(tmp, path_);
  fs.syncDirectory(parent.string());
}

}  // namespace rf::tables
