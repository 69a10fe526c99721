#include "tables/cdx_store.h"

#include <algorithm>

#include "tables/error.h"

namespace rf::tables::cdx {

Store::Scope::Scope(Store& store, Transaction* tx, bool direct)
    : store_(store), savedTx_(store.tx_), savedDirect_(store.direct_) {
  store_.tx_ = tx;
  store_.direct_ = direct;
}

Store::Scope::~Scope() {
  store_.tx_ = savedTx_;
  store_.direct_ = savedDirect_;
}

void Store::requireWritable() const {
  if (tx_ == nullptr && !direct_)
    throwError(ErrorKind::InvalidInput, file_.path(),
               "the index can only be changed inside a transaction");
}

std::uint64_t Store::size() { return tx_ != nullptr ? tx_->size(file_) : file_.size(); }

void Store::read(std::uint64_t offset, std::span<std::uint8_t> buf, const char* what) {
  const std::size_t n = tx_ != nullptr ? tx_->read(file_, offset, buf) : file_.readAt(offset, buf);
  if (n != buf.size()) throwCorrupt(file_.path(), std::string("file ends inside ") + what, offset);
}

void Store::write(std::uint64_t offset, std::span<const std::uint8_t> data) {
  requireWritable();
  if (tx_ != nullptr)
    tx_->write(file_, offset, data);
  else
    file_.writeAt(offset, data);
  // Any cached node the write overlaps is checked against its bytes on its next use, but a
  // write of part of a page is cheaper to forget outright.
  for (std::uint64_t page = offset - offset % kPageSize; page < offset + data.size(); page += kPageSize)
    cache_.erase(page);
}

std::uint32_t Store::read32(std::uint64_t offset, const char* what) {
  std::uint8_t b[4];
  read(offset, b, what);
  return get32(b);
}

void Store::write32(std::uint64_t offset, std::uint32_t value) {
  std::uint8_t b[4];
  put32(b, value);
  write(offset, b);
}

NodePtr Store::node(std::uint64_t offset, int keyLength, char fill) {
  if (!plausibleNodeOffset(offset))
    throwCorrupt(file_.path(), "index node pointer " + std::to_string(offset) +
                                   " is not a node of the file", offset);
  Page raw;
  read(offset, raw, "an index node");
  if (auto it = cache_.find(offset); it != cache_.end()) {
    const Cached& c = it->second;
    if (c.keyLength == keyLength && c.fill == fill && c.raw == raw) return c.node;
  }
  auto decoded = std::make_shared<const Node>(decodeNode(raw, offset, keyLength, fill, file_.path()));
  if (cache_.size() >= kCacheLimit) cache_.clear();
  cache_[offset] = Cached{raw, decoded, keyLength, fill};
  return decoded;
}

bool Store::tryPut(const Node& node, char fill) {
  Page raw;
  auto decoded = std::make_shared<Node>();
  if (node.leaf()) {
    if (!encodeLeaf(node, fill, raw, decoded.get())) return false;
  } else {
    encodeInterior(node, raw);
    *decoded = node;
  }
  write(node.offset, raw);
  // The next operation reads this page back (through the transaction, or from the file once
  // committed) and finds it decoded already.
  if (cache_.size() >= kCacheLimit) cache_.clear();
  cache_[node.offset] = Cached{raw, std::move(decoded), node.keyLength, fill};
  return true;
}

void Store::put(const Node& node, char fill) {
  if (!tryPut(node, fill))
    throwError(ErrorKind::Corrupt, file_.path(), "CDX leaf over capacity (an engine fault)");
}

void Store::setLinks(std::uint64_t offset, std::uint32_t left, std::uint32_t right) {
  std::uint8_t b[8];
  put32(b, left);
  put32(b + 4, right);
  write(offset + 4, b);
}

void Store::setLeftLink(std::uint64_t offset, std::uint32_t left) { write32(offset + 4, left); }
void Store::setRightLink(std::uint64_t offset, std::uint32_t right) { write32(offset + 8, right); }

std::uint32_t Store::freeListHead() {
  const std::uint32_t head = read32(kHdrFreeList, "the index header");
  return head == kNone ? 0 : head;
}

std::uint32_t Store::allocate() {
  requireWritable();
  const std::uint32_t head = freeListHead();
  if (head != 0) {
    Page p;
    const std::size_t n = plausibleNodeOffset(head)
                              ? (tx_ != nullptr ? tx_->read(file_, head, p) : file_.readAt(head, p))
                              : 0;
    const bool ours = n == kPageSize && std::all_of(p.begin() + 4, p.end(), [](std::uint8_t b) { return b == 0; });
    if (ours) {
      std::uint32_t next = get32(p.data());
      if (next != 0 && !plausibleNodeOffset(next)) next = 0;
      write32(kHdrFreeList, next);
      return head;
    }
    // A list this engine did not write: leave its pages alone rather than guess at its format.
    write32(kHdrFreeList, 0);
  }
  const std::uint64_t end = (size() + kPageSize - 1) / kPageSize * kPageSize;
  if (end + kPageSize > kNone)
    throwError(ErrorKind::Unsupported, file_.path(), "the index file would outgrow 4 GB");
  const Page zero{};
  write(end, zero);
  return static_cast<std::uint32_t>(end);
}

void Store::release(std::uint32_t offset) {
  Page p{};
  put32(p.data(), freeListHead());
  write(offset, p);
  write32(kHdrFreeList, offset);
}

}  // namespace rf::tables::cdx
