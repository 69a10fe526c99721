#pragma once
// The B-tree of one MDX tag, for the length of one operation: finding positions, walking,
// inserting and removing entries, and the structural check. Nodes read during the operation are
// kept, so none is read twice, and the ones it changes are written back by flush().

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tables/mdx_layout.h"

namespace rf::tables::mdx {

// Far deeper than any real tree (a 1024-byte block holds at least 3 keys): anything deeper is a
// loop in a damaged file.
constexpr std::size_t kMaxDepth = 40;
// Spare room after a node's block: an insert may overfill a node by one item before it splits.
constexpr std::size_t kSpareItems = 2;

inline std::uint64_t offsetOf(std::uint32_t page) { return static_cast<std::uint64_t>(page) * kPageBytes; }

struct Frame {
  std::shared_ptr<Node> node;
  int index = 0;  // entry in a leaf; child (0..count) in a branch
};
// Root first, leaf last.
using Path = std::vector<Frame>;

class Tree {
 public:
  Tree(const FileLayout& file, const TagLayout& tag, PageIo& io);

  int compareKeys(std::string_view a, std::string_view b) const;  // descending tags reversed
  int compareEntries(std::string_view ka, std::uint32_t ra, std::string_view kb, std::uint32_t rb) const;

  // The path to the first entry at or after (key, recno); its leaf index may stand past the end
  // of the leaf (settle() moves it on).
  Path lowerBound(std::string_view key, std::uint32_t recno);
  bool settle(Path& p);
  bool first(Path& p);
  bool last(Path& p);
  bool next(Path& p);
  bool prior(Path& p);
  static TagEntry entryAt(const Path& p);

  // Uniqueness is the table's business (an entry of a deleted record doesn't count, and only
  // the table knows which those are).
  void insert(std::string_view key, std::uint32_t recno);
  // Throws Corrupt when the entry is not there.
  void remove(std::string_view key, std::uint32_t recno);
  // Empties the tag: its root becomes the empty leaf at `rootPage`.
  void reset(std::uint32_t rootPage);
  // Writes the changed nodes and header fields.
  void flush();

  // Appends the problems of this tag's tree. `reserved` are the pages no node may use.
  void check(std::vector<std::string>& problems, const std::vector<std::uint32_t>& reservedBlocks);

 private:
  std::uint32_t root();
  // The file's size when the operation began: nodes it adds are in memory until flush().
  std::uint64_t fileSize();
  void setRoot(std::uint32_t page);
  std::shared_ptr<Node> load(std::uint32_t page);
  std::shared_ptr<Node> allocate();
  std::shared_ptr<Node> blankNode(std::uint32_t page);
  void descendLeftmost(Path& p, std::uint32_t page);
  void descendRightmost(Path& p, std::uint32_t page);
  void push(Path& p, std::shared_ptr<Node> n, int index);
  bool nextLeaf(Path& p);
  bool priorLeaf(Path& p);
  std::optional<TagEntry> lastEntryOf(std::uint32_t page, std::size_t depth);
  void insertItem(Node& n, int i, std::uint32_t ptr, std::string_view key);
  void split(Path& p);
  void removeAt(Path& p);
  void removeChild(Path& p, std::size_t level);
  void fixHighKey(Path& p, std::size_t level, const std::string& high);
  void touched();
  [[noreturn]] void corrupt(const std::string& what, std::uint64_t offset) const;
  std::string where() const;

  struct CheckState;
  void checkNode(CheckState& st, std::uint32_t page, std::size_t depth, const std::string* low,
                 const std::string* high, bool isRoot);

  const FileLayout& file_;
  const TagLayout& tag_;
  PageIo& io_;
  std::unordered_map<std::uint32_t, std::shared_ptr<Node>> nodes_;
  std::vector<std::uint8_t> header_;  // the tag header's first bytes, once read
  bool rootChanged_ = false;
  bool changed_ = false;
  std::optional<std::uint64_t> fileSize_;
  std::optional<std::uint32_t> filePages_;  // the file header's page count, once read
  bool pagesChanged_ = false;
  std::uint32_t allocated_ = 0;    // blocks this operation added
  bool shapeChanged_ = false;      // splits, unlinks: the first and last leaf may have moved
  bool inserted_ = false;
};

}  // namespace rf::tables::mdx
