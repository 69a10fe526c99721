#include "tables/cdx_node.h"

#include <algorithm>
#include <bit>

#include "tables/error.h"

namespace rf::tables::cdx {

void Node::insertEntry(std::size_t i, std::string_view k, std::uint32_t recno, std::uint32_t child) {
  keys.insert(i * static_cast<std::size_t>(keyLength), k.data(), k.size());
  recnos.insert(recnos.begin() + static_cast<std::ptrdiff_t>(i), recno);
  if (!leaf()) children.insert(children.begin() + static_cast<std::ptrdiff_t>(i), child);
}

void Node::eraseEntries(std::size_t from, std::size_t n) {
  const auto kl = static_cast<std::size_t>(keyLength);
  keys.erase(from * kl, n * kl);
  recnos.erase(recnos.begin() + static_cast<std::ptrdiff_t>(from),
               recnos.begin() + static_cast<std::ptrdiff_t>(from + n));
  if (!children.empty())
    children.erase(children.begin() + static_cast<std::ptrdiff_t>(from),
                   children.begin() + static_cast<std::ptrdiff_t>(from + n));
}

void Node::appendRange(const Node& src, std::size_t from, std::size_t to) {
  const auto kl = static_cast<std::size_t>(keyLength);
  keys.append(src.keys, from * kl, (to - from) * kl);
  recnos.insert(recnos.end(), src.recnos.begin() + static_cast<std::ptrdiff_t>(from),
                src.recnos.begin() + static_cast<std::ptrdiff_t>(to));
  if (!src.leaf())
    children.insert(children.end(), src.children.begin() + static_cast<std::ptrdiff_t>(from),
                    src.children.begin() + static_cast<std::ptrdiff_t>(to));
}

int compareEntry(std::string_view a, std::uint32_t ra, std::string_view b, std::uint32_t rb) {
  if (int c = a.compare(b); c != 0) return c < 0 ? -1 : 1;
  return ra < rb ? -1 : (ra > rb ? 1 : 0);
}

int comparePrefix(std::string_view key, std::string_view prefix) {
  const std::size_t n = std::min(key.size(), prefix.size());
  const int c = std::memcmp(key.data(), prefix.data(), n);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

LeafFormat leafFormatFor(int keyLength, std::uint32_t maxRecno) {
  const int countBits = std::bit_width(static_cast<unsigned>(keyLength));
  const int need = std::max(1, static_cast<int>(std::bit_width(maxRecno)));
  for (int bytes = 1;; ++bytes) {
    const int recnoBits = std::min(32, 8 * bytes - 2 * countBits);
    if (recnoBits >= need) return {bytes, recnoBits, countBits, countBits};
  }
}

namespace {

std::uint32_t maskOf(int bits) {
  return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u;
}

int trailingFill(std::string_view key, char fill) {
  int n = 0;
  for (auto it = key.rbegin(); it != key.rend() && *it == fill; ++it) ++n;
  return n;
}

int commonPrefix(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  std::size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  return static_cast<int>(i);
}

// Duplicate and trailing counts of entry `i` as packed right after entry `i - 1`.
void packing(const Node& node, std::size_t i, char fill, int& dup, int& trail) {
  const std::string_view k = node.key(i);
  trail = trailingFill(k, fill);
  dup = i == 0 ? 0 : std::min(commonPrefix(node.key(i - 1), k), node.keyLength - trail);
}

std::uint32_t maxRecno(const Node& node, std::size_t from, std::size_t to) {
  std::uint32_t m = 0;
  for (std::size_t i = from; i < to; ++i) m = std::max(m, node.recnos[i]);
  return m;
}

[[noreturn]] void bad(const std::string& path, const std::string& what, std::uint64_t offset) {
  throwCorrupt(path, "index node: " + what, offset);
}

void decodeLeaf(const Page& p, Node& n, std::size_t count, char fill, const std::string& path) {
  const int kl = n.keyLength;
  LeafFormat f;
  f.recnoBits = p[20];
  f.dupBits = p[21];
  f.trailBits = p[22];
  f.bytes = p[23];
  const std::uint32_t recnoMask = get32(&p[14]);
  if (f.bytes < 1 || f.bytes > 8 || f.recnoBits < 1 || f.recnoBits > 32 || f.dupBits > 8 ||
      f.trailBits > 8 || f.recnoBits + f.dupBits + f.trailBits > 8 * f.bytes)
    bad(path, "impossible entry bit widths in a leaf", n.offset);
  if (recnoMask != maskOf(f.recnoBits) || p[18] != maskOf(f.dupBits) ||
      p[19] != maskOf(f.trailBits))
    bad(path, "leaf masks disagree with their bit widths", n.offset);
  const std::size_t arrayEnd = kLeafHeaderSize + count * static_cast<std::size_t>(f.bytes);
  if (arrayEnd > kPageSize) bad(path, "leaf key count does not fit the page", n.offset);

  n.keys.resize(count * static_cast<std::size_t>(kl));
  n.recnos.resize(count);
  n.trails.resize(count);
  std::size_t pos = kPageSize;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = &p[kLeafHeaderSize + i * static_cast<std::size_t>(f.bytes)];
    std::uint64_t v = 0;
    for (int b = f.bytes - 1; b >= 0; --b) v = (v << 8) | e[b];
    const auto recno = static_cast<std::uint32_t>(v & recnoMask);
    const auto dup = static_cast<int>((v >> f.recnoBits) & maskOf(f.dupBits));
    const auto trail = static_cast<int>((v >> (f.recnoBits + f.dupBits)) & maskOf(f.trailBits));
    if (dup + trail > kl || (i == 0 && dup > 0))
      bad(path, "leaf entry " + std::to_string(i) + " has impossible duplicate/trailing counts",
          n.offset);
    const auto stored = static_cast<std::size_t>(kl - dup - trail);
    if (pos < arrayEnd + stored) bad(path, "leaf keys overrun the entry array", n.offset);
    pos -= stored;
    char* out = n.keys.data() + i * static_cast<std::size_t>(kl);
    if (dup > 0) std::memcpy(out, out - kl, static_cast<std::size_t>(dup));
    std::memcpy(out + dup, &p[pos], stored);
    std::memset(out + dup + stored, static_cast<unsigned char>(fill), static_cast<std::size_t>(trail));
    n.recnos[i] = recno;
    n.trails[i] = static_cast<std::uint8_t>(trail);
  }
  n.stats.format = f;
  n.stats.freeSpace = get16(&p[12]);
  n.stats.actualFree = static_cast<int>(pos - arrayEnd);
}

}  // namespace

LeafSizer::LeafSizer(const Node& node, char fill) : node_(node) {
  const std::size_t n = node.count();
  full_.resize(n);
  packedSum_.resize(n + 1);
  packedSum_[0] = 0;
  for (std::size_t i = 0; i < n; ++i) {
    int dup = 0, trail = 0;
    packing(node, i, fill, dup, trail);
    full_[i] = static_cast<std::uint16_t>(node.keyLength - trail);
    packedSum_[i + 1] = packedSum_[i] + static_cast<std::uint32_t>(node.keyLength - trail - dup);
  }
}

int LeafSizer::bytes(std::size_t from, std::size_t to) const {
  if (from >= to) return 0;
  const LeafFormat f = leafFormatFor(node_.keyLength, maxRecno(node_, from, to));
  return static_cast<int>(to - from) * f.bytes + full_[from] +
         static_cast<int>(packedSum_[to] - packedSum_[from + 1]);
}

Node decodeNode(const Page& p, std::uint64_t offset, int keyLength, char fill,
                const std::string& path) {
  Node n;
  n.offset = offset;
  n.keyLength = keyLength;
  n.attr = get16(&p[0]);
  const std::size_t count = get16(&p[2]);
  n.left = get32(&p[4]);
  n.right = get32(&p[8]);
  if (n.leaf()) {
    decodeLeaf(p, n, count, fill, path);
    return n;
  }
  const auto item = static_cast<std::size_t>(keyLength) + 8;
  if (count * item > static_cast<std::size_t>(kInteriorSpace))
    bad(path, "interior key count " + std::to_string(count) + " does not fit the page", offset);
  n.keys.resize(count * static_cast<std::size_t>(keyLength));
  n.recnos.resize(count);
  n.children.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = &p[kInteriorHeaderSize + i * item];
    std::memcpy(n.keys.data() + i * static_cast<std::size_t>(keyLength), e,
                static_cast<std::size_t>(keyLength));
    n.recnos[i] = get32be(e + keyLength);
    n.children[i] = get32be(e + keyLength + 4);
  }
  return n;
}

