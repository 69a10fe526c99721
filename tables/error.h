#pragma once
// The one exception type of the table engine. Every refused operation throws it; no layer of
// the engine catches it to hide a failure.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace rf::tables {

enum class ErrorKind {
  Corrupt,       // a file does not follow its format
  Io,            // the operating system refused a read, write, sync or similar
  NotFound,      // a file, alias, field or index that was named does not exist
  Locked,        // another user holds a lock that the operation needs
  InvalidInput,  // a value or argument the operation cannot accept
  KeyViolation,  // a unique or primary key would be duplicated
  Unsupported,   // a valid file feature this engine does not handle (e.g. an index expression)
};

const char* errorKindName(ErrorKind kind);

class TableError : public std::runtime_error {
 public:
  // `file` is the path the failure concerns (may be empty); `message` is the full text that is
  // shown to the user and already names the file where that helps.
  TableError(ErrorKind kind, std::string file, const std::string& message);

  ErrorKind kind() const noexcept { return kind_; }
  const std::string& file() const noexcept { return file_; }

 private:
  ErrorKind kind_;
  std::string file_;
};

// Helpers that build the message in one style: "<file>: <what>" and, for corruption, the offset.
[[noreturn]] void throwCorrupt(const std::string& file, const std::string& what, std::uint64_t offset);
[[noreturn]] void throwCorrupt(const std::string& file, const std::string& what);
[[noreturn]] void throwIo(const std::string& file, const std::string& what, int errnum);
[[noreturn]] void throwError(ErrorKind kind, const std::string& file, const std::string& what);

}  // namespace rf::tables
