#pragma once
// Byte-range lock offsets of the xBase family, far beyond the end of the .DBF, as dBASE and the
// classic Windows engine (dBASE tables) and FoxPro (FoxPro tables) place them, so their users
// and ours exclude each other.

#include <cstdint>

namespace rf::tables {

struct XbaseLockScheme {
  std::uint64_t recordBase;  // a record's lock byte is recordBase - record number
  std::uint64_t tableStart;  // the whole-table lock range
  std::uint64_t tableLength;
  std::uint64_t append;      // the append/header lock byte: also our commit lock
  // Every open of ours holds this byte shared; exclusive use takes it exclusively. It lies in
  // the table range, below every record lock.
  std::uint64_t openByte() const { return tableStart; }

  static XbaseLockScheme dbase() { return {0xEFFFFFFEull, 0x40000000ull, 0xB0000000ull, 0xEFFFFFFFull}; }
  static XbaseLockScheme foxpro() { return {0x7FFFFFFEull, 0x78000000ull, 0x07FFFFFFull, 0x7FFFFFFEull}; }
};

}  // namespace rf::tables
