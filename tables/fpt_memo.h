#pragma once
// The FoxPro memo file (.FPT, also the .DCT of a database container).
//
// A 512-byte header holds the next free block (offset 0) and the block size (offset 6), both
// big-endian; memos start at the first block past the header. Each memo is a big-endian type
// (0 picture/binary, 1 text, 2 object) and length, then its bytes. FoxPro keeps no free list:
// a value that outgrows its blocks moves to the end of the file and its old space stays unused.
//
// Every FoxPro and Visual FoxPro file seen uses 64-byte blocks (first memo at block 8) and keeps
// the next free block at the end of the file, rounded up to a block; Perl XBase writes 512-byte
// blocks (first memo at block 1).

#include <cstdint>
#include <span>
#include <string>

#include "tables/memo_file.h"

namespace rf::tables {

class FptMemo final : public MemoFile {
 public:
  explicit FptMemo(File& file);

  static void create(File& file, int blockSize);

  MemoFlavor flavor() const override { return MemoFlavor::FoxPro; }
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
  // Where a stored memo lies, or why it cannot be read.
  struct Extent {
    std::uint32_t type = 0;
    std::uint32_t blocks = 0;
    std::uint64_t dataOffset = 0;
    std::uint32_t dataLength = 0;
    std::string problem;  // empty when readable
    std::uint64_t problemOffset = 0;
  };

  Extent locate(const View& v, std::uint32_t block) const;
  std::uint32_t firstDataBlock() const;
  std::uint32_t endBlock(const View& v) const;
  std::uint32_t headerNext(const View& v) const;
  std::uint32_t blocksFor(std::uint64_t bytes) const;

  File& file_;
  std::uint32_t blockSize_ = 64;
};

}  // namespace rf::tables
