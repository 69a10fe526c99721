#pragma once
// What `railfolio-sample` is asked to make.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace rf::sample {

struct SampleOptions {
  std::string outDir;
  std::string dataDir;      // the delivered data directory the tables are copied from
  int count = 300;          // inventory pieces
  std::uint64_t seed = 1;
  int photos = 12;          // pieces that get a drawn photo
  int waybills = -1;        // waybills of every piece; -1: none to three for each freight car
  bool help = false;
};

// Thrown for a command line that cannot be followed; the message says why.
class SampleUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// `defaultDataDir` is used when no --data is given.
SampleOptions parseSampleOptions(const std::vector<std::string>& args, const std::string& defaultDataDir);
const char* sampleUsage();

}  // namespace rf::sample
