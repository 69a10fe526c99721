#pragma once
// One 512-byte node of a CDX tree, decoded, and the codec between it and the page bytes.
//
// Interior nodes hold (key, record number, child) triples where key and record number are those
// of the last entry below the child. Leaves are "compact": a packed entry array (record number,
// duplicate count, trailing count in one little-endian integer of 1 to 8 bytes) with the key
// bytes stored backwards from the end of the page, each key keeping only what is not shared with
// the previous key and not trailing filler.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tables/cdx_format.h"

namespace rf::tables::cdx {

using Page = std::array<std::uint8_t, kPageSize>;

// Bit widths of a compact leaf's entries.
struct LeafFormat {
  int bytes = 0;       // per entry
  int recnoBits = 0;
  int dupBits = 0;
  int trailBits = 0;
};

// What a leaf's header said, kept for the structural check.
struct LeafStats {
  int freeSpace = 0;     // the header's figure
  int actualFree = 0;    // what the entries leave
  LeafFormat format;
};

struct Node {
  std::uint64_t offset = 0;
  std::uint16_t attr = 0;
  std::uint32_t left = kNone;
  std::uint32_t right = kNone;
  int keyLength = 0;
  std::string keys;                      // count() * keyLength bytes
  std::vector<std::uint32_t> recnos;
  std::vector<std::uint32_t> children;   // interior nodes only
  std::vector<std::uint8_t> trails;      // leaves as decoded: filler bytes each key had
  LeafStats stats;                       // leaves as decoded

  bool leaf() const { return (attr & kAttrLeaf) != 0; }
  bool root() const { return (attr & kAttrRoot) != 0; }
  std::size_t count() const { return recnos.size(); }
  std::string_view key(std::size_t i) const {
    return std::string_view(keys.data() + i * static_cast<std::size_t>(keyLength),
                            static_cast<std::size_t>(keyLength));
  }
  std::string_view lastKey() const { return key(count() - 1); }
  std::uint32_t lastRecno() const { return recnos.back(); }

  void insertEntry(std::size_t i, std::string_view k, std::uint32_t recno, std::uint32_t child);
  void eraseEntries(std::size_t from, std::size_t n);
  // Entries [from, to) of `src` appended.
  void appendRange(const Node& src, std::size_t from, std::size_t to);
};

using NodePtr = std::shared_ptr<const Node>;

// Orders two full keys and their record numbers as the tree stores them.
int compareEntry(std::string_view a, std::uint32_t ra, std::string_view b, std::uint32_t rb);
// Bytewise over the shorter length: a key that starts with `prefix` compares equal to it.
int comparePrefix(std::string_view key, std::string_view prefix);

// The narrowest entry layout that holds record numbers up to `maxRecno` for `keyLength`.
LeafFormat leafFormatFor(int keyLength, std::uint32_t maxRecno);

// Size accounting of a run of leaf entries, for deciding where a full leaf splits.
class LeafSizer {
 public:
  LeafSizer(const Node& node, char fill);
  // Bytes entries [from, to) take when packed into one leaf (entry array and key bytes).
  int bytes(std::size_t from, std::size_t to) const;
  bool fits(std::size_t from, std::size_t to) const { return bytes(from, to) <= kLeafSpace; }

 private:
  const Node& node_;
  std::vector<std::uint16_t> full_;    // key bytes stored when the entry starts a leaf
  std::vector<std::uint32_t> packedSum_;  // prefix sums of key bytes stored after a neighbour
};

// Decoders throw Corrupt naming `path` and the page offset.
Node decodeNode(const Page& page, std::uint64_t offset, int keyLength, char fill,
                const std::string& path);
// Encoders fill `page` completely. encodeLeaf returns false when the entries do not fit; when
// they do and `decoded` is given, it receives what decodeNode would make of the page.
bool encodeLeaf(const Node& node, char fill, Page& page, Node* decoded = nullptr);
void encodeInterior(const Node& node, Page& page);
// Entries an interior node of this key length holds.
inline std::size_t interiorCapacity(int keyLength) {
  return static_cast<std::size_t>(kInteriorSpace / (keyLength + 8));
}

}  // namespace rf::tables::cdx
