#pragma once
// The blob file of a Paradox table (.MB): memo, formatted memo, binary, graphic and OLE values
// too long for their leader in the record.
//
// 4 KB units. The header (unit 0) holds the modification count at 3 and, found by experiment on
// every real file, a list of where free space is from 0x38: 8-byte entries of a 32-bit offset
// whose low byte says what lies there (2: a sub-allocated block with free chunks, 3: a run of
// free blocks) and a 32-bit count (free 16-byte chunks, or free 4 KB blocks). This engine finds
// free space only through that list and keeps it exact, so the original engine and this one
// never hand out the same space.
//
// Blocks start with a type (2: one blob, 3: sub-allocated, 4: free) and their length in 4 KB
// units. A type 2 block holds one blob over 2 KB: length (4 bytes) and modification number (2)
// follow, the data starts at 9. A type 3 block holds up to 64 small blobs: 64 five-byte slots
// from 12 (data offset / 16, chunks, modification number, length mod 16 with 16 for a full
// chunk), used from slot 63 down, data in 16-byte chunks from 0x150. A deleted slot has offset 0.
// A record points at a blob with its offset in the file, the low byte being the slot (0xFF for
// a type 2 block). Blobs are never rewritten in place: a changed value is a new blob and the
// old one is given back.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tables/paradox_block_chain.h"
#include "tables/paradox_field_codec.h"
#include "tables/table.h"

namespace rf::tables::paradox {

class BlobFile {
 public:
  explicit BlobFile(File& file) : file_(file) {}

  File& file() { return file_; }
  const std::string& path() const { return file_.path(); }

  // The header of a new, empty blob file.
  static std::vector<std::uint8_t> emptyHeader();

  // Drops what reads outside a transaction keep (after a change or a refresh).
  void clearReadCache() {
    cachedAt_ = 0;
    loadedSize_ = file_.size();
  }
  // Reads the header (signature, modification count, free list).
  void load(const BlockIo& io);
  std::uint16_t modCount() const { return modCount_; }
  // The next modification number (a changed value gets a new one).
  std::uint16_t bumpModCount();

  // The blob a record refers to (not one held in its leader). Corrupt, naming the file and the
  // offset, for a reference that does not lead to a live blob of that length.
  Bytes read(const BlockIo& io, const BlobRef& ref);
  // Stores a blob; returns the reference to put in the record.
  BlobRef write(const BlockIo& io, std::span<const std::uint8_t> data, std::uint16_t mod);
  // Gives a blob's space back.
  void release(const BlockIo& io, const BlobRef& ref);
  // Writes the changed header.
  void flush(const BlockIo& io);
  // Back to the header alone.
  void clear(const BlockIo& io);

  // Checks every block and that `used` (each blob referred to by a record, with where from)
  // are live, distinct and of the right length.
  struct Use {
    BlobRef ref;
    std::string where;
  };
  void check(const std::vector<Use>& used, CheckReport& report);

  static constexpr std::uint32_t kUnit = 4096;
  static constexpr std::size_t kSmallLimit = 2048;  // blobs up to this size are sub-allocated
  static constexpr std::size_t kMaxFreeEntries = 64;

 private:
  struct FreeEntry {
    std::uint32_t offset;
    std::uint8_t kind;  // 2 or 3
    std::uint32_t count;
  };
  struct Slot {
    std::uint32_t offset;  // bytes from the block start; 0 deleted
    std::uint32_t chunks;
    std::uint16_t mod;
    std::uint32_t length;
  };
  static Slot slotAt(const std::uint8_t* block, int i);
  static std::uint32_t freeChunks(const std::uint8_t* block);
  // The first run of `chunks` free chunks, or 0.
  static std::uint32_t findRun(const std::uint8_t* block, std::uint32_t chunks);

  BlobRef writeSmall(const BlockIo& io, std::span<const std::uint8_t> data, std::uint16_t mod);
  BlobRef writeLarge(const BlockIo& io, std::span<const std::uint8_t> data, std::uint16_t mod);
  // `units` free 4 KB units: from a listed free run, else from the end of the file.
  std::uint32_t takeUnits(const BlockIo& io, std::uint32_t units);
  void addFreeRun(const BlockIo& io, std::uint32_t offset, std::uint32_t units);
  void setSubEntry(std::uint32_t offset, std::uint32_t freeChunks);
  void readUnitHeader(const BlockIo& io, std::uint32_t offset, std::uint8_t out[3]);

  File& file_;
  std::uint16_t modCount_ = 1;
  std::vector<FreeEntry> free_;
  std::vector<FreeEntry> listed_;  // the list as read, for the check
  // The sub-allocated block last read outside a transaction (neighbouring records' memos share
  // blocks); dropped whenever the file may have changed.
  std::vector<std::uint8_t> cached_;
  std::uint32_t cachedAt_ = 0;
  std::uint64_t loadedSize_ = 0;  // the file's size when the header was read
  std::vector<std::uint8_t> verifiedList_;  // the list bytes last found right, and the file size then
  std::uint64_t verifiedSize_ = 0;
  bool listTrusted_ = true;  // false: a list this engine cannot read; left alone
  std::size_t listRead_ = 0;  // entries the header held when read (all are rewritten)
  bool dirty_ = false;
};

}  // namespace rf::tables::paradox
