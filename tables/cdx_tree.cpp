#include "tables/cdx_tree.h"

#include <algorithm>
#include <cstdlib>

#include "tables/error.h"

namespace rf::tables::cdx {

struct Tree::Target {
  enum Mode { Full, PrefixAtOrAbove, PrefixAbove };
  std::string_view key;
  std::uint32_t recno;
  Mode mode;

  // Whether an entry is at or past the target; false then true along the stored order.
  bool reached(std::string_view k, std::uint32_t r) const {
    if (mode == Full) return compareEntry(k, r, key, recno) >= 0;
    const int c = comparePrefix(k, key);
    if (c != 0) return c > 0;
    if (mode == PrefixAtOrAbove) return recno == 0 || r >= recno;
    return recno != 0 && r > recno;
  }
};

namespace {

// The first entry of `n` for which `reached` holds (count() when none), for a condition that
// is false and then true along the node.
template <class Reached>
std::size_t firstReached(const Node& n, Reached reached) {
  std::size_t lo = 0, hi = n.count();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (reached(mid))
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

}  // namespace

void Tree::corrupt(const std::string& what, std::uint64_t offset) const {
  throwCorrupt(store_.path(), "tag " + name_ + ": " + what, offset);
}

std::uint32_t Tree::root() {
  const std::uint32_t r = store_.read32(header_ + kHdrRoot, "a tag header");
  if (!plausibleNodeOffset(r)) corrupt("root pointer " + std::to_string(r) + " is not a node", header_);
  return r;
}

void Tree::setRoot(std::uint32_t offset) { store_.write32(header_ + kHdrRoot, offset); }

std::uint64_t Tree::maxHops() { return store_.size() / kPageSize + 1; }

Tree::Pos Tree::descend(const Target& t) {
  std::uint64_t off = root();
  for (int depth = 0; depth <= kMaxDepth; ++depth) {
    NodePtr n = node(off);
    const std::size_t count = n->count();
    const std::size_t i = firstReached(*n, [&](std::size_t k) { return t.reached(n->key(k), n->recnos[k]); });
    if (n->leaf()) {
      if (i < count) return Pos{n, i};
      if (count == 0) {  // an empty leaf can only stand alone or be skipped
        Pos p{n, 0};
        return next(p) ? p : Pos{};
      }
      Pos p{n, count - 1};
      return next(p) ? p : Pos{};
    }
    if (i == count) return Pos{};
    off = n->children[i];
  }
  corrupt("tree deeper than " + std::to_string(kMaxDepth) + " levels (a pointer loop)", off);
}

Tree::Pos Tree::edge(bool leftmost) {
  std::uint64_t off = root();
  for (int depth = 0; depth <= kMaxDepth; ++depth) {
    NodePtr n = node(off);
    if (n->leaf()) {
      Pos p{n, leftmost ? 0 : n->count() - 1};
      if (n->count() > 0) return p;
      p.index = 0;
      if (leftmost ? next(p) : prior(p)) return p;
      return Pos{};
    }
    if (n->count() == 0) return Pos{};
    off = leftmost ? n->children.front() : n->children.back();
  }
  corrupt("tree deeper than " + std::to_string(kMaxDepth) + " levels (a pointer loop)", off);
}

Tree::Pos Tree::first() { return edge(true); }
Tree::Pos Tree::last() { return edge(false); }

Tree::Pos Tree::lowerBound(std::string_view key, std::uint32_t recno) {
  return descend(Target{key, recno, Target::Full});
}
Tree::Pos Tree::seekPrefix(std::string_view prefix, std::uint32_t recno) {
  return descend(Target{prefix, recno, Target::PrefixAtOrAbove});
}
Tree::Pos Tree::seekPrefixAbove(std::string_view prefix, std::uint32_t recno) {
  return descend(Target{prefix, recno, Target::PrefixAbove});
}

bool Tree::next(Pos& p) {
  if (p.leaf == nullptr) return false;
  if (p.index + 1 < p.leaf->count()) {
    ++p.index;
    return true;
  }
  NodePtr cur = p.leaf;
  const bool hadEntry = p.valid();
  const std::string lastKey = hadEntry ? std::string(p.key()) : std::string();
  const std::uint32_t lastRecno = hadEntry ? p.recno() : 0;
  std::uint64_t hops = 0, limit = 0;
  while (cur->right != kNone) {
    NodePtr nx = node(cur->right);
    if (!nx->leaf() || nx->left != cur->offset)
      corrupt("leaf sibling links disagree", cur->offset);
    if (++hops > 64 && (limit == 0 ? (limit = maxHops()) : limit) < hops)
      corrupt("leaf chain loops", cur->offset);
    if (nx->count() > 0) {
      if (hadEntry && compareEntry(nx->key(0), nx->recnos[0], lastKey, lastRecno) <= 0)
        corrupt("keys out of order across leaves", nx->offset);
      p = Pos{nx, 0};
      return true;
    }
    cur = nx;
  }
  p = Pos{};
  return false;
}

bool Tree::prior(Pos& p) {
  if (p.leaf == nullptr) return false;
  if (p.valid() && p.index > 0) {
    --p.index;
    return true;
  }
  NodePtr cur = p.leaf;
  const bool hadEntry = p.valid();
  const std::string firstKey = hadEntry ? std::string(p.key()) : std::string();
  const std::uint32_t firstRecno = hadEntry ? p.recno() : 0;
  std::uint64_t hops = 0, limit = 0;
  while (cur->left != kNone) {
    NodePtr pv = node(cur->left);
    if (!pv->leaf() || pv->right != cur->offset)
      corrupt("leaf sibling links disagree", cur->offset);
    if (++hops > 64 && (limit == 0 ? (limit = maxHops()) : limit) < hops)
      corrupt("leaf chain loops", cur->offset);
    if (pv->count() > 0) {
      const std::size_t i = pv->count() - 1;
      if (hadEntry && compareEntry(pv->key(i), pv->recnos[i], firstKey, firstRecno) >= 0)
        corrupt("keys out of order across leaves", pv->offset);
      p = Pos{pv, i};
      return true;
    }
    cur = pv;
  }
  p = Pos{};
  return false;
}

std::vector<Tree::Step> Tree::pathTo(std::string_view key, std::uint32_t recno) {
  std::vector<Step> path;
  std::uint64_t off = root();
  for (int depth = 0; depth <= kMaxDepth; ++depth) {
    NodePtr n = node(off);
    for (const Step& s : path)
      if (s.node->offset == off) corrupt("a node points back at its ancestor", off);
    const std::size_t count = n->count();
    std::size_t i = firstReached(*n, [&](std::size_t k) {
      return compareEntry(n->key(k), n->recnos[k], key, recno) >= 0;
    });
    if (n->leaf()) {
      path.push_back(Step{n, i});
      return path;
    }
    if (count == 0) corrupt("empty interior node", off);
    if (i == count) i = count - 1;  // beyond every key: the last child grows
    path.push_back(Step{n, i});
    off = n->children[i];
  }
  corrupt("tree deeper than " + std::to_string(kMaxDepth) + " levels (a pointer loop)", off);
}

void Tree::insert(std::string_view key, std::uint32_t recno) {
  std::vector<Step> path = pathTo(key, recno);
  const Step leafStep = path.back();
  path.pop_back();
  const Node& old = *leafStep.node;
  if (leafStep.index < old.count() && old.recnos[leafStep.index] == recno &&
      old.key(leafStep.index) == key)
    throwError(ErrorKind::InvalidInput, store_.path(),
               "tag " + name_ + " already holds record " + std::to_string(recno) + " under that key");
  Node leaf = old;
  leaf.insertEntry(leafStep.index, key, recno, 0);
  const bool append = leafStep.index == old.count() && old.right == kNone;
  storeLeaf(path, std::move(leaf), append);
}

bool Tree::remove(std::string_view key, std::uint32_t recno) {
  std::vector<Step> path = pathTo(key, recno);
  const Step leafStep = path.back();
  path.pop_back();
  const Node& old = *leafStep.node;
  if (leafStep.index >= old.count() || old.recnos[leafStep.index] != recno ||
      old.key(leafStep.index) != key)
    return false;
  Node leaf = old;
  leaf.eraseEntries(leafStep.index, 1);
  storeLeaf(path, std::move(leaf), false);
  return true;
}

std::vector<Node> Tree::splitLeaf(const Node& leaf, bool append) const {
  const LeafSizer size(leaf, fill_);
  const std::size_t n = leaf.count();
  if (size.fits(0, n)) return {leaf};
  std::size_t best = 0;
  if (append) {
    // Keys arriving in order: fill the left leaf, start the right one afresh.
    for (std::size_t s = n - 1; s >= 1 && best == 0; --s)
      if (size.fits(0, s) && size.fits(s, n)) best = s;
  } else {
    int bestGap = 0;
    for (std::size_t s = 1; s < n; ++s) {
      const int l = size.bytes(0, s), r = size.bytes(s, n);
      if (l > kLeafSpace || r > kLeafSpace) continue;
      if (best == 0 || std::abs(l - r) < bestGap) {
        best = s;
        bestGap = std::abs(l - r);
      }
    }
  }
  std::vector<std::size_t> cuts;
  if (best != 0) {
    cuts = {0, best, n};
  } else {
    // Long keys that packed well together may need more than two leaves once apart.
    cuts.push_back(0);
    std::size_t start = 0;
    while (start < n) {
      std::size_t end = start + 1;
      while (end < n && size.fits(start, end + 1)) ++end;
      cuts.push_back(end);
      start = end;
    }
  }
  std::vector<Node> pieces;
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    Node p;
    p.keyLength = keyLength_;
    p.attr = leaf.attr;
    p.appendRange(leaf, cuts[i], cuts[i + 1]);
    pieces.push_back(std::move(p));
  }
  return pieces;
}

std::vector<Node> Tree::splitInterior(const Node& n) const {
  const std::size_t cap = interiorCapacity(keyLength_);
  const std::size_t count = n.count();
  const std::size_t parts = std::max<std::size_t>(2, (count + cap - 1) / cap);
  std::vector<Node> pieces;
  std::size_t from = 0;
  for (std::size_t i = 0; i < parts; ++i) {
    const std::size_t to = count * (i + 1) / parts;
    Node p;
    p.keyLength = keyLength_;
    p.attr = n.attr;
    p.appendRange(n, from, to);
    pieces.push_back(std::move(p));
    from = to;
  }
  return pieces;
}

// Gives the pieces of a split node their pages and links: the first keeps the original page,
// the rest get new ones, and the original right neighbour learns its new left one.
void Tree::placePieces(const Node& original, std::vector<Node>& pieces) {
  const bool several = pieces.size() > 1;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    Node& p = pieces[i];
    p.offset = i == 0 ? original.offset : store_.allocate();
    if (several) p.attr = static_cast<std::uint16_t>(p.attr & ~kAttrRoot);
    if (i > 0) p.attr = original.leaf() ? kAttrLeaf : 0;  // fresh pages carry no unknown bits
  }
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    pieces[i].left = i == 0 ? original.left : static_cast<std::uint32_t>(pieces[i - 1].offset);
    pieces[i].right = i + 1 == pieces.size() ? original.right
                                             : static_cast<std::uint32_t>(pieces[i + 1].offset);
  }
  if (several && original.right != kNone)
    store_.setLeftLink(original.right, static_cast<std::uint32_t>(pieces.back().offset));
  for (const Node& p : pieces) store_.put(p, fill_);
}

