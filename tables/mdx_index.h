#pragma once
// The IndexFile of a dBASE production index (.MDX).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tables/index_file.h"
#include "tables/mdx_layout.h"

namespace rf::tables::mdx {

// Bumped by every change any MDX index of this process makes (and by refresh()): an iterator
// that sees it move finds its place again from the root.
std::uint64_t changeGeneration();
void bumpChangeGeneration();

class MdxIndex final : public IndexFile {
 public:
  // `tableLanguageDriver` (the table header's) orders character keys when the MDX names none.
  explicit MdxIndex(File& file, std::uint8_t tableLanguageDriver = 0);

  int tagCount() const override { return static_cast<int>(tags_.size()); }
  const TagSpec& tag(int i) const override;
  std::string encode(int tag, const KeyValue& key) const override;
  int compare(int tag, std::string_view a, std::string_view b) const override;
  std::unique_ptr<TagIterator> iterate(int tag) override;
  void insert(Transaction& tx, int tag, std::string_view key, std::uint32_t recno) override;
  void remove(Transaction& tx, int tag, std::string_view key, std::uint32_t recno) override;
  void clear(Transaction& tx) override;
  void refresh() override;
  void check(CheckReport& report) override;
  const std::string& path() const override { return layout_.path; }

  File& file() { return file_; }
  const FileLayout& layout() const { return layout_; }
  const TagLayout& tagLayout(int i) const;

 private:
  void load();
  const TagLayout& writable(int tag, std::string_view key) const;

  File& file_;
  std::uint8_t tableLanguageDriver_;
  FileLayout layout_;
  std::vector<TagLayout> tags_;
};

std::unique_ptr<TagIterator> makeIterator(MdxIndex& index, int tag);

}  // namespace rf::tables::mdx
