#include "tools/railfolio_db/command_line.h"

namespace rf::tool {

CommandLine parseCommandLine(int argc, char** argv) {
  CommandLine cl;
  int i = 1;
  for (; i < argc; ++i) {
    std::string word = argv[i];
    if (word == "--help" || word == "-h") {
      cl.help = true;
    } else if (word == "--config") {
      if (i + 1 >= argc) throw UsageError("--config needs a file path");
      cl.configPath = argv[++i];
      if (cl.configPath.empty()) throw UsageError("--config needs a file path");
    } else if (word.starts_with("--config=")) {
      cl.configPath = word.substr(9);
      if (cl.configPath.empty()) throw UsageError("--config needs a file path");
    } else if (word.starts_with("-") && word.size() > 1) {
      throw UsageError("unknown option " + word);
    } else {
      break;
    }
  }
  if (i < argc) cl.command = argv[i++];
  for (; i < argc; ++i) cl.args.emplace_back(argv[i]);
  return cl;
}

std::string takeOption(Args& args, const std::string& name) {
  std::string value;
  const std::string flag = "--" + name;
  for (std::size_t i = 0; i < args.size();) {
    if (args[i] == flag) {
      if (i + 1 >= args.size() || args[i + 1].empty())
        throw UsageError(flag + " needs a value");
      value = args[i + 1];
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                 args.begin() + static_cast<std::ptrdiff_t>(i + 2));
    } else if (args[i].starts_with(flag + "=")) {
      value = args[i].substr(flag.size() + 1);
      if (value.empty()) throw UsageError(flag + " needs a value");
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  return value;
}

void requirePositional(const Args& args, std::size_t count, const std::string& usage) {
  for (const auto& a : args)
    if (a.size() > 1 && a[0] == '-') throw UsageError("unknown option " + a + "; usage: " + usage);
  if (args.size() != count) {
    throw UsageError(std::string(args.size() < count ? "missing" : "too many") +
                     " arguments; usage: " + usage);
  }
  for (const auto& a : args)
    if (a.empty()) throw UsageError("empty argument; usage: " + usage);
}

}  // namespace rf::tool