void Tree::storeLeaf(std::vector<Step>& path, Node&& leaf, bool append) {
  if (leaf.count() == 0) {
    if (path.empty()) {  // the root stays, empty
      leaf.attr = static_cast<std::uint16_t>(leaf.attr | kAttrRoot | kAttrLeaf);
      store_.put(leaf, fill_);
      return;
    }
    unlinkAndFree(leaf);
    replaceChild(path, {});
    return;
  }
  if (store_.tryPut(leaf, fill_)) {  // the common case: it still fits its page
    replaceChild(path, {Child{std::string(leaf.lastKey()), leaf.lastRecno(), static_cast<std::uint32_t>(leaf.offset)}});
    return;
  }
  std::vector<Node> pieces = splitLeaf(leaf, append);
  placePieces(leaf, pieces);
  std::vector<Child> repl;
  for (const Node& p : pieces)
    repl.push_back(Child{std::string(p.lastKey()), p.lastRecno(), static_cast<std::uint32_t>(p.offset)});
  replaceChild(path, std::move(repl));
}

// Replaces the parent's entry for the node at the end of `path` by `repl` (its pieces after a
// split, its new last entry, or nothing when it went), then carries the change upwards.
void Tree::replaceChild(std::vector<Step>& path, std::vector<Child> repl) {
  if (path.empty()) {
    if (repl.size() > 1) growRoot(std::move(repl));
    return;
  }
  const Step s = path.back();
  path.pop_back();
  const Node& old = *s.node;
  if (repl.size() == 1 && repl[0].offset == old.children[s.index] &&
      repl[0].recno == old.recnos[s.index] && repl[0].key == old.key(s.index))
    return;  // nothing above changes
  Node p = old;
  p.eraseEntries(s.index, 1);
  for (std::size_t i = 0; i < repl.size(); ++i)
    p.insertEntry(s.index + i, repl[i].key, repl[i].recno, repl[i].offset);

  if (p.count() == 0) {
    if (path.empty()) {  // the root lost its last child: it becomes an empty leaf
      Node e;
      e.offset = p.offset;
      e.keyLength = keyLength_;
      e.attr = kAttrRoot | kAttrLeaf;
      store_.put(e, fill_);
      return;
    }
    unlinkAndFree(p);
    replaceChild(path, {});
    return;
  }
  if (p.count() > interiorCapacity(keyLength_)) {
    std::vector<Node> pieces = splitInterior(p);
    placePieces(p, pieces);
    std::vector<Child> up;
    for (const Node& q : pieces)
      up.push_back(Child{std::string(q.lastKey()), q.lastRecno(), static_cast<std::uint32_t>(q.offset)});
    replaceChild(path, std::move(up));
    return;
  }
  store_.put(p, fill_);
  if (path.empty()) {
    if (p.count() == 1) collapseRoot(std::move(p));
    return;
  }
  replaceChild(path, {Child{std::string(p.lastKey()), p.lastRecno(), static_cast<std::uint32_t>(p.offset)}});
}

