// The structural check of one CDX tree: every node decodes, carries the right attribute, keeps
// its entries in order inside the bounds its parent gives it, has its leaves' free space
// accounted for, and is chained to its neighbours on the same level.

#include "tables/cdx_tree.h"

#include "tables/error.h"

namespace rf::tables::cdx {

namespace {

struct Item {
  explicit Item(std::uint64_t off) : offset(off) {}
  std::uint64_t offset;
  bool hasUpper = false;  // the parent's entry: this node's last entry must equal it
  std::string upperKey;
  std::uint32_t upperRecno = 0;
  bool hasLower = false;  // the previous sibling's bound: every entry must be above it
  std::string lowerKey;
  std::uint32_t lowerRecno = 0;
};

}  // namespace

void Tree::check(CheckReport& report, std::set<std::uint64_t>& used) {
  const auto problem = [&](std::uint64_t off, const std::string& what) {
    report.problems.push_back(store_.path() + ": tag " + name_ + ": " + what + " (node at offset " +
                              std::to_string(off) + ")");
  };
  try {
    std::vector<Item> level{Item(root())};
    int leafDepth = -1;
    for (int depth = 0; !level.empty(); ++depth) {
      if (depth > kMaxDepth) {
        problem(level.front().offset, "tree deeper than " + std::to_string(kMaxDepth) + " levels");
        return;
      }
      std::vector<NodePtr> nodes;
      std::vector<Item> below;
      for (const Item& it : level) {
        if (!used.insert(it.offset).second) {
          problem(it.offset, "page is used twice");
          nodes.push_back(nullptr);
          continue;
        }
        NodePtr n;
        try {
          n = node(it.offset);
        } catch (const TableError& e) {
          report.problems.push_back(e.what());
          nodes.push_back(nullptr);  // its neighbours' links cannot be judged
          continue;
        }
        nodes.push_back(n);
        if (n->root() != (depth == 0))
          problem(it.offset, depth == 0 ? "root node lacks the root attribute"
                                        : "inner node carries the root attribute");
        const std::size_t count = n->count();
        if (count == 0 && depth > 0) problem(it.offset, "empty node below the root");
        for (std::size_t i = 1; i < count; ++i)
          if (compareEntry(n->key(i - 1), n->recnos[i - 1], n->key(i), n->recnos[i]) >= 0)
            problem(it.offset, "entries " + std::to_string(i - 1) + " and " + std::to_string(i) +
                                   " out of order");
        if (count > 0 && it.hasUpper &&
            (n->lastKey() != it.upperKey || n->lastRecno() != it.upperRecno))
          problem(it.offset, "last entry differs from the parent's key for it");
        if (count > 0 && it.hasLower &&
            compareEntry(n->key(0), n->recnos[0], it.lowerKey, it.lowerRecno) <= 0)
          problem(it.offset, "first entry not above the previous node's last");
        if (n->leaf()) {
          if (leafDepth < 0) leafDepth = depth;
          if (leafDepth != depth) problem(it.offset, "leaves at different depths");
          if (n->stats.freeSpace != n->stats.actualFree)
            problem(it.offset, "free space field says " + std::to_string(n->stats.freeSpace) +
                                   ", the entries leave " + std::to_string(n->stats.actualFree));
          for (std::size_t i = 0; i < count; ++i)
            if (n->recnos[i] == 0) problem(it.offset, "entry with record number 0");
          continue;
        }
        for (std::size_t i = 0; i < count; ++i) {
          Item c(n->children[i]);
          c.hasUpper = true;
          c.upperKey = std::string(n->key(i));
          c.upperRecno = n->recnos[i];
          if (i > 0) {
            c.hasLower = true;
            c.lowerKey = std::string(n->key(i - 1));
            c.lowerRecno = n->recnos[i - 1];
          } else if (it.hasLower) {
            c.hasLower = true;
            c.lowerKey = it.lowerKey;
            c.lowerRecno = it.lowerRecno;
          }
          below.push_back(std::move(c));
        }
      }
      for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i] == nullptr || (i > 0 && nodes[i - 1] == nullptr) ||
            (i + 1 < nodes.size() && nodes[i + 1] == nullptr))
          continue;
        const std::uint32_t wantLeft = i == 0 ? kNone : static_cast<std::uint32_t>(nodes[i - 1]->offset);
        const std::uint32_t wantRight =
            i + 1 == nodes.size() ? kNone : static_cast<std::uint32_t>(nodes[i + 1]->offset);
        if (nodes[i]->left != wantLeft || nodes[i]->right != wantRight)
          problem(nodes[i]->offset, "sibling links (" + std::to_string(nodes[i]->left) + ", " +
                                        std::to_string(nodes[i]->right) + ") should be (" +
                                        std::to_string(wantLeft) + ", " +
                                        std::to_string(wantRight) + ")");
      }
      level = std::move(below);
    }
  } catch (const TableError& e) {
    report.problems.push_back(e.what());
  }
}

}  // namespace rf::tables::cdx
