#pragma once
// The on-disk layout of a dBASE production index (.MDX) and the little pieces every part of the
// MDX code shares: byte access, one tag's checked header facts, one node, and where reads and
// writes go.
//
// File: four 512-byte header pages (file header, then the tag table at 544, 32 bytes a tag),
// then blocks of `blockBytes`. Every page pointer in the file counts 512-byte pages.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tables/file_system.h"
#include "tables/index_file.h"
#include "tables/journal.h"

namespace rf::tables::mdx {

constexpr std::uint32_t kPageBytes = 512;
constexpr std::uint32_t kHeaderPages = 4;
constexpr std::uint32_t kTagTableOffset = 544;
constexpr std::uint32_t kTagSlotBytes = 32;
constexpr std::uint32_t kTagSlotBytes7 = 48;  // dBASE 7
constexpr int kMaxTags = 47;  // slots between offset 544 and the end of the header pages
constexpr int kMaxTextKey = 100;
constexpr int kMaxExpression = 219;

// File header offsets.
constexpr std::size_t kHdrPages = 32;     // pages in the file
constexpr std::size_t kHdrFreeList = 36;  // first free page (we keep it 0: pages are not reused)
// Tag header offsets (in the tag's header block).
constexpr std::size_t kTagRoot = 0;
constexpr std::size_t kTagPages = 4;  // pages the tag's header and nodes take
constexpr std::size_t kTagFormat = 8;
constexpr std::size_t kTagKeyType = 9;
constexpr std::size_t kTagKeyLength = 12;
constexpr std::size_t kTagMaxKeys = 14;
constexpr std::size_t kTagDateFlag = 16;
constexpr std::size_t kTagItemLength = 18;
constexpr std::size_t kTagChangeCount = 20;
constexpr std::size_t kTagUniqueByte = 23;
constexpr std::size_t kTagExpression = 24;
constexpr std::size_t kTagForFlag = 245;
constexpr std::size_t kTagKeysFlag = 246;    // 1 once the tag has held a key
constexpr std::size_t kTagFirstLeaf = 248;   // leftmost leaf page
constexpr std::size_t kTagLastLeaf = 252;    // rightmost leaf page
constexpr std::size_t kTagHeaderPrefix = 256;  // what changes read and write of a tag header
constexpr std::size_t kTagCreated = 257;     // YY-1900 MM DD
constexpr std::size_t kTagSingleField = 480;  // 1 when the key is one field alone
constexpr std::size_t kTagForExpression = 0x2FA;
constexpr std::size_t kTagHeaderBytes = 1024;

constexpr std::uint8_t kFormatDescending = 0x08;
constexpr std::uint8_t kFormatPlain = 0x10;
constexpr std::uint8_t kFormatUnique = 0x40;

// A node: key count, 4 reserved bytes, then items of a 4-byte pointer (record number in a
// leaf, child page in a branch) and the key. A branch's n keys come with n+1 pointers, the last
// alone in the slot after the last item; a node whose pointer slot after the last item is 0 is
// a leaf. Branch key i is the highest key of child i.
constexpr std::size_t kNodeItems = 8;

inline std::uint32_t get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::uint16_t get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline void put32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline void put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

// What the file and one tag's header say, checked when the file is opened.
struct FileLayout {
  std::string path;
  std::uint32_t blockBytes = 1024;
  std::uint32_t pagesPerBlock = 2;
  std::uint8_t languageDriver = 0;           // header byte 31, else the table's
  const std::uint8_t* collation = nullptr;   // its character order; nullptr: the bytes'
};

struct TagLayout {
  TagSpec spec;
  std::uint32_t headerPage = 0;
  int itemLength = 0;
  int maxKeys = 0;        // what the header says a node holds
  int maxBranchKeys = 0;  // one fewer: a full branch would read as a leaf to some readers
  bool usable = true;     // false: listed, but its layout is one we don't write
};

struct Node {
  std::uint32_t page = 0;
  std::vector<std::uint8_t> b;
  int itemLength = 0;
  int keyLength = 0;
  bool dirty = false;
  // Changed bytes run from here to the end of the block (plus the count): inserts and removals
  // shift everything after their item, so a node is written from there on, not whole.
  std::size_t dirtyFrom = SIZE_MAX;

  void touch(std::size_t from) {
    dirty = true;
    dirtyFrom = std::min(dirtyFrom, from);
  }
  void touchItem(int i) { touch(kNodeItems + static_cast<std::size_t>(i) * static_cast<std::size_t>(itemLength)); }

  int count() const { return static_cast<int>(get32(b.data())); }
  void setCount(int n) { put32(b.data(), static_cast<std::uint32_t>(n)); }
  std::uint8_t* item(int i) { return b.data() + kNodeItems + static_cast<std::size_t>(i) * static_cast<std::size_t>(itemLength); }
  const std::uint8_t* item(int i) const {
    return b.data() + kNodeItems + static_cast<std::size_t>(i) * static_cast<std::size_t>(itemLength);
  }
  std::uint32_t ptr(int i) const { return get32(item(i)); }
  void setPtr(int i, std::uint32_t v) { put32(item(i), v); }
  std::string_view key(int i) const {
    return {reinterpret_cast<const char*>(item(i) + 4), static_cast<std::size_t>(keyLength)};
  }
  void setKey(int i, std::string_view k) {
    std::memset(item(i) + 4, 0, static_cast<std::size_t>(itemLength - 4));
    std::memcpy(item(i) + 4, k.data(), std::min(k.size(), static_cast<std::size_t>(keyLength)));
  }
  bool leaf() const { return ptr(count()) == 0; }
};

// Reads go to the transaction when there is one (so a change sees its own staged writes),
// else straight to the file; writes need the transaction.
class PageIo {
 public:
  PageIo(File& f, Transaction* tx) : f_(f), tx_(tx) {}
  void read(std::uint64_t offset, std::span<std::uint8_t> buf, const char* what) {
    if (tx_) tx_->readExact(f_, offset, buf, what);
    else f_.readExact(offset, buf, what);
  }
  void write(std::uint64_t offset, std::span<const std::uint8_t> data) { tx_->write(f_, offset, data); }
  std::uint64_t size() { return tx_ ? tx_->size(f_) : f_.size(); }
  bool writable() const { return tx_ != nullptr; }

 private:
  File& f_;
  Transaction* tx_;
};

}  // namespace rf::tables::mdx