void Tree::growRoot(std::vector<Child> children) {
  // A split root leaves its pieces (at most a few) under one new root; repeat while they do not
  // fit one node, which only very long keys can cause.
  for (int level = 0; level <= kMaxDepth; ++level) {
    Node all;
    all.keyLength = keyLength_;
    all.attr = 0;
    for (const Child& c : children) all.insertEntry(all.count(), c.key, c.recno, c.offset);
    if (all.count() <= interiorCapacity(keyLength_)) {
      all.attr = kAttrRoot;
      all.offset = store_.allocate();
      store_.put(all, fill_);
      setRoot(static_cast<std::uint32_t>(all.offset));
      return;
    }
    std::vector<Node> pieces = splitInterior(all);
    std::vector<Child> up;
    for (std::size_t i = 0; i < pieces.size(); ++i) pieces[i].offset = store_.allocate();
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      pieces[i].attr = 0;
      pieces[i].left = i == 0 ? kNone : static_cast<std::uint32_t>(pieces[i - 1].offset);
      pieces[i].right = i + 1 == pieces.size() ? kNone : static_cast<std::uint32_t>(pieces[i + 1].offset);
      store_.put(pieces[i], fill_);
      up.push_back(Child{std::string(pieces[i].lastKey()), pieces[i].lastRecno(),
                         static_cast<std::uint32_t>(pieces[i].offset)});
    }
    children = std::move(up);
  }
  corrupt("tree deeper than " + std::to_string(kMaxDepth) + " levels", header_);
}

