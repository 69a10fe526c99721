// Ordered walks over one MDX tag. The iterator keeps the nodes of its path; after any change to
// an index of this process it finds its place again from the root by its current entry.

#include "tables/mdx_index.h"
#include "tables/mdx_tree.h"

namespace rf::tables::mdx {

namespace {

class MdxTagIterator final : public TagIterator {
 public:
  MdxTagIterator(MdxIndex& index, int tag) : index_(index), tag_(tag) {}

  bool first() override {
    return run([&](Tree& t) { return land(t.first(path_), State::After); });
  }

  bool last() override {
    return run([&](Tree& t) { return land(t.last(path_), State::Before); });
  }

  bool seek(std::string_view key, std::uint32_t recno) override {
    return run([&](Tree& t) {
      path_ = t.lowerBound(key, recno);
      return land(t.settle(path_), State::After);
    });
  }

  bool next() override {
    if (state_ == State::Before) return first();
    if (state_ == State::After) return false;
    if (fresh()) {
      Frame& f = path_.back();
      if (f.index + 1 < f.node->count()) {
        ++f.index;
        return land(true, State::After);
      }
    }
    return run([&](Tree& t) {
      if (!fresh()) {
        path_ = t.lowerBound(entry_.key, entry_.recno);
        if (!t.settle(path_)) return land(false, State::After);
        if (Tree::entryAt(path_) != entry_) return land(true, State::After);
      }
      return land(t.next(path_), State::After);
    });
  }

  bool prior() override {
    if (state_ == State::After) return last();
    if (state_ == State::Before) return false;
    if (fresh() && path_.back().index > 0) {
      --path_.back().index;
      return land(true, State::Before);
    }
    return run([&](Tree& t) {
      if (!fresh()) {
        path_ = t.lowerBound(entry_.key, entry_.recno);
        // Every entry is before the current one: the last is the prior.
        if (!t.settle(path_)) return land(t.last(path_), State::Before);
      }
      return land(t.prior(path_), State::Before);
    });
  }

  bool valid() const override { return state_ == State::On; }
  const TagEntry& entry() const override { return entry_; }

 private:
  enum class State { Before, On, After };

  bool fresh() const { return generation_ == changeGeneration() && !path_.empty(); }

  template <class F>
  bool run(F&& f) {
    PageIo io(index_.file(), nullptr);
    Tree tree(index_.layout(), index_.tagLayout(tag_), io);
    std::uint64_t g = changeGeneration();
    bool ok = f(tree);
    generation_ = g;
    return ok;
  }

  bool land(bool ok, State otherwise) {
    if (ok) {
      entry_ = Tree::entryAt(path_);
      state_ = State::On;
    } else {
      path_.clear();
      state_ = otherwise;
    }
    return ok;
  }

  MdxIndex& index_;
  int tag_;
  Path path_;
  State state_ = State::Before;
  TagEntry entry_;
  std::uint64_t generation_ = 0;
};

}  // namespace

std::unique_ptr<TagIterator> makeIterator(MdxIndex& index, int tag) {
  return std::make_unique<MdxTagIterator>(index, tag);
}

}  // namespace rf::tables::mdx
