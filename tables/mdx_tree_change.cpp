// Changes to one MDX tag's tree: inserts with node splits and root growth, removals that
// unlink emptied nodes and keep branch bounds exact, and writing it all back.

#include <algorithm>

#include "tables/error.h"
#include "tables/mdx_tree.h"

namespace rf::tables::mdx {

std::shared_ptr<Node> Tree::allocate() {
  if (!filePages_) {
    std::uint8_t b[4];
    io_.read(kHdrPages, b, "MDX header");
    filePages_ = get32(b);
  }
  // Never below what the file already holds: a header that undercounts must not make us hand
  // out a block in use.
  std::uint64_t sizePages = (fileSize() + kPageBytes - 1) / kPageBytes;
  std::uint64_t page = std::max<std::uint64_t>({*filePages_, sizePages, kHeaderPages});
  if (page + file_.pagesPerBlock > 0xFFFFFFFFull) throwError(ErrorKind::InvalidInput, file_.path, "index file full");
  filePages_ = static_cast<std::uint32_t>(page + file_.pagesPerBlock);
  pagesChanged_ = true;
  ++allocated_;
  auto n = blankNode(static_cast<std::uint32_t>(page));
  n->touch(0);
  nodes_.emplace(n->page, n);
  return n;
}

void Tree::touched() { changed_ = true; }

void Tree::flush() {
  for (auto& [page, n] : nodes_)
    if (n->dirty) {
      std::size_t from = std::min<std::size_t>(n->dirtyFrom, file_.blockBytes);
      if (from <= kNodeItems) {
        io_.write(offsetOf(page), std::span<const std::uint8_t>(n->b.data(), file_.blockBytes));
      } else {
        io_.write(offsetOf(page), std::span<const std::uint8_t>(n->b.data(), 4));
        io_.write(offsetOf(page) + from, std::span<const std::uint8_t>(n->b.data() + from, file_.blockBytes - from));
      }
      n->dirty = false;
      n->dirtyFrom = SIZE_MAX;
    }
  std::uint64_t tagOff = offsetOf(tag_.headerPage);
  auto writeField = [&](std::size_t at, std::size_t len) {
    io_.write(tagOff + at, std::span<const std::uint8_t>(header_.data() + at, len));
  };
  if (rootChanged_) {
    writeField(kTagRoot, 4);
    rootChanged_ = false;
  }
  if (changed_) {
    // dBASE counts changes of a tag here; other users compare it to notice them.
    root();
    header_[kTagChangeCount] = static_cast<std::uint8_t>(header_[kTagChangeCount] + 1);
    writeField(kTagChangeCount, 1);
    changed_ = false;
  }
  if (inserted_ && header_[kTagKeysFlag] == 0) {
    header_[kTagKeysFlag] = 1;
    writeField(kTagKeysFlag, 1);
  }
  inserted_ = false;
  if (allocated_ > 0) {
    put32(header_.data() + kTagPages, get32(header_.data() + kTagPages) + allocated_ * file_.pagesPerBlock);
    writeField(kTagPages, 4);
    allocated_ = 0;
  }
  if (shapeChanged_) {
    // The leftmost and rightmost leaves, as dBASE keeps them for the tag's two ends.
    std::uint32_t ends[2];
    for (int side = 0; side < 2; ++side) {
      auto n = load(root());
      for (std::size_t depth = 0; !n->leaf(); ++depth) {
        if (depth >= kMaxDepth) corrupt("tree deeper than " + std::to_string(kMaxDepth) + " levels", offsetOf(n->page));
        n = load(n->ptr(side == 0 ? 0 : n->count()));
      }
      ends[side] = n->page;
    }
    put32(header_.data() + kTagFirstLeaf, ends[0]);
    put32(header_.data() + kTagLastLeaf, ends[1]);
    writeField(kTagFirstLeaf, 8);
    shapeChanged_ = false;
  }
  if (pagesChanged_) {
    std::uint8_t b[4];
    put32(b, *filePages_);
    io_.write(kHdrPages, b);
    pagesChanged_ = false;
  }
}

void Tree::insertItem(Node& n, int i, std::uint32_t ptr, std::string_view key) {
  int c = n.count();
  std::memmove(n.item(i + 1), n.item(i), static_cast<std::size_t>(c - i) * static_cast<std::size_t>(n.itemLength) + 4);
  n.setPtr(i, ptr);
  n.setKey(i, key);
  n.setCount(c + 1);
  n.touchItem(i);
}

void Tree::insert(std::string_view key, std::uint32_t recno) {
  Path p = lowerBound(key, recno);
  Frame& lf = p.back();
  Node& leaf = *lf.node;
  if (lf.index < leaf.count() && leaf.ptr(lf.index) == recno && compareKeys(leaf.key(lf.index), key) == 0)
    throwError(ErrorKind::InvalidInput, file_.path,
               where() + " already holds record " + std::to_string(recno) + " under this key");
  insertItem(leaf, lf.index, recno, key);
  split(p);
  inserted_ = true;
  touched();
}

// Splits the overfull nodes of `p`, leaf upwards, growing a new root when the old one splits.
void Tree::split(Path& p) {
  for (std::size_t level = p.size(); level-- > 0;) {
    Node& n = *p[level].node;
    bool isLeaf = level + 1 == p.size();
    int c = n.count();
    if (c <= (isLeaf ? tag_.maxKeys : tag_.maxBranchKeys)) return;
    shapeChanged_ = true;
    auto right = allocate();
    std::size_t item = static_cast<std::size_t>(tag_.itemLength);
    std::string separator;
    if (isLeaf) {
      // Appending at the far right end (ascending record numbers, increasing keys) leaves the
      // left node full instead of half empty.
      bool rightEdge = p[level].index == c - 1;
      for (std::size_t l = 0; l < level && rightEdge; ++l) rightEdge = p[l].index == p[l].node->count();
      int m = rightEdge ? c - 1 : c / 2;
      std::memcpy(right->item(0), n.item(m), static_cast<std::size_t>(c - m) * item);
      right->setCount(c - m);
      separator.assign(n.key(m - 1));
      std::memset(n.item(m), 0, n.b.size() - static_cast<std::size_t>(n.item(m) - n.b.data()));
      n.setCount(m);
      n.touchItem(m);
    } else {
      int m = c / 2;
      separator.assign(n.key(m));
      std::memcpy(right->item(0), n.item(m + 1), static_cast<std::size_t>(c - m - 1) * item + 4);
      right->setCount(c - m - 1);
      std::uint8_t* keep = n.item(m) + 4;
      std::memset(keep, 0, n.b.size() - static_cast<std::size_t>(keep - n.b.data()));
      n.setCount(m);
      n.touchItem(m);
    }
    if (level == 0) {
      auto top = allocate();
      top->setPtr(0, n.page);
      top->setKey(0, separator);
      top->setPtr(1, right->page);
      top->setCount(1);
      setRoot(top->page);
      return;
    }
    // The parent's item for this child now bounds the left half; the right half takes over the
    // old bound in the next slot.
    Node& parent = *p[level - 1].node;
    int ci = p[level - 1].index;
    int pc = parent.count();
    std::memmove(parent.item(ci + 1), parent.item(ci), static_cast<std::size_t>(pc - ci) * item + 4);
    parent.setKey(ci, separator);
    parent.setPtr(ci + 1, right->page);
    parent.setCount(pc + 1);
    parent.touchItem(ci);
  }
}

void Tree::remove(std::string_view key, std::uint32_t recno) {
  Path p = lowerBound(key, recno);
  bool found = false;
  if (settle(p)) {
    TagEntry e = entryAt(p);
    found = e.recno == recno && compareKeys(e.key, key) == 0;
  }
  if (!found) {
    // Some writers keep equal keys in no particular record order: look through all of them.
    p = lowerBound(key, 0);
    for (bool ok = settle(p); ok; ok = next(p)) {
      const Frame& f = p.back();
      if (compareKeys(f.node->key(f.index), key) != 0) break;
      if (f.node->ptr(f.index) == recno) {
        found = true;
        break;
      }
    }
  }
  if (!found)
    throwCorrupt(file_.path, where() + ": no entry for record " + std::to_string(recno) + " under its key");
  removeAt(p);
  touched();
}

void Tree::removeAt(Path& p) {
  Frame& lf = p.back();
  Node& leaf = *lf.node;
  int c = leaf.count();
  int i = lf.index;
  std::size_t item = static_cast<std::size_t>(tag_.itemLength);
  std::memmove(leaf.item(i), leaf.item(i + 1), static_cast<std::size_t>(c - i - 1) * item + 4);
  std::uint8_t* tail = leaf.item(c - 1) + 4;
  std::memset(tail, 0, leaf.b.size() - static_cast<std::size_t>(tail - leaf.b.data()));
  leaf.setCount(c - 1);
  leaf.touchItem(i);
  std::size_t level = p.size() - 1;
  if (c - 1 > 0) {
    if (i == c - 1) fixHighKey(p, level, std::string(leaf.key(c - 2)));
    return;
  }
  if (level > 0) removeChild(p, level - 1);
}

// The highest key under p[level] changed: the first ancestor for which that child is not the
// last pointer holds it as a branch key.
void Tree::fixHighKey(Path& p, std::size_t level, const std::string& high) {
  while (level-- > 0) {
    Frame& f = p[level];
    if (f.index < f.node->count()) {
      f.node->setKey(f.index, high);
      f.node->touchItem(f.index);
      return;
    }
  }
}

// Child p[level].index of p[level] became empty: unlink it. Its block is left unused (dBASE
// readers differ on free lists; we keep the list empty and never reuse a page).
void Tree::removeChild(Path& p, std::size_t level) {
  Node& n = *p[level].node;
  int ci = p[level].index;
  int c = n.count();
  std::size_t item = static_cast<std::size_t>(tag_.itemLength);
  shapeChanged_ = true;
  if (c == 0) {
    std::memset(n.b.data(), 0, n.b.size());
    n.touch(0);
    if (level > 0) removeChild(p, level - 1);
    return;
  }
  if (ci < c) {
    std::memmove(n.item(ci), n.item(ci + 1), static_cast<std::size_t>(c - ci - 1) * item + 4);
    std::uint8_t* tail = n.item(c - 1) + 4;
    std::memset(tail, 0, n.b.size() - static_cast<std::size_t>(tail - n.b.data()));
    n.setCount(c - 1);
    n.touchItem(ci);
  } else {
    // The last pointer went: the child before it becomes the last, and its bound becomes this
    // node's highest key.
    std::string high(n.key(c - 1));
    std::uint8_t* tail = n.item(c - 1) + 4;
    std::memset(tail, 0, n.b.size() - static_cast<std::size_t>(tail - n.b.data()));
    n.setCount(c - 1);
    n.touchItem(c - 1);
    fixHighKey(p, level, high);
  }
  if (level == 0) {
    // A root left with one child and no key hands the root over to that child.
    auto r = p[0].node;
    std::uint32_t newRoot = r->page;
    for (std::size_t depth = 0; !r->leaf() && r->count() == 0; ++depth) {
      if (depth >= kMaxDepth) corrupt("tree deeper than " + std::to_string(kMaxDepth) + " levels", offsetOf(r->page));
      newRoot = r->ptr(0);
      r = load(newRoot);
    }
    if (newRoot != p[0].node->page) setRoot(newRoot);
  }
}

void Tree::reset(std::uint32_t rootPage) {
  root();
  auto n = blankNode(rootPage);
  n->touch(0);
  nodes_[rootPage] = n;
  setRoot(rootPage);
  // Back to what a new tag says: its header block and one root, no keys yet.
  put32(header_.data() + kTagPages, 2 * file_.pagesPerBlock);
  header_[kTagKeysFlag] = 0;
  io_.write(offsetOf(tag_.headerPage) + kTagPages, std::span<const std::uint8_t>(header_.data() + kTagPages, 4));
  io_.write(offsetOf(tag_.headerPage) + kTagKeysFlag, std::span<const std::uint8_t>(header_.data() + kTagKeysFlag, 1));
  shapeChanged_ = true;
  touched();
}

}  // namespace rf::tables::mdx
