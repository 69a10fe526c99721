#pragma once
// The engine's own configuration file: the database aliases. It is the engine's, not the
// application's. Default place: $XDG_CONFIG_HOME/railfolio/engine.conf (~/.config when unset).
// Format: one "alias = directory" a line under a "[aliases]" section; '#' starts a comment.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rf::tables {

class EngineConfig {
 public:
  static std::string defaultPath();
  // Loads `path` when it exists (a missing file is an empty configuration; a malformed line
  // throws Corrupt naming the file and line).
  explicit EngineConfig(std::string path);

  const std::string& path() const { return path_; }
  // The directory of an alias, matched regardless of case.
  std::optional<std::string> alias(std::string_view name) const;
  const std::vector<std::pair<std::string, std::string>>& aliases() const { return aliases_; }
  // Defines or redefines an alias and writes the file (temp file, sync, rename).
  void setAlias(const std::string& name, const std::string& directory);

 private:
  void save() const;
  std::string path_;
  std::vector<std::pair<std::string, std::string>> aliases_;
};

}  // namespace rf::tables