bool encodeLeaf(const Node& node, char fill, Page& page, Node* decoded) {
  const std::size_t count = node.count();
  std::vector<std::uint8_t> trails(decoded != nullptr ? count : 0);
  const LeafFormat f = leafFormatFor(node.keyLength, maxRecno(node, 0, count));
  const std::size_t arrayEnd = kLeafHeaderSize + count * static_cast<std::size_t>(f.bytes);
  if (arrayEnd > kPageSize) return false;
  page.fill(0);
  std::size_t pos = kPageSize;
  for (std::size_t i = 0; i < count; ++i) {
    int dup = 0, trail = 0;
    packing(node, i, fill, dup, trail);
    if (decoded != nullptr) trails[i] = static_cast<std::uint8_t>(trail);
    const auto stored = static_cast<std::size_t>(node.keyLength - dup - trail);
    if (pos < arrayEnd + stored) return false;
    pos -= stored;
    std::memcpy(&page[pos], node.key(i).data() + dup, stored);
    const std::uint64_t v = node.recnos[i] |
                            (static_cast<std::uint64_t>(dup) << f.recnoBits) |
                            (static_cast<std::uint64_t>(trail) << (f.recnoBits + f.dupBits));
    std::uint8_t* e = &page[kLeafHeaderSize + i * static_cast<std::size_t>(f.bytes)];
    for (int b = 0; b < f.bytes; ++b) e[b] = static_cast<std::uint8_t>(v >> (8 * b));
  }
  put16(&page[0], node.attr);
  put16(&page[2], static_cast<std::uint32_t>(count));
  put32(&page[4], node.left);
  put32(&page[8], node.right);
  put16(&page[12], static_cast<std::uint32_t>(pos - arrayEnd));
  put32(&page[14], maskOf(f.recnoBits));
  page[18] = static_cast<std::uint8_t>(maskOf(f.dupBits));
  page[19] = static_cast<std::uint8_t>(maskOf(f.trailBits));
  page[20] = static_cast<std::uint8_t>(f.recnoBits);
  page[21] = static_cast<std::uint8_t>(f.dupBits);
  page[22] = static_cast<std::uint8_t>(f.trailBits);
  page[23] = static_cast<std::uint8_t>(f.bytes);
  if (decoded != nullptr) {
    *decoded = node;
    decoded->trails = std::move(trails);
    decoded->stats.format = f;
    decoded->stats.freeSpace = decoded->stats.actualFree = static_cast<int>(pos - arrayEnd);
  }
  return true;
}

void encodeInterior(const Node& node, Page& page) {
  if (node.count() > interiorCapacity(node.keyLength))
    throwError(ErrorKind::Corrupt, {}, "CDX interior node over capacity (an engine fault)");
  page.fill(0);
  put16(&page[0], node.attr);
  put16(&page[2], static_cast<std::uint32_t>(node.count()));
  put32(&page[4], node.left);
  put32(&page[8], node.right);
  const auto item = static_cast<std::size_t>(node.keyLength) + 8;
  for (std::size_t i = 0; i < node.count(); ++i) {
    std::uint8_t* e = &page[kInteriorHeaderSize + i * item];
    std::memcpy(e, node.key(i).data(), static_cast<std::size_t>(node.keyLength));
    put32be(e + node.keyLength, node.recnos[i]);
    put32be(e + node.keyLength + 4, node.children[i]);
  }
}

}  // namespace rf::tables::cdx
