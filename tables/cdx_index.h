#pragma once
// The compound index of FoxPro 2.x and Visual FoxPro (structural .CDX, separately named .cdx,
// and the .DCX of a database container) behind the IndexFile interface.
//
// Each tag's entries are stored ascending; a descending tag is walked from the other end, so
// its duplicates come in falling record-number order (the reverse of the ascending walk).
// Uniqueness is the table's to judge (a deleted record keeps its entries), so a unique tag
// takes a second entry with the same key like any other.

#include <memory>
#include <string>
#include <vector>

#include "tables/cdx_key.h"
#include "tables/cdx_store.h"
#include "tables/cdx_tree.h"
#include "tables/index_file.h"

namespace rf::tables {

class CdxIndex final : public IndexFile {
 public:
  explicit CdxIndex(File& file);

  int tagCount() const override { return static_cast<int>(tags_.size()); }
  const TagSpec& tag(int i) const override { return at(i).def; }
  std::string encode(int tag, const KeyValue& key) const override;
  int compare(int tag, std::string_view a, std::string_view b) const override;
  std::unique_ptr<TagIterator> iterate(int tag) override;
  void insert(Transaction& tx, int tag, std::string_view key, std::uint32_t recno) override;
  void remove(Transaction& tx, int tag, std::string_view key, std::uint32_t recno) override;
  void clear(Transaction& tx) override;
  void refresh() override;
  void check(CheckReport& report) override;
  const std::string& path() const override { return file_.path(); }

  // For the iterators: bumped by every change made through this object and by refresh().
  std::uint64_t generation() const { return generation_; }
  cdx::Tree& tree(int tag) { return *at(tag).tree; }
  bool descending(int tag) const { return at(tag).def.descending; }

 private:
  struct Tag {
    TagSpec def;
    cdx::KeyShape shape;
    std::uint64_t header = 0;
    std::unique_ptr<cdx::Tree> tree;
  };
  const Tag& at(int i) const;
  Tag& at(int i);
  void load();
  void validateKey(const Tag& t, std::string_view key, std::uint32_t recno) const;
  void checkFreeList(CheckReport& report, std::set<std::uint64_t>& used);

  File& file_;
  mutable cdx::Store store_;
  // encode() learns a tag's key type from the values the engine encodes (the file does not
  // record it), hence mutable.
  mutable std::vector<Tag> tags_;
  std::unique_ptr<cdx::Tree> directory_;
  mutable std::uint64_t generation_ = 0;
};

}  // namespace rf::tables
