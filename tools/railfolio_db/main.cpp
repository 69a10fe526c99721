// railfolio-db: the table engine's command-line tool. main() only parses the global options,
// picks the command and turns every failure into a message on standard error and exit code 2.

#include <iostream>
#include <map>
#include <memory>

#include "tables/error.h"
#include "tools/railfolio_db/command_line.h"
#include "tools/railfolio_db/commands.h"
#include "tools/railfolio_db/usage.h"

namespace {

using rf::tool::Args;
using rf::tool::ToolContext;
using Command = int (*)(ToolContext&, const Args&);

const std::map<std::string, Command>& commandTable() {
  static const std::map<std::string, Command> table = {
      {"info", rf::tool::runInfo},     {"dump", rf::tool::runDump},
      {"check", rf::tool::runCheck},   {"empty", rf::tool::runEmpty},
      {"alias", rf::tool::runAlias},   {"create", rf::tool::runCreate},
      {"load", rf::tool::runLoad},
  };
  return table;
}

int fail(const std::string& message) {
  std::cout.flush();
  std::cerr << "railfolio-db: " << message << '\n';
  return rf::tool::kExitError;
}

int run(int argc, char** argv) {
  rf::tool::CommandLine cl = rf::tool::parseCommandLine(argc, argv);
  if (cl.help || cl.command == "help") {
    std::cout << rf::tool::usageText();
    return rf::tool::kExitOk;
  }
  if (cl.command.empty()) {
    std::cerr << rf::tool::usageText();
    return rf::tool::kExitError;
  }
  auto it = commandTable().find(cl.command);
  if (it == commandTable().end())
    throw rf::tool::UsageError("unknown command '" + cl.command + "' (see railfolio-db --help)");

  std::unique_ptr<rf::tables::Engine> engine =
      cl.configPath.empty() ? std::make_unique<rf::tables::Engine>()
                            : std::make_unique<rf::tables::Engine>(cl.configPath);
  ToolContext ctx{*engine, std::cout, std::cerr};
  int code = it->second(ctx, cl.args);
  std::cout.flush();
  if (!std::cout) return fail("could not write to standard output");
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  try {
    return run(argc, argv);
  } catch (const rf::tool::UsageError& e) {
    return fail(e.what());
  } catch (const rf::tables::TableError& e) {
    return fail(e.what());
  } catch (const std::exception& e) {
    return fail(e.what());
  } catch (...) {
    return fail("unexpected failure");
  }
}
