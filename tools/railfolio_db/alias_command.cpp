// railfolio-db alias set NAME DIR | alias list: the aliases of the engine's configuration.

#include <filesystem>

#include "tools/railfolio_db/commands.h"

namespace rf::tool {

namespace {

bool validAliasName(const std::string& name) {
  for (char c : name)
    if (c == '=' || c == '#' || c == '[' || c == ']' || c == '\n' || c == '\r') return false;
  return name.find_first_not_of(" \t") != std::string::npos && name.front() != ' ' &&
         name.back() != ' ';
}

}  // namespace

int runAlias(ToolContext& ctx, const Args& args) {
  const std::string usage = "railfolio-db alias set NAME DIR | railfolio-db alias list";
  if (args.empty()) throw UsageError("missing arguments; usage: " + usage);
  const Args rest(args.begin() + 1, args.end());
  if (args[0] == "list") {
    requirePositional(rest, 0, usage);
    for (const auto& [name, dir] : ctx.engine.config().aliases())
      ctx.out << name << " = " << dir << '\n';
    return kExitOk;
  }
  if (args[0] != "set") throw UsageError("unknown alias command '" + args[0] + "'; usage: " + usage);
  requirePositional(rest, 2, usage);
  const std::string& name = rest[0];
  if (!validAliasName(name))
    throw UsageError("'" + name + "' cannot be an alias name (no '=', '#', brackets, line breaks "
                     "or surrounding blanks)");
  // Stored absolute: the configuration is read from any working directory.
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::absolute(rest[1], ec);
  if (ec || !std::filesystem::is_directory(dir, ec))
    throw UsageError(rest[1] + ": no such directory");
  dir = dir.lexically_normal();
  std::string text = dir.string();
  if (text.size() > 1 && text.back() == '/') text.pop_back();
  ctx.engine.config().setAlias(name, text);
  ctx.out << name << " = " << text << '\n';
  return kExitOk;
}

}  // namespace rf::tool
