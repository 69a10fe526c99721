#pragma once
// Helpers shared by the engine's tests.

#include <string>
#include <vector>

#include "tables/value.h"

namespace rf::test {

// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// shared/fixtures/real/<relative>. The fixtures are read-only: copy before writing.
std::string fixturePath(const std::string& relative);
// Copies fixture files (given relative to shared/fixtures/real) into `dir`, keeping their names;
// returns the path of the first.
std::string copyFixtures(const std::vector<std::string>& relatives, const std::string& dir);
void copyFile(const std::string& from, const std::string& to);

std::vector<std::uint8_t> readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Runs a shell command; returns its exit status and puts its standard output in `out`.
int runCommand(const std::string& command, std::string* out = nullptr);
// Quotes for /bin/sh.
std::string shellQuote(const std::string& s);

tables::Date ymd(int y, unsigned m, unsigned d);

}  // namespace rf::test
