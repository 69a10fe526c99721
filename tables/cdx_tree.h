#pragma once
// The B+ tree of one CDX tag (the tag directory is one too): walking, seeking and keeping it
// exact on insert and remove. Entries are stored in ascending (key, record number) order whatever
// the tag's direction; leaves at each level are chained through left/right links.
//
// Nothing is kept between calls but the header offset and the key layout: the root is read from
// the tag header and every node through the Store, so each operation works on the file as it is
// (or as the current transaction will leave it).

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tables/cdx_store.h"
#include "tables/table.h"

namespace rf::tables::cdx {

class Tree {
 public:
  Tree(Store& store, std::uint64_t header, int keyLength, char fill, std::string name)
      : store_(store), header_(header), keyLength_(keyLength), fill_(fill), name_(std::move(name)) {}

  std::uint64_t header() const { return header_; }
  int keyLength() const { return keyLength_; }
  char fill() const { return fill_; }
  void setFill(char fill) { fill_ = fill; }
  const std::string& name() const { return name_; }

  std::uint32_t root();

  // A place in the leaf level; not valid past either end.
  struct Pos {
    NodePtr leaf;
    std::size_t index = 0;
    bool valid() const { return leaf != nullptr && index < leaf->count(); }
    std::string_view key() const { return leaf->key(index); }
    std::uint32_t recno() const { return leaf->recnos[index]; }
  };

  Pos first();
  Pos last();
  // The first entry at or after (key, recno) in stored order.
  Pos lowerBound(std::string_view key, std::uint32_t recno);
  // The first entry whose key, cut to the prefix's length, is above `prefix` or equal with a
  // record number >= `recno` (any record number when 0).
  Pos seekPrefix(std::string_view prefix, std::uint32_t recno);
  // The first entry whose cut key is above `prefix` or equal with a record number > `recno`
  // (none of the equal ones when `recno` is 0).
  Pos seekPrefixAbove(std::string_view prefix, std::uint32_t recno);
  bool next(Pos& p);
  bool prior(Pos& p);

  // Both need a writable scope on the store. insert throws InvalidInput when the exact entry is
  // already there; remove returns false when it is not.
  void insert(std::string_view key, std::uint32_t recno);
  bool remove(std::string_view key, std::uint32_t recno);

  // Makes the tree a single empty root leaf at `newRoot`; the old pages are the caller's.
  void reset(std::uint32_t newRoot);
  // Every page of the tree, root first.
  void collectPages(std::vector<std::uint32_t>& out);

  // Appends problems to `report`; `used` collects every page the tree occupies (and is checked
  // against, so trees sharing a page are reported).
  void check(CheckReport& report, std::set<std::uint64_t>& used);

  // The stored part (before trailing filler) of up to `max` keys from both ends of the tree.
  std::vector<std::string> samples(std::size_t max);

 private:
  struct Target;
  struct Step {
    NodePtr node;
    std::size_t index;
  };
  struct Child {
    std::string key;
    std::uint32_t recno;
    std::uint32_t offset;
  };

  NodePtr node(std::uint64_t offset) { return store_.node(offset, keyLength_, fill_); }
  Pos descend(const Target& t);
  Pos edge(bool leftmost);
  std::vector<Step> pathTo(std::string_view key, std::uint32_t recno);
  void storeLeaf(std::vector<Step>& path, Node&& leaf, bool append);
  void replaceChild(std::vector<Step>& path, std::vector<Child> repl);
  void growRoot(std::vector<Child> children);
  void collapseRoot(Node rootNode);
  void unlinkAndFree(const Node& n);
  std::vector<Node> splitLeaf(const Node& leaf, bool append) const;
  std::vector<Node> splitInterior(const Node& n) const;
  void placePieces(const Node& original, std::vector<Node>& pieces);
  void setRoot(std::uint32_t offset);
  std::uint64_t maxHops();
  [[noreturn]] void corrupt(const std::string& what, std::uint64_t offset) const;

  Store& store_;
  std::uint64_t header_;
  int keyLength_;
  char fill_;
  std::string name_;
};

// Deeper trees than this are taken for pointer loops: with at least two entries a node, 32
// levels would index more keys than record numbers can count.
inline constexpr int kMaxDepth = 32;

}  // namespace rf::tables::cdx
