#pragma once
// Cursors over a Paradox table: in primary key order (keyed tables), record order (unkeyed
// tables) or the order of a secondary index (its entries sorted by the indexed fields, the
// primary key breaking ties).
//
// A cursor keeps the store entry it stands on (the table record, or the index entry). When the
// table changes under it (any change made through the same Table, or a refresh), the next move
// finds that entry again; when it is gone the cursor stands between its neighbours, so next()
// lands on the entry that followed it and prior() on the one before.

#include <cstdint>
#include <optional>
#include <vector>

#include "tables/paradox_record_store.h"
#include "tables/table.h"

namespace rf::tables::paradox {

class ParadoxTable;
class SecondaryIndex;

class ParadoxCursor final : public Cursor {
 public:
  // `index` null: primary key order (record order of an unkeyed table).
  ParadoxCursor(ParadoxTable& table, SecondaryIndex* index);

  bool first() override;
  bool last() override;
  bool next() override;
  bool prior() override;
  bool eof() const override { return eof_; }
  bool bof() const override { return bof_; }
  bool valid() const override { return on_ && !between_; }
  const Record& record() const override;
  Bookmark bookmark() const override;
  bool gotoBookmark(const Bookmark& b) override;
  bool seek(const std::vector<Value>& key) override;
  void setRange(const std::vector<Value>& key) override;
  void refresh() override;

 private:
  using Pos = RecordStore::Pos;
  RecordStore& store();
  const KeyOrder& order() const;
  bool keyedOrder() const;
  std::uint16_t entrySize();
  const std::uint8_t* entryAt(Pos p);
  // The store entry the cursor stands on: the index entry, or the record itself.
  const std::uint8_t* current() const { return index_ ? entry_.data() : record_.image().data(); }
  void sync();
  void land(Pos p, std::uint64_t ordinal);
  void startRun();
  bool finishMove(std::optional<Pos> p, std::uint64_t ordinal, bool forward);
  void setEmpty();
  bool inRange(const std::uint8_t* entry) const;
  std::optional<Pos> firstPos();
  std::optional<Pos> lastPos();
  std::optional<Pos> nextPos(Pos p);
  std::optional<Pos> priorPos(Pos p);
  std::optional<Pos> rangeFirst();
  std::optional<Pos> rangeLast();
  std::vector<std::uint8_t> encodeKey(const std::vector<Value>& values);

  ParadoxTable& table_;
  SecondaryIndex* index_;
  std::uint64_t gen_;
  bool fresh_ = true;
  bool on_ = false;
  bool eof_ = true;
  bool bof_ = true;
  Pos pos_;
  std::uint64_t ordinal_ = 0;
  std::vector<std::uint8_t> entry_;  // secondary order only
  Record record_;
  std::shared_ptr<Block> block_;  // the block last read, while the generation holds
  std::vector<std::uint8_t> range_;
  std::size_t rangeParts_ = 0;
  bool between_ = false;
  std::optional<Pos> pending_;
  std::uint64_t pendingOrdinal_ = 0;
  std::uint64_t blockSteps_ = 0;  // block changes in a row in one direction
  int runDirection_ = 0;
};

}  // namespace rf::tables::paradox
