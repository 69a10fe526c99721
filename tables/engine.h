#pragma once
// Entry point of the table engine: finds a table by name through an alias or the working
// directory, picks its format, opens, creates and empties tables.

#include <memory>
#include <optional>
#include <string>

#include "tables/engine_config.h"
#include "tables/file_system.h"
#include "tables/schema.h"
#include "tables/table.h"

namespace rf::tables {

struct OpenRequest {
  std::string name;              // file name, with or without extension, any case
  std::optional<Format> format;  // declared format; else from the extension
  std::string alias;             // empty: the working directory (or a path in `name`)
  std::string indexFile;         // FoxPro: a separately named .cdx to keep with the table
  bool readOnly = false;
  bool exclusive = false;        // fail with Locked unless no other open of the table exists
};

class Engine {
 public:
  explicit Engine(std::string configPath = EngineConfig::defaultPath(),
                  FileSystem& fs = FileSystem::real());

  EngineConfig& config() { return config_; }
  FileSystem& fileSystem() { return fs_; }

  // The directory an alias names; throws NotFound ("Unknown database alias: NAME").
  std::string aliasDirectory(const std::string& alias) const;
  // The path the request refers to (case-insensitive match, extension supplied by the format).
  std::string resolve(const OpenRequest& req) const;

  std::unique_ptr<Table> open(const OpenRequest& req);
  // Opens the table exclusively, empties it and closes it.
  void empty(const OpenRequest& req);
  // Creates a new table (and its memo and index files) at `path`; fails when it exists.
  std::unique_ptr<Table> create(const std::string& path, const TableDef& def);

  // By path, with the format from the extension unless given.
  std::unique_ptr<Table> openPath(const std::string& path, std::optional<Format> format = {},
                                  bool readOnly = false, bool exclusive = false,
                                  const std::string& indexFile = {});

 private:
  FileSystem& fs_;
  EngineConfig config_;
};

// Format families. Each opens or creates one table by path.
struct OpenOptions {
  bool readOnly = false;
  bool exclusive = false;
  std::string indexFile;  // FoxPro: extra .cdx path
  // Loading a new table in bulk: see Journal::setSyncOnCommit. Default: every save is synced.
  bool bulkLoad = false;
};
std::unique_ptr<Table> openXbaseTable(FileSystem& fs, const std::string& path, Format format,
                                      const OpenOptions& options);
std::unique_ptr<Table> createXbaseTable(FileSystem& fs, const std::string& path, const TableDef& def);
std::unique_ptr<Table> openParadoxTable(FileSystem& fs, const std::string& path, const OpenOptions& options);
std::unique_ptr<Table> createParadoxTable(FileSystem& fs, const std::string& path, const TableDef& def);

}  // namespace rf::tables
