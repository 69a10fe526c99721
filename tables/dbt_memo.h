#pragma once
// The dBASE memo file (.DBT) in its two layouts.
//
// dBASE III: 512-byte blocks; the header holds only the next free block (offset 0) and, from
// dBASE III itself, a 0x03 at offset 16. A memo is bare text ended by 0x1A (dBASE writes two;
// a lone one ends it too), so it cannot hold that byte.
//
// dBASE IV (and dBASE 7, and the BDE): the block size is at offset 20 (64..2048 seen), the
// table name at 8..15, the header fills block 0. A memo starts with FF FF 08 00 and a 4-byte
// length that counts those 8 bytes, so any bytes fit. Blocks given back form a free chain:
// the header's "next free block" points at the first free run, each run starts with the
// number of the next run and its own length in blocks, and the chain ends at the first block
// past the end of the file. Runs are kept in ascending order and merged when they touch.
//
// Which layout a file has is read from its header (see detectLayout in dbt_memo.cpp); the
// table's version byte only breaks ties.
//
// Seen in the real files: every dBASE III memo ends 1A 1A, the last one of a file unpadded; the
// dBASE IV header is block 0 whatever the block size (with 64-byte blocks the first memo is at
// offset 64), and the S7 tool writes a bare 24-byte header for an empty table; SIPROM.DBT holds
// a one-block free run at block 1 (next 5 = the end, length 1) in front of live memos. In every
// file without free runs the next free block is the end of the file, rounded up to a block.
// Perl XBase appends at the end of the file whatever the header says and then points the header
// there, so after it writes, our free chain is simply forgotten: space lost, nothing overwritten.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tables/memo_file.h"

namespace rf::tables {

class DbtMemo final : public MemoFile {
 public:
  // `hint` is the family the table's version byte names (Dbase3 or Dbase4).
  DbtMemo(File& file, MemoFlavor hint);

  static void create(File& file, MemoFlavor flavor, std::string_view tableName, int blockSize);

  MemoFlavor flavor() const override { return layout_; }
  int blockSize() const override { return static_cast<int>(blockSize_); }

  Memo read(std::uint32_t block) override;
  std::uint32_t write(Transaction& tx, std::span<const std::uint8_t> data, std::uint32_t type,
                      std::uint32_t previous) override;
  void release(Transaction& tx, std::uint32_t block) override;
  void clear(Transaction& tx) override;
  void refresh() override;
  void check(std::span<const std::uint32_t> used, CheckReport& report) override;

 private:
  using View = FileView;
  // Where a stored memo lies: its data and how many blocks it takes, or why it is unreadable.
  struct Extent {
    std::uint32_t block = 0;
    std::uint32_t blocks = 0;
    std::uint64_t dataOffset = 0;
    std::uint64_t dataLength = 0;
    std::string problem;  // empty when readable
    std::uint64_t problemOffset = 0;
  };
  struct FreeRun {
    std::uint32_t block;
    std::uint32_t count;
    std::uint32_t next;
  };
  struct Chain {
    std::vector<FreeRun> runs;
    std::uint32_t terminal = 0;  // the link that ends the chain: where appending starts
    std::string problem;         // empty when the chain is sound
    std::uint64_t problemOffset = 0;
  };

  void detectLayout(const View& v);
  // `data`, when given, receives the memo's bytes.
  Extent locate(const View& v, std::uint32_t block, Bytes* data = nullptr) const;
  Chain walkChain(const View& v) const;
  std::uint32_t endBlock(const View& v) const;
  std::uint32_t headerNext(const View& v) const;
  std::uint32_t appendPosition(const View& v, std::uint32_t pointer) const;
  std::uint32_t blocksFor(std::uint64_t bytes) const;
  void writeBlocks(Transaction& tx, std::uint32_t block, std::span<const std::uint8_t> encoded);
  void writeLink(Transaction& tx, const Chain& chain, std::size_t runIndex, std::uint32_t target);
  void freeBlocks(Transaction& tx, std::uint32_t block, std::uint32_t count);
  std::vector<std::uint8_t> encode(std::span<const std::uint8_t> data) const;

  File& file_;
  MemoFlavor hint_;
  MemoFlavor layout_ = MemoFlavor::Dbase3;
  std::uint32_t blockSize_ = 512;
};

}  // namespace rf::tables
