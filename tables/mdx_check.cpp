// The structural check of one MDX tag: every node inside the file and reached once, leaves all at
// one depth, keys in order within and across nodes and inside their branch bounds.

#include <set>

#include "tables/error.h"
#include "tables/mdx_tree.h"

namespace rf::tables::mdx {

namespace {
constexpr std::size_t kMaxProblemsPerTag = 20;
}  // namespace

struct Tree::CheckState {
  std::vector<std::string>& problems;
  const std::vector<std::uint32_t>& reserved;
  std::set<std::uint32_t> visited;
  std::optional<std::size_t> leafDepth;
  std::optional<std::string> lastKey;
  std::size_t found = 0;

  void add(const Tree& t, std::uint32_t page, const std::string& what) {
    if (++found > kMaxProblemsPerTag) return;
    problems.push_back(t.file_.path + ": " + t.where() + ": node at page " + std::to_string(page) +
                       " (offset " + std::to_string(static_cast<std::uint64_t>(page) * kPageBytes) +
                       "): " + what);
  }
};

void Tree::check(std::vector<std::string>& problems, const std::vector<std::uint32_t>& reservedBlocks) {
  CheckState st{problems, reservedBlocks, {}, {}, {}, 0};
  std::uint32_t r;
  try {
    r = root();
  } catch (const TableError& e) {
    problems.push_back(e.what());
    return;
  }
  checkNode(st, r, 0, nullptr, nullptr, true);
  if (st.found > kMaxProblemsPerTag)
    problems.push_back(file_.path + ": " + where() + ": " + std::to_string(st.found - kMaxProblemsPerTag) +
                       " more problems");
}

void Tree::checkNode(CheckState& st, std::uint32_t page, std::size_t depth, const std::string* low,
                     const std::string* high, bool isRoot) {
  if (depth > kMaxDepth) {
    st.add(*this, page, "tree deeper than " + std::to_string(kMaxDepth) + " levels");
    return;
  }
  if (page < kHeaderPages ||
      static_cast<std::uint64_t>(page) * kPageBytes + file_.blockBytes > fileSize()) {
    st.add(*this, page, "pointer outside the file's blocks");
    return;
  }
  for (std::uint32_t h : st.reserved)
    if (page < h + file_.pagesPerBlock && h < page + file_.pagesPerBlock) {
      st.add(*this, page, "node overlaps the tag header at page " + std::to_string(h));
      return;
    }
  if (!st.visited.insert(page).second) {
    st.add(*this, page, "reached twice (a loop or a shared node)");
    return;
  }
  std::shared_ptr<Node> n;
  try {
    n = load(page);
  } catch (const TableError& e) {
    st.problems.push_back(e.what());
    ++st.found;
    return;
  }
  int count = n->count();
  auto inBounds = [&](std::string_view key, int i) {
    if (low && compareKeys(key, *low) < 0)
      st.add(*this, page, "key " + std::to_string(i) + " is below its branch bound");
    if (high && compareKeys(key, *high) > 0)
      st.add(*this, page, "key " + std::to_string(i) + " is above its branch bound");
    if (i > 0 && compareKeys(n->key(i - 1), key) > 0)
      st.add(*this, page, "key " + std::to_string(i) + " is out of order");
  };
  if (n->leaf()) {
    if (!st.leafDepth) st.leafDepth = depth;
    else if (*st.leafDepth != depth) st.add(*this, page, "leaf at a different depth from the others");
    if (count == 0 && !isRoot) st.add(*this, page, "empty node");
    for (int i = 0; i < count; ++i) {
      std::string_view key = n->key(i);
      if (n->ptr(i) == 0) st.add(*this, page, "entry " + std::to_string(i) + " has record number 0");
      inBounds(key, i);
      if (i == 0 && st.lastKey && compareKeys(*st.lastKey, key) > 0)
        st.add(*this, page, "first key is before the previous leaf's last key");
    }
    if (count > 0) st.lastKey = std::string(n->key(count - 1));
    return;
  }
  std::vector<std::string> keys;
  keys.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    keys.emplace_back(n->key(i));
    inBounds(keys.back(), i);
  }
  for (int i = 0; i <= count; ++i) {
    std::uint32_t child = n->ptr(i);
    if (child == 0) {
      st.add(*this, page, "child pointer " + std::to_string(i) + " is 0");
      continue;
    }
    const std::string* lo = i == 0 ? low : &keys[static_cast<std::size_t>(i - 1)];
    const std::string* hi = i < count ? &keys[static_cast<std::size_t>(i)] : high;
    checkNode(st, child, depth + 1, lo, hi, false);
  }
}

}  // namespace rf::tables::mdx