// A root with a single child hands the root role to that child.
void Tree::collapseRoot(Node rootNode) {
  for (int level = 0; level <= kMaxDepth && !rootNode.leaf() && rootNode.count() == 1; ++level) {
    Node child = *node(rootNode.children[0]);
    child.attr = static_cast<std::uint16_t>(child.attr | kAttrRoot);
    child.left = kNone;
    child.right = kNone;
    store_.put(child, fill_);
    setRoot(static_cast<std::uint32_t>(child.offset));
    store_.release(static_cast<std::uint32_t>(rootNode.offset));
    rootNode = std::move(child);
  }
}

void Tree::unlinkAndFree(const Node& n) {
  if (n.left != kNone) store_.setRightLink(n.left, n.right);
  if (n.right != kNone) store_.setLeftLink(n.right, n.left);
  store_.release(static_cast<std::uint32_t>(n.offset));
}

void Tree::collectPages(std::vector<std::uint32_t>& out) {
  const std::uint32_t r = root();
  std::vector<std::uint64_t> level{r};
  std::set<std::uint64_t> seen{r};
  for (int depth = 0; depth <= kMaxDepth && !level.empty(); ++depth) {
    std::vector<std::uint64_t> below;
    for (std::uint64_t off : level) {
      NodePtr n = node(off);
      out.push_back(static_cast<std::uint32_t>(off));
      if (n->leaf()) continue;
      for (std::uint32_t c : n->children) {
        if (!seen.insert(c).second) corrupt("a node is reached twice", c);
        below.push_back(c);
      }
    }
    level = std::move(below);
  }
  if (!level.empty()) corrupt("tree deeper than " + std::to_string(kMaxDepth) + " levels", r);
}

void Tree::reset(std::uint32_t newRoot) {
  Node e;
  e.offset = newRoot;
  e.keyLength = keyLength_;
  e.attr = kAttrRoot | kAttrLeaf;
  store_.put(e, fill_);
  setRoot(newRoot);
}

std::vector<std::string> Tree::samples(std::size_t max) {
  // From both ends: the smallest keys of a numeric tag may all be negative, the largest not.
  std::vector<std::string> out;
  const auto stored = [&](const Pos& p) {
    return std::string(p.key().substr(0, static_cast<std::size_t>(keyLength_) - p.leaf->trails[p.index]));
  };
  Pos front = first();
  std::size_t taken = 0;
  for (; front.valid() && taken < max / 2; ++taken) {
    out.push_back(stored(front));
    if (!next(front)) break;
  }
  if (!front.valid()) return out;  // the whole tag is sampled
  Pos back = last();
  for (std::size_t n = 0; back.valid() && n < max - max / 2; ++n) {
    if (compareEntry(back.key(), back.recno(), front.key(), front.recno()) < 0) break;
    out.push_back(stored(back));
    if (!prior(back)) break;
  }
  return out;
}

}  // namespace rf::tables::cdx
