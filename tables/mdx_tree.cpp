#include "tables/mdx_tree.h"

#include <algorithm>

#include "tables/error.h"
#include "tables/mdx_keys.h"

namespace rf::tables::mdx {

Tree::Tree(const FileLayout& file, const TagLayout& tag, PageIo& io) : file_(file), tag_(tag), io_(io) {}

std::string Tree::where() const { return "tag " + tag_.spec.name; }

void Tree::corrupt(const std::string& what, std::uint64_t offset) const {
  throwCorrupt(file_.path, where() + ": " + what, offset);
}

int Tree::compareKeys(std::string_view a, std::string_view b) const {
  int c = mdx::compareKeys(tag_.spec.keyType, file_.collation, a, b);
  return tag_.spec.descending ? -c : c;
}

int Tree::compareEntries(std::string_view ka, std::uint32_t ra, std::string_view kb, std::uint32_t rb) const {
  int c = compareKeys(ka, kb);
  if (c != 0) return c;
  return ra < rb ? -1 : (ra > rb ? 1 : 0);
}

// ---- header fields and nodes ----

std::uint32_t Tree::root() {
  if (header_.empty()) {
    header_.resize(kTagHeaderPrefix);
    io_.read(offsetOf(tag_.headerPage), header_, "MDX tag header");
  }
  return get32(header_.data() + kTagRoot);
}

std::uint64_t Tree::fileSize() {
  if (!fileSize_) fileSize_ = io_.size();
  return *fileSize_;
}

void Tree::setRoot(std::uint32_t page) {
  root();
  put32(header_.data() + kTagRoot, page);
  rootChanged_ = true;
}

std::shared_ptr<Node> Tree::blankNode(std::uint32_t page) {
  auto n = std::make_shared<Node>();
  n->page = page;
  n->itemLength = tag_.itemLength;
  n->keyLength = tag_.spec.keyLength;
  n->b.assign(file_.blockBytes + kSpareItems * static_cast<std::size_t>(tag_.itemLength), 0);
  return n;
}

std::shared_ptr<Node> Tree::load(std::uint32_t page) {
  auto found = nodes_.find(page);
  if (found != nodes_.end()) return found->second;
  std::uint64_t off = offsetOf(page);
  if (page < kHeaderPages || off + file_.blockBytes > fileSize())
    corrupt("node page " + std::to_string(page) + " lies outside the file's blocks", off);
  auto n = blankNode(page);
  io_.read(off, std::span(n->b.data(), file_.blockBytes), "MDX node");
  std::uint32_t count = get32(n->b.data());
  if (count > static_cast<std::uint32_t>(tag_.maxKeys))
    corrupt("node holds " + std::to_string(count) + " keys, more than its room for " +
                std::to_string(tag_.maxKeys),
            off);
  nodes_.emplace(page, n);
  return n;
}

// ---- positions ----

void Tree::push(Path& p, std::shared_ptr<Node> n, int index) {
  if (p.size() >= kMaxDepth) corrupt("tree deeper than " + std::to_string(kMaxDepth) + " levels", offsetOf(n->page));
  for (const Frame& f : p)
    if (f.node->page == n->page) corrupt("node page " + std::to_string(n->page) + " is its own descendant", offsetOf(n->page));
  p.push_back({std::move(n), index});
}

std::optional<TagEntry> Tree::lastEntryOf(std::uint32_t page, std::size_t depth) {
  auto n = load(page);
  for (; !n->leaf(); ++depth) {
    if (depth >= kMaxDepth) corrupt("tree deeper than " + std::to_string(kMaxDepth) + " levels", offsetOf(n->page));
    n = load(n->ptr(n->count()));
  }
  int c = n->count();
  if (c == 0) return std::nullopt;
  return TagEntry{std::string(n->key(c - 1)), n->ptr(c - 1)};
}

Path Tree::lowerBound(std::string_view key, std::uint32_t recno) {
  Path p;
  auto n = load(root());
  while (true) {
    int count = n->count();
    if (n->leaf()) {
      int lo = 0, hi = count;
      while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (compareEntries(n->key(mid), n->ptr(mid), key, recno) < 0) lo = mid + 1;
        else hi = mid;
      }
      push(p, n, lo);
      return p;
    }
    int lo = 0, hi = count;
    while (lo < hi) {
      int mid = (lo + hi) / 2;
      if (compareKeys(n->key(mid), key) < 0) lo = mid + 1;
      else hi = mid;
    }
    int child = lo;
    if (recno > 0 && lo < count && compareKeys(n->key(lo), key) == 0) {
      // Branch keys carry no record numbers: among the children whose highest key is this key,
      // the first whose last entry is not before (key, recno) holds the position.
      int end = lo, h = count;
      while (end < h) {
        int mid = (end + h) / 2;
        if (compareKeys(n->key(mid), key) <= 0) end = mid + 1;
        else h = mid;
      }
      int a = lo, b = end;
      while (a < b) {
        int mid = (a + b) / 2;
        auto lastEntry = lastEntryOf(n->ptr(mid), p.size() + 1);
        if (!lastEntry || compareEntries(lastEntry->key, lastEntry->recno, key, recno) < 0) a = mid + 1;
        else b = mid;
      }
      child = a;
    }
    push(p, n, child);
    n = load(n->ptr(child));
  }
}

void Tree::descendLeftmost(Path& p, std::uint32_t page) {
  auto n = load(page);
  while (!n->leaf()) {
    push(p, n, 0);
    n = load(n->ptr(0));
  }
  push(p, n, 0);
}

void Tree::descendRightmost(Path& p, std::uint32_t page) {
  auto n = load(page);
  while (!n->leaf()) {
    int c = n->count();
    push(p, n, c);
    n = load(n->ptr(c));
  }
  push(p, n, n->count() - 1);
}

bool Tree::nextLeaf(Path& p) {
  p.pop_back();
  while (!p.empty()) {
    Frame& f = p.back();
    if (f.index < f.node->count()) {
      ++f.index;
      descendLeftmost(p, f.node->ptr(f.index));
      return true;
    }
    p.pop_back();
  }
  return false;
}

bool Tree::priorLeaf(Path& p) {
  p.pop_back();
  while (!p.empty()) {
    Frame& f = p.back();
    if (f.index > 0) {
      --f.index;
      descendRightmost(p, f.node->ptr(f.index));
      return true;
    }
    p.pop_back();
  }
  return false;
}

bool Tree::settle(Path& p) {
  while (!p.empty() && p.back().index >= p.back().node->count())
    if (!nextLeaf(p)) return false;
  return !p.empty();
}

bool Tree::first(Path& p) {
  p.clear();
  descendLeftmost(p, root());
  return settle(p);
}

bool Tree::last(Path& p) {
  p.clear();
  descendRightmost(p, root());
  while (p.back().index < 0)
    if (!priorLeaf(p)) return false;
  return true;
}

bool Tree::next(Path& p) {
  if (p.empty()) return false;
  ++p.back().index;
  return settle(p);
}

bool Tree::prior(Path& p) {
  if (p.empty()) return false;
  --p.back().index;
  while (p.back().index < 0)
    if (!priorLeaf(p)) return false;
  return true;
}

TagEntry Tree::entryAt(const Path& p) {
  const Frame& f = p.back();
  return TagEntry{std::string(f.node->key(f.index)), f.node->ptr(f.index)};
}

}  // namespace rf::tables::mdx
