// railfolio-db check FILE: the engine's integrity check of a table with its memo and index
// files, read-only. A table the engine refuses to open as corrupt is a finding (exit 1), like
// any problem the check reports; a file that cannot be read at all is an error (exit 2).
//
// Beside the check it reports, without touching them, what other programs left in the
// directory: a journal with changes not yet applied (they are completed when the table is next
// opened for writing) and the lock files of the classic Paradox engine.

#include <filesystem>

#include "tables/error.h"
#include "tables/file_names.h"
#include "tables/journal.h"
#include "tools/railfolio_db/commands.h"
#include "tools/railfolio_db/input_files.h"

namespace rf::tool {

namespace {

namespace fs = std::filesystem;

// The journal beside `tablePath` (any case of its name), when it holds anything.
std::optional<std::string> leftoverJournal(tables::FileSystem& files, const std::string& tablePath) {
  std::string dir = tables::directoryOf(tablePath);
  auto found = tables::findNoCase(files, dir.empty() ? "." : dir,
                                  tables::baseName(tables::Journal::pathFor(tablePath)));
  if (!found) return std::nullopt;
  std::error_code ec;
  auto size = fs::file_size(*found, ec);
  if (ec || size == 0) return std::nullopt;
  return found;
}

std::vector<std::string> paradoxLockFiles(tables::FileSystem& files, const std::string& tablePath) {
  std::string dir = tables::directoryOf(tablePath);
  std::vector<std::string> found;
  for (const char* name : {"PDOXUSRS.NET", "PARADOX.LCK", "PDOXUSRS.LCK"})
    if (auto p = tables::findNoCase(files, dir.empty() ? "." : dir, name)) found.push_back(*p);
  return found;
}

bool looksParadox(const std::string& path) {
  return tables::upperAscii(tables::extensionOf(path)) == ".DB";
}

}  // namespace

int runCheck(ToolContext& ctx, const Args& args) {
  requirePositional(args, 1, "railfolio-db check FILE");
  const std::string& path = args[0];
  requireExistingFile(path);
  tables::FileSystem& files = ctx.engine.fileSystem();

  const auto journal = leftoverJournal(files, path);
  std::unique_ptr<tables::Table> table;
  std::vector<std::string> problems;
  try {
    table = ctx.engine.openPath(path, std::nullopt, /*readOnly=*/true);
  } catch (const tables::TableError& e) {
    if (e.kind() != tables::ErrorKind::Corrupt) throw;
    problems.push_back(e.what());
  }
  std::size_t indexCount = 0;
  std::uint64_t records = 0;
  bool paradox = looksParadox(path);
  if (table) {
    try {
      problems = table->check().problems;
    } catch (const tables::TableError& e) {
      // A check that cannot even finish found the worst kind of problem.
      if (e.kind() != tables::ErrorKind::Corrupt) throw;
      problems.push_back(e.what());
    }
    indexCount = table->indexes().size();
    const tables::TableInfo info = table->info();
    records = info.recordCount;
    paradox = info.format == tables::Format::Paradox;
  }

  if (journal)
    ctx.out << "note: " << *journal
            << ": a journal of changes not yet applied to the files; they are completed when "
               "the table is next opened for writing\n";
  if (paradox)
    for (const auto& lock : paradoxLockFiles(files, path))
      ctx.out << "note: " << lock << ": a lock file of the classic Paradox engine (left alone)\n";

  if (!problems.empty()) {
    ctx.out << path << ": " << problems.size() << (problems.size() == 1 ? " problem" : " problems")
            << '\n';
    for (const auto& p : problems) ctx.out << "  " << p << '\n';
    return kExitProblems;
  }
  ctx.out << path << ": ok (" << records << (records == 1 ? " record, " : " records, ")
          << indexCount << (indexCount == 1 ? " index" : " indexes") << ")\n";
  return kExitOk;
}

}  // namespace rf::tool
