#pragma once
// The ordered walk over one CDX tag. It keeps the decoded leaf it stands in, so a walk decodes
// each leaf once. When the index changed through its IndexFile object (or was refreshed) since
// the iterator last moved, the next move first finds its entry again by (key, record number);
// an entry that went meanwhile leaves the iterator between its neighbours.

#include "tables/cdx_tree.h"
#include "tables/index_file.h"

namespace rf::tables {

class CdxIndex;

class CdxTagIterator final : public TagIterator {
 public:
  CdxTagIterator(CdxIndex& index, int tag) : index_(index), tag_(tag) {}

  bool first() override;
  bool last() override;
  bool seek(std::string_view key, std::uint32_t recno) override;
  bool next() override;
  bool prior() override;
  bool valid() const override { return state_ == State::On; }
  const TagEntry& entry() const override { return entry_; }

 private:
  enum class State { Before, On, After };
  using Pos = cdx::Tree::Pos;

  cdx::Tree& tree();
  bool descending() const;
  // Lands on `p`, or in `otherwise` when it is not an entry.
  bool land(Pos p, State otherwise);
  // The entry before `p` in stored order (the last entry when `p` is past the end).
  Pos storedBefore(Pos p);
  // Steps in stored order; false at the end.
  bool stepStored(Pos& p, bool forward);
  bool move(bool forward);

  CdxIndex& index_;
  int tag_;
  Pos pos_;
  State state_ = State::Before;
  TagEntry entry_;
  std::uint64_t generation_ = 0;
};

}  // namespace rf::tables
