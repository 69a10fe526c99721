#pragma once
// The memo file of an xBase table: .DBT (dBASE III and dBASE IV layouts) or .FPT (FoxPro).
// Reads go straight to the file; every change goes through a Transaction.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "tables/file_system.h"
#include "tables/journal.h"
#include "tables/table.h"
#include "tables/value.h"

namespace rf::tables {

enum class MemoFlavor { Dbase3, Dbase4, FoxPro };

class MemoFile {
 public:
  virtual ~MemoFile() = default;

  // `file` stays owned by the caller and open as long as the MemoFile. For the dBASE family the
  // layout (III or IV) is read from the header; `flavor` says which family.
  static std::unique_ptr<MemoFile> open(File& file, MemoFlavor flavor);
  // Writes the header of a new, empty memo file (`file` is empty). blockSize 0 = the default
  // (512 for .DBT, 64 for .FPT).
  static void create(File& file, MemoFlavor flavor, std::string_view tableName, int blockSize = 0);

  virtual MemoFlavor flavor() const = 0;
  virtual int blockSize() const = 0;

  struct Memo {
    std::uint32_t type = 1;  // FPT: 0 picture/binary, 1 text, 2 object; DBT: always 1
    Bytes data;
  };
  // The memo starting at `block`. Throws Corrupt (naming file and offset) for a block past the
  // end or a broken memo header, never reads out of bounds, never allocates more than the file
  // holds.
  virtual Memo read(std::uint32_t block) = 0;
  // Stores `data` and returns its first block. `previous` (0: none) is the block of the value it
  // replaces; its space may be reused when the format allows it.
  virtual std::uint32_t write(Transaction& tx, std::span<const std::uint8_t> data, std::uint32_t type,
                              std::uint32_t previous) = 0;
  // The value at `block` is no longer referenced.
  virtual void release(Transaction& tx, std::uint32_t block) = 0;
  // Back to an empty memo file (header only).
  virtual void clear(Transaction& tx) = 0;
  // Re-reads the header (after another writer).
  virtual void refresh() = 0;
  // Checks the header and that every block in `used` holds a readable memo inside the file.
  virtual void check(std::span<const std::uint32_t> used, CheckReport& report) = 0;
};

}  // namespace rf::tables
