#include "tables/cdx_iterator.h"

#include "tables/cdx_index.h"

namespace rf::tables {

cdx::Tree& CdxTagIterator::tree() { return index_.tree(tag_); }
bool CdxTagIterator::descending() const { return index_.descending(tag_); }

bool CdxTagIterator::land(Pos p, State otherwise) {
  if (!p.valid()) {
    pos_ = Pos{};
    state_ = otherwise;
    return false;
  }
  pos_ = std::move(p);
  entry_.key.assign(pos_.key());
  entry_.recno = pos_.recno();
  state_ = State::On;
  return true;
}

CdxTagIterator::Pos CdxTagIterator::storedBefore(Pos p) {
  if (!p.valid()) return tree().last();
  return tree().prior(p) ? p : Pos{};
}

bool CdxTagIterator::stepStored(Pos& p, bool forward) {
  return forward ? tree().next(p) : tree().prior(p);
}

bool CdxTagIterator::first() {
  generation_ = index_.generation();
  return land(descending() ? tree().last() : tree().first(), State::After);
}

bool CdxTagIterator::last() {
  generation_ = index_.generation();
  return land(descending() ? tree().first() : tree().last(), State::Before);
}

bool CdxTagIterator::seek(std::string_view key, std::uint32_t recno) {
  generation_ = index_.generation();
  if (!descending()) return land(tree().seekPrefix(key, recno), State::After);
  // Walking backwards, "at or after" is the last stored entry not above the target.
  return land(storedBefore(tree().seekPrefixAbove(key, recno)), State::After);
}

bool CdxTagIterator::move(bool forward) {
  if (state_ == State::Before) return forward && first();
  if (state_ == State::After) return !forward && last();
  const bool storedForward = forward != descending();
  const State off = forward ? State::After : State::Before;
  if (generation_ != index_.generation()) {
    generation_ = index_.generation();
    Pos p = tree().lowerBound(entry_.key, entry_.recno);
    if (!(p.valid() && p.key() == entry_.key && p.recno() == entry_.recno)) {
      // Our entry went: `p` is the first stored entry above it, so the neighbours are `p` and
      // the one before it.
      return land(storedForward ? p : storedBefore(p), off);
    }
    pos_ = std::move(p);
  }
  Pos p = pos_;
  if (!stepStored(p, storedForward)) {
    state_ = off;
    pos_ = Pos{};
    return false;
  }
  return land(std::move(p), off);
}

bool CdxTagIterator::next() { return move(true); }
bool CdxTagIterator::prior() { return move(false); }

}  // namespace rf::tables
