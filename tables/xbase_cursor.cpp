#include "tables/xbase_cursor.h"

#include <algorithm>
#include <cstring>

#include "tables/error.h"
#include "tables/xbase_table.h"

namespace rf::tables {

// ---- record order ----

bool XbaseRecordCursor::load(std::uint32_t recno, bool forward) {
  if (recno < 1 || recno > t_.recordCount()) return false;
  std::size_t len = t_.recordLength();
  if (bufGeneration_ != t_.generation() || recno < bufStart_ || recno >= bufStart_ + bufCount_) {
    // Read a window of records in the direction of travel: scans cost one read per window.
    std::uint32_t window = static_cast<std::uint32_t>(std::max<std::size_t>(1, (64 * 1024) / len));
    std::uint32_t start = forward ? recno : (recno > window ? recno - window + 1 : 1);
    bufCount_ = t_.readRecords(start, window, buf_);
    bufStart_ = start;
    bufGeneration_ = t_.generation();
    if (recno < bufStart_ || recno >= bufStart_ + bufCount_) return false;
  }
  const std::uint8_t* rec = buf_.data() + static_cast<std::size_t>(recno - bufStart_) * len;
  if (rec[0] == '*') return false;
  auto& image = record_.image();
  if (image.size() == len) std::memcpy(image.data(), rec, len);
  else image.assign(rec, rec + len);
  if (!record_.pending().empty()) record_.pending().clear();
  record_.setBookmark(std::string_view(reinterpret_cast<const char*>(&recno), sizeof recno));
  recno_ = recno;
  return true;
}

bool XbaseRecordCursor::scan(std::uint32_t from, bool forward) {
  std::uint32_t n = t_.recordCount();
  if (forward) {
    // Deleted records inside the current window are skipped without leaving it.
    std::size_t len = t_.recordLength();
    std::uint32_t r = from;
    if (bufGeneration_ == t_.generation())
      while (r >= bufStart_ && r < bufStart_ + bufCount_ && r <= n &&
             buf_[static_cast<std::size_t>(r - bufStart_) * len] == '*')
        ++r;
    for (; r >= 1 && r <= n; ++r)
      if (load(r, true)) return true;
  } else {
    for (std::uint32_t r = std::min(from, n); r >= 1; --r)
      if (load(r, false)) return true;
  }
  return false;
}

bool XbaseRecordCursor::first() {
  eof_ = bof_ = false;
  if (scan(1, true)) return true;
  recno_ = 0;
  eof_ = bof_ = true;
  return false;
}

bool XbaseRecordCursor::last() {
  eof_ = bof_ = false;
  if (scan(t_.recordCount(), false)) return true;
  recno_ = 0;
  eof_ = bof_ = true;
  return false;
}

bool XbaseRecordCursor::next() {
  if (!valid()) return first();
  // The common step of a scan: the next record is live and already in the window.
  std::uint32_t at1 = recno_ + 1;
  if (bufGeneration_ == t_.generation() && at1 >= bufStart_ && at1 < bufStart_ + bufCount_ && at1 <= t_.recordCount() &&
      load(at1, true)) {
    bof_ = false;
    return true;
  }
  std::uint32_t at = recno_;
  bof_ = false;
  if (scan(at + 1, true)) return true;
  eof_ = true;
  if (!load(at, true)) refresh();
  return false;
}

bool XbaseRecordCursor::prior() {
  if (!valid()) return last();
  std::uint32_t at = recno_;
  eof_ = false;
  if (at > 1 && scan(at - 1, false)) return true;
  bof_ = true;
  if (!load(at, false)) refresh();
  return false;
}

Bookmark XbaseRecordCursor::bookmark() const {
  if (!valid()) throwError(ErrorKind::InvalidInput, t_.path(), "no current record");
  return XbaseTable::bookmarkOf(recno_);
}

bool XbaseRecordCursor::gotoBookmark(const Bookmark& b) {
  std::uint32_t recno = XbaseTable::recnoOf(b);
  std::uint32_t keep = recno_;
  Record saved = record_;
  // A jump reads the record afresh: another user may have deleted it since the window was read.
  bufGeneration_ = 0;
  if (load(recno, true)) {
    eof_ = bof_ = false;
    return true;
  }
  recno_ = keep;
  record_ = std::move(saved);
  return false;
}

bool XbaseRecordCursor::seek(const std::vector<Value>&) {
  throwError(ErrorKind::InvalidInput, t_.path(), "the table is in record order: choose an index to search on");
}

void XbaseRecordCursor::setRange(const std::vector<Value>& key) {
  if (!key.empty()) throwError(ErrorKind::InvalidInput, t_.path(), "the table is in record order: choose an index for a range");
  first();
}

void XbaseRecordCursor::refresh() {
  bufGeneration_ = 0;
  if (!valid()) return;
  std::uint32_t at = recno_;
  if (load(at, true)) return;
  if (scan(at + 1, true)) return;
  if (scan(at - 1, false)) return;
  recno_ = 0;
  eof_ = bof_ = true;
}

// ---- index order ----

XbaseTagCursor::XbaseTagCursor(XbaseTable& table, std::size_t tag) : t_(table), tag_(tag) {
  auto& t = t_.tagByIndex(tag_);
  it_ = t.file->iterate(t.number);
}

bool XbaseTagCursor::inRange(const TagEntry& e) const {
  if (!range_) return true;
  auto& t = t_.tagByIndex(tag_);
  return t.file->compare(t.number, *range_, e.key) == 0;
}

bool XbaseTagCursor::accept() {
  const TagEntry& e = it_->entry();
  if (!inRange(e)) return false;
  if (!t_.readRecord(e.recno, scratch_) || scratch_[0] == '*') return false;
  auto& t = t_.tagByIndex(tag_);
  auto key = t_.keyOf(t, scratch_.data());
  // Equal by the index's own order: writers differ in bytes that don't order (the digit count
  // of an MDX number, say).
  return key && t.file->compare(t.number, *key, e.key) == 0;
}

bool XbaseTagCursor::settle(bool forward) {
  while (it_->valid()) {
    if (range_ && !inRange(it_->entry())) {
      // Entries are ordered, so leaving the range in the direction of travel ends the walk;
      // entries before the range (walking forward from a seek) cannot occur.
      return false;
    }
    if (accept()) return true;
    if (!(forward ? it_->next() : it_->prior())) return false;
  }
  return false;
}

void XbaseTagCursor::land() {
  const TagEntry& e = it_->entry();
  recno_ = e.recno;
  key_ = e.key;
  record_.image() = scratch_;
  record_.pending().clear();
  record_.setBookmark(XbaseTable::bookmarkOf(recno_));
  generation_ = t_.generation();
}

void XbaseTagCursor::restore() {
  if (!valid()) return;
  if (it_->seek(key_, recno_) && it_->entry().recno == recno_ && t_.readRecord(recno_, scratch_) && scratch_[0] != '*') {
    record_.image() = scratch_;
    return;
  }
  // The current record changed or went: stand on its nearest successor.
  if (settle(true)) {
    land();
    return;
  }
  if (it_->last() && settle(false)) {
    land();
    return;
  }
  recno_ = 0;
}

bool XbaseTagCursor::first() {
  eof_ = bof_ = false;
  bool ok = range_ ? it_->seek(*range_, 0) : it_->first();
  if (ok && settle(true)) {
    land();
    return true;
  }
  recno_ = 0;
  eof_ = bof_ = true;
  return false;
}

bool XbaseTagCursor::last() {
  eof_ = bof_ = false;
  bool ok;
  if (range_) {
    // Walk to the end of the range, then back to its last acceptable entry.
    ok = it_->seek(*range_, 0);
    if (ok) {
      bool more = true;
      while (more && inRange(it_->entry())) more = it_->next();
      ok = more ? it_->prior() : it_->last();
    }
  } else {
    ok = it_->last();
  }
  if (ok && settle(false)) {
    land();
    return true;
  }
  recno_ = 0;
  eof_ = bof_ = true;
  return false;
}

bool XbaseTagCursor::next() {
  if (!valid()) return first();
  if (generation_ != t_.generation()) restore();
  bof_ = false;
  if (it_->next() && settle(true)) {
    land();
    return true;
  }
  eof_ = true;
  restore();
  return false;
}

bool XbaseTagCursor::prior() {
  if (!valid()) return last();
  if (generation_ != t_.generation()) restore();
  eof_ = false;
  if (it_->prior() && settle(false)) {
    land();
    return true;
  }
  bof_ = true;
  restore();
  return false;
}

Bookmark XbaseTagCursor::bookmark() const {
  if (!valid()) throwError(ErrorKind::InvalidInput, t_.path(), "no current record");
  return XbaseTable::bookmarkOf(recno_);
}

bool XbaseTagCursor::gotoBookmark(const Bookmark& b) {
  std::uint32_t recno = XbaseTable::recnoOf(b);
  std::vector<std::uint8_t> rec;
  if (!t_.readRecord(recno, rec) || rec[0] == '*') return false;
  auto key = t_.keyOf(t_.tagByIndex(tag_), rec.data());
  if (!key) return false;  // the tag's FOR clause leaves it out
  TagEntry probe{*key, recno};
  if (!inRange(probe)) return false;
  auto& t = t_.tagByIndex(tag_);
  if (!it_->seek(*key, recno) || it_->entry().recno != recno || t.file->compare(t.number, it_->entry().key, *key) != 0) {
    restore();
    return false;
  }
  scratch_ = std::move(rec);
  land();
  eof_ = bof_ = false;
  return true;
}

bool XbaseTagCursor::seek(const std::vector<Value>& values) {
  auto& t = t_.tagByIndex(tag_);
  std::string prefix = t_.keyPrefix(t, values);
  eof_ = bof_ = false;
  if (it_->seek(prefix, 0) && settle(true)) {
    land();
    return t.file->compare(t.number, prefix, key_) == 0;
  }
  // Nothing at or after the key: stand on the last record, past the end.
  bool had = last();
  eof_ = true;
  return had && false;
}

void XbaseTagCursor::setRange(const std::vector<Value>& key) {
  if (key.empty()) range_.reset();
  else range_ = t_.keyPrefix(t_.tagByIndex(tag_), key);
  first();
}

void XbaseTagCursor::refresh() {
  generation_ = 0;
  if (valid()) restore();
}

}  // namespace rf::tables
