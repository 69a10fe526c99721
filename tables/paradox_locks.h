#pragma once
// This engine's byte-range locks on a Paradox table, all on the .DB file far beyond its end (a
// .DB holds at most 65535 blocks of 32 KB, so nothing of it lies at 0x40000000 or above). The
// classic engine's locking works through its own lock files, which are not documented; these
// locks exclude our own processes from each other.

#include <cstdint>
#include <string>

namespace rf::tables::paradox {

// Held shared by every open of the table; exclusive use (emptying, exclusive opens) takes it
// exclusively.
constexpr std::uint64_t kOpenLock = 0x7FFFFF00;
// The commit lock of the journal: held by a writer for the whole of a change.
constexpr std::uint64_t kCommitLock = 0x7FFFFF01;
// Record locks: one byte per record in [base, base + range). A keyed table's record is known by
// its primary key, hashed into the range (two keys may share a byte: the second waits for no
// reason, never the reverse); an unkeyed table's record by its contents.
constexpr std::uint64_t kRecordLockBase = 0x40000000;
constexpr std::uint64_t kRecordLockRange = 0x3FFFFF00;

inline std::uint64_t recordLockOffset(const std::string& identity) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : identity) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return kRecordLockBase + h % kRecordLockRange;
}

}  // namespace rf::tables::paradox
