#pragma once
// Page access of one CDX file: reads through the current Transaction (so an operation sees its
// own staged writes) or straight from the file, writes only through the Transaction, a cache of
// decoded nodes, and page allocation.
//
// The cache is keyed by offset and checked against the page's bytes on every use, so it can never
// serve a page that another process, a dropped transaction or our own staged writes changed: a
// hit saves the decoding, never the read.
//
// Freed pages form a list whose head is the directory header's free-list pointer (offset 4);
// each free page holds the next one's offset in its first four bytes (0: end) and zeros after.

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>

#include "tables/cdx_node.h"
#include "tables/file_system.h"
#include "tables/journal.h"

namespace rf::tables::cdx {

class Store {
 public:
  explicit Store(File& file) : file_(file) {}
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  File& file() { return file_; }
  const std::string& path() const { return file_.path(); }

  // Routes reads and writes for the life of the object: through `tx`, or, with `direct`, straight
  // to the file (only for writing a new file). Without either, writing is refused.
  class Scope {
   public:
    Scope(Store& store, Transaction* tx, bool direct = false);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    Store& store_;
    Transaction* savedTx_;
    bool savedDirect_;
  };

  std::uint64_t size();
  // Throws Corrupt naming the offset and `what` when the file ends first.
  void read(std::uint64_t offset, std::span<std::uint8_t> buf, const char* what);
  void write(std::uint64_t offset, std::span<const std::uint8_t> data);
  std::uint32_t read32(std::uint64_t offset, const char* what);
  void write32(std::uint64_t offset, std::uint32_t value);

  // The node at `offset`, decoded for keys of `keyLength` with trailing `fill`.
  NodePtr node(std::uint64_t offset, int keyLength, char fill);
  // Encodes and writes; a leaf that does not fit is an engine fault (callers split first).
  void put(const Node& node, char fill);
  // The same, but a leaf that does not fit is left unwritten and reported by false.
  bool tryPut(const Node& node, char fill);
  // Rewrites only a node's sibling links, leaving the rest of its page as it is.
  void setLinks(std::uint64_t offset, std::uint32_t left, std::uint32_t right);
  void setLeftLink(std::uint64_t offset, std::uint32_t left);
  void setRightLink(std::uint64_t offset, std::uint32_t right);

  std::uint32_t allocate();
  void release(std::uint32_t offset);
  std::uint32_t freeListHead();

  void clearCache() { cache_.clear(); }

 private:
  void requireWritable() const;
  struct Cached {
    Page raw;
    NodePtr node;
    int keyLength;
    char fill;
  };
  static constexpr std::size_t kCacheLimit = 4096;

  File& file_;
  Transaction* tx_ = nullptr;
  bool direct_ = false;
  std::unordered_map<std::uint64_t, Cached> cache_;
};

}  // namespace rf::tables::cdx
