#include "tables/error.h"

#include <cstring>

namespace rf::tables {

const char* errorKindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::Corrupt: return "corrupt";
    case ErrorKind::Io: return "I/O error";
    case ErrorKind::NotFound: return "not found";
    case ErrorKind::Locked: return "locked";
    case ErrorKind::InvalidInput: return "invalid input";
    case ErrorKind::KeyViolation: return "key violation";
    case ErrorKind::Unsupported: return "unsupported";
  }
  return "error";
}

TableError::TableError(ErrorKind kind, std::string file, const std::string& message)
    : std::runtime_error(message), kind_(kind), file_(std::move(file)) {}

static std::string prefixed(const std::string& file, const std::string& what) {
  return file.empty() ? what : file + ": " + what;
}

void throwCorrupt(const std::string& file, const std::string& what, std::uint64_t offset) {
  throw TableError(ErrorKind::Corrupt, file,
                   prefixed(file, what + " (at offset " + std::to_string(offset) + ")"));
}

void throwCorrupt(const std::string& file, const std::string& what) {
  throw TableError(ErrorKind::Corrupt, file, prefixed(file, what));
}

void throwIo(const std::string& file, const std::string& what, int errnum) {
  throw TableError(ErrorKind::Io, file, prefixed(file, what + ": " + std::strerror(errnum)));
}

void throwError(ErrorKind kind, const std::string& file, const std::string& what) {
  throw TableError(kind, file, prefixed(file, what));
}

}  // namespace rf::tables
