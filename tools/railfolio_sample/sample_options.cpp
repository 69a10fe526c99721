#include "tools/railfolio_sample/sample_options.h"

#include <charconv>
#include <type_traits>

namespace rf::sample {

namespace {

template <class T>
T parseCount(const std::string& option, const std::string& text, T max) {
  T v{};
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  bool negative = false;
  if constexpr (std::is_signed_v<T>) negative = v < 0;
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || negative || v > max)
    throw SampleUsageError(option + ": '" + text + "' is not a whole number from 0 to " + std::to_string(max));
  return v;
}

}  // namespace

const char* sampleUsage() {
  return R"(Usage: railfolio-sample OUT_DIR [--count N] [--seed S] [--photos K] [--waybills W]
                        [--data DIR]

Makes a complete sample collection in OUT_DIR (created when missing; it must not hold tables
yet): every delivered table, an inventory of N pieces (default 300) with K drawn photos
(default 12), waybills for the freight cars, and the counters set to the last numbers used.
The same seed (default 1) makes the same collection. The folder serves as the working directory
(Inven.DB, SHOPS.DBF) and as the directory of the alias "rf" (all other tables).

  --waybills W  exactly W waybills for every piece, whatever its kind (for measuring large
                operating sessions)
  --data DIR    the delivered data directory to start from (default: the one the build made)
)";
}

SampleOptions parseSampleOptions(const std::vector<std::string>& args, const std::string& defaultDataDir) {
  SampleOptions o;
  o.dataDir = defaultDataDir;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw SampleUsageError(a + " needs a value");
      return args[++i];
    };
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--count") {
      o.count = parseCount<int>(a, value(), 10'000'000);
    } else if (a == "--seed") {
      o.seed = parseCount<std::uint64_t>(a, value(), UINT64_MAX);
    } else if (a == "--photos") {
      o.photos = parseCount<int>(a, value(), 10'000'000);
    } else if (a == "--waybills") {
      o.waybills = parseCount<int>(a, value(), 1000);
    } else if (a == "--data") {
      o.dataDir = value();
    } else if (!a.empty() && a[0] == '-') {
      throw SampleUsageError("unknown option " + a);
    } else if (o.outDir.empty()) {
      o.outDir = a;
    } else {
      throw SampleUsageError("only one OUT_DIR may be given");
    }
  }
  if (!o.help && o.outDir.empty()) throw SampleUsageError("OUT_DIR is missing");
  if (o.photos > o.count) o.photos = o.count;
  return o;
}

}  // namespace rf::sample
