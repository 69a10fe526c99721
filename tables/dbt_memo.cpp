#include "tables/dbt_memo.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "tables/error.h"
#include "tables/memo_spans.h"

namespace rf::tables {
namespace {

constexpr std::uint32_t kDbase3Block = 512;
// Below this a dBASE IV header could not even hold its own fields and a memo's 8-byte start.
constexpr std::uint32_t kMinDbase4Block = 32;
constexpr std::array<std::uint8_t, 4> kDbase4Mark = {0xFF, 0xFF, 0x08, 0x00};
constexpr std::uint8_t kEndMark = 0x1A;
constexpr std::size_t kScanChunk = 4096;
// A next-free pointer at most this far past the end of the file is honoured (the blocks up to it
// may still be named by records of a file that was cut short); further out it is garbage.
constexpr std::uint64_t kPointerSlackBytes = 64u << 20;

std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

void putLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::array<std::uint8_t, 4> le32Bytes(std::uint32_t v) {
  std::array<std::uint8_t, 4> b{};
  putLe32(b.data(), v);
  return b;
}

std::string blockText(std::uint32_t block) { return "memo block " + std::to_string(block); }

}  // namespace

DbtMemo::DbtMemo(File& file, MemoFlavor hint) : file_(file), hint_(hint) { refresh(); }

void DbtMemo::refresh() { detectLayout(View{file_, nullptr}); }

// dBASE III leaves offsets 16..21 as zeros or writes 0x03 at 16 (Perl XBase also puts 512 at
// 20); dBASE IV writes 0 at 16 and its block size at 20. The first memo block settles the rest:
// a dBASE IV memo starts with its mark, a dBASE III one with text. Only when the file gives no
// sign either way does the table's version byte decide.
void DbtMemo::detectLayout(const View& v) {
  const std::string& path = file_.path();
  std::uint64_t size = v.size();
  if (size < 4) throwCorrupt(path, "memo file is too short for its header (" + std::to_string(size) + " bytes)", 0);
  std::array<std::uint8_t, 24> h{};
  v.read(0, h);
  std::uint32_t declared = le16(h.data() + 20);
  bool saysDbase3 = h[16] == 0x03;
  auto markAt = [&](std::uint64_t offset) {
    std::array<std::uint8_t, 4> m{};
    return v.read(offset, m) == m.size() && m == kDbase4Mark;
  };
  bool usable = declared >= kMinDbase4Block;

  MemoFlavor layout;
  std::uint32_t block = kDbase3Block;
  if (usable && markAt(declared)) {
    layout = MemoFlavor::Dbase4;
    block = declared;
  } else if (declared == 0 && markAt(kDbase3Block)) {
    layout = MemoFlavor::Dbase4;  // a dBASE IV file that left its block size out: 512
  } else if (saysDbase3 || hint_ == MemoFlavor::Dbase3) {
    layout = MemoFlavor::Dbase3;
  } else if (declared == 0) {
    // Beside a dBASE IV table, a header without a block size: dBASE III's layout when the first
    // block holds text, else nothing is stored yet and dBASE IV with 512-byte blocks fits both.
    layout = size > kDbase3Block ? MemoFlavor::Dbase3 : MemoFlavor::Dbase4;
  } else if (usable) {
    layout = MemoFlavor::Dbase4;
    block = declared;
  } else {
    throwCorrupt(path, "memo block size " + std::to_string(declared) + " is too small", 20);
  }
  layout_ = layout;
  blockSize_ = block;
}

void DbtMemo::create(File& file, MemoFlavor flavor, std::string_view tableName, int blockSize) {
  std::vector<std::uint8_t> header;
  if (flavor == MemoFlavor::Dbase3) {
    if (blockSize != 0 && blockSize != static_cast<int>(kDbase3Block))
      throwError(ErrorKind::InvalidInput, file.path(), "dBASE III memo files have 512-byte blocks");
    header.assign(kDbase3Block, 0);
    header[16] = 0x03;
  } else {
    int size = blockSize == 0 ? 512 : blockSize;
    if (size < 64 || size > 32768 || size % 64 != 0)
      throwError(ErrorKind::InvalidInput, file.path(),
                 "memo block size " + std::to_string(blockSize) + " is not a multiple of 64 from 64 to 32768");
    header.assign(static_cast<std::size_t>(size), 0);
    std::size_t n = std::min<std::size_t>(tableName.size(), 8);
    std::memcpy(header.data() + 8, tableName.data(), n);
    // Every dBASE IV memo file seen (BDE, dBASE 7, the S7 tool) carries 02 01 here.
    header[18] = 0x02;
    header[19] = 0x01;
    header[20] = static_cast<std::uint8_t>(size & 0xFF);
    header[21] = static_cast<std::uint8_t>(size >> 8);
  }
  putLe32(header.data(), 1);
  file.writeAt(0, header);
}

std::uint32_t DbtMemo::endBlock(const View& v) const {
  std::uint64_t blocks = (v.size() + blockSize_ - 1) / blockSize_;
  if (blocks > std::numeric_limits<std::uint32_t>::max())
    throwCorrupt(file_.path(), "memo file is larger than its block numbers can address");
  return std::max<std::uint32_t>(1, static_cast<std::uint32_t>(blocks));
}

std::uint32_t DbtMemo::headerNext(const View& v) const {
  std::array<std::uint8_t, 4> b{};
  if (v.read(0, b) != b.size()) throwCorrupt(file_.path(), "file ends inside the memo header", 0);
  return le32(b.data());
}

// Appending never starts below the end of the file, whatever a stale pointer says, so nothing
// stored is overwritten.
std::uint32_t DbtMemo::appendPosition(const View& v, std::uint32_t pointer) const {
  std::uint32_t end = endBlock(v);
  if (pointer > end && static_cast<std::uint64_t>(pointer - end) * blockSize_ <= kPointerSlackBytes) return pointer;
  return end;
}

std::uint32_t DbtMemo::blocksFor(std::uint64_t bytes) const {
  std::uint64_t n = (bytes + blockSize_ - 1) / blockSize_;
  if (n > std::numeric_limits<std::uint32_t>::max())
    throwError(ErrorKind::InvalidInput, file_.path(), "memo is too large for the memo file");
  return static_cast<std::uint32_t>(n);
}

DbtMemo::Extent DbtMemo::locate(const View& v, std::uint32_t block, Bytes* data) const {
  Extent e;
  e.block = block;
  std::uint64_t size = v.size();
  std::uint64_t offset = static_cast<std::uint64_t>(block) * blockSize_;
  auto fail = [&](std::string what, std::uint64_t at) {
    e.problem = std::move(what);
    e.problemOffset = at;
    return e;
  };
  if (block == 0) return fail("memo block 0 is the header", 0);
  if (offset >= size)
    return fail(blockText(block) + " lies past the end of the file (" + std::to_string(size) + " bytes)", offset);

  if (layout_ == MemoFlavor::Dbase3) {
    // Bare text up to the first end mark; the scan never reads past the end of the file.
    std::array<std::uint8_t, kScanChunk> chunk{};
    std::uint64_t pos = offset;
    while (pos < size) {
      std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), size - pos));
      std::size_t got = v.read(pos, std::span(chunk.data(), want));
      if (got == 0) break;
      const std::uint8_t* hit = std::find(chunk.data(), chunk.data() + got, kEndMark);
      std::size_t used = static_cast<std::size_t>(hit - chunk.data());
      if (data) data->insert(data->end(), chunk.data(), chunk.data() + used);
      if (used < got) {
        std::uint64_t markAt = pos + used;
        std::uint64_t end = markAt + 1;
        std::array<std::uint8_t, 1> second{};
        if (v.read(end, second) == 1 && second[0] == kEndMark) ++end;
        e.dataOffset = offset;
        e.dataLength = markAt - offset;
        e.blocks = blocksFor(end - offset);
        return e;
      }
      pos += got;
    }
    if (data) data->clear();
    return fail(blockText(block) + " has no end mark (0x1A) before the end of the file", offset);
  }

  std::array<std::uint8_t, 8> head{};
  if (v.read(offset, head) != head.size()) return fail("file ends inside the start of " + blockText(block), offset);
  if (!std::equal(kDbase4Mark.begin(), kDbase4Mark.end(), head.begin()))
    return fail(blockText(block) + " does not start with the dBASE IV memo mark FF FF 08 00", offset);
  std::uint32_t length = le32(head.data() + 4);
  if (length < head.size())
    return fail(blockText(block) + " has an impossible length " + std::to_string(length), offset + 4);
  if (offset + length > size)
    return fail(blockText(block) + " is " + std::to_string(length) + " bytes long, past the end of the file (" +
                    std::to_string(size) + " bytes)",
                offset + 4);
  e.dataOffset = offset + head.size();
  e.dataLength = length - head.size();
  e.blocks = blocksFor(length);
  if (data) {
    data->resize(static_cast<std::size_t>(e.dataLength));
    if (v.read(e.dataOffset, *data) != data->size()) {
      data->clear();
      return fail("file ends inside " + blockText(block), e.dataOffset);
    }
  }
  return e;
}

MemoFile::Memo DbtMemo::read(std::uint32_t block) {
  Memo m;
  Extent e = locate(View{file_, nullptr}, block, &m.data);
  if (!e.problem.empty()) throwCorrupt(file_.path(), e.problem, e.problemOffset);
  m.type = 1;
  return m;
}

std::vector<std::uint8_t> DbtMemo::encode(std::span<const std::uint8_t> data) const {
  std::vector<std::uint8_t> out;
  if (layout_ == MemoFlavor::Dbase3) {
    // The end mark is the only length a dBASE III memo has: the byte cannot be stored.
    if (std::find(data.begin(), data.end(), kEndMark) != data.end())
      throwError(ErrorKind::InvalidInput, file_.path(), "a dBASE III memo cannot hold the byte 0x1A");
    // Sized once and filled in place (GCC 12 misreads reserve-then-assign as an overflow).
    out.resize(data.size() + 2, kEndMark);
    std::copy(data.begin(), data.end(), out.begin());
    return out;
  }
  if (data.size() > std::numeric_limits<std::uint32_t>::max() - 8u)
    throwError(ErrorKind::InvalidInput, file_.path(), "memo is too large for the memo file");
  out.resize(data.size() + 8);
  std::copy(kDbase4Mark.begin(), kDbase4Mark.end(), out.begin());
  auto length = le32Bytes(static_cast<std::uint32_t>(data.size() + 8));
  std::copy(length.begin(), length.end(), out.begin() + 4);
  std::copy(data.begin(), data.end(), out.begin() + 8);
  return out;
}

// Whole blocks: the tail of the last one is zeroed so no earlier memo's bytes linger after the
// new value, and a gap before `block` (a header shorter than its block) is filled too.
void DbtMemo::writeBlocks(Transaction& tx, std::uint32_t block, std::span<const std::uint8_t> encoded) {
  std::uint64_t offset = static_cast<std::uint64_t>(block) * blockSize_;
  std::uint64_t size = tx.size(file_);
  if (size < offset) {
    std::vector<std::uint8_t> zeros(static_cast<std::size_t>(std::min<std::uint64_t>(offset - size, 1u << 16)), 0);
    for (std::uint64_t at = size; at < offset; at += zeros.size()) {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(zeros.size(), offset - at));
      tx.write(file_, at, std::span(zeros.data(), n));
    }
  }
  std::vector<std::uint8_t> padded(encoded.begin(), encoded.end());
  padded.resize(static_cast<std::size_t>(blocksFor(encoded.size())) * blockSize_, 0);
  tx.write(file_, offset, padded);
}

std::uint32_t DbtMemo::write(Transaction& tx, std::span<const std::uint8_t> data, std::uint32_t /*type*/,
                             std::uint32_t previous) {
  View v{file_, &tx};
  std::vector<std::uint8_t> encoded = encode(data);
  std::uint32_t needed = blocksFor(encoded.size());

  if (previous != 0) {
    Extent old = locate(v, previous);
    if (old.problem.empty() && needed <= old.blocks) {
      writeBlocks(tx, previous, encoded);
      if (layout_ == MemoFlavor::Dbase4 && needed < old.blocks) freeBlocks(tx, previous + needed, old.blocks - needed);
      return previous;
    }
    // The replaced value's blocks go back first, so merged with free neighbours they may take
    // the new one; the transaction makes overwriting the old bytes safe.
    if (old.problem.empty() && layout_ == MemoFlavor::Dbase4) freeBlocks(tx, previous, old.blocks);
  }

  auto checkRoom = [&](std::uint32_t start) {
    if (static_cast<std::uint64_t>(start) + needed > std::numeric_limits<std::uint32_t>::max())
      throwError(ErrorKind::InvalidInput, file_.path(), "memo file is full: its block numbers are used up");
  };

  if (layout_ == MemoFlavor::Dbase4) {
    Chain chain = walkChain(v);
    if (chain.problem.empty()) {
      for (std::size_t i = 0; i < chain.runs.size(); ++i) {
        const FreeRun& run = chain.runs[i];
        if (run.count < needed) continue;
        if (run.count == needed) {
          writeLink(tx, chain, i, run.next);
          writeBlocks(tx, run.block, encoded);
          return run.block;
        }
        // Take the run's tail so its entry stays where the chain expects it.
        std::uint32_t start = run.block + run.count - needed;
        auto count = le32Bytes(run.count - needed);
        tx.write(file_, static_cast<std::uint64_t>(run.block) * blockSize_ + 4, count);
        writeBlocks(tx, start, encoded);
        return start;
      }
      std::uint32_t start = appendPosition(v, chain.terminal);
      checkRoom(start);
      writeBlocks(tx, start, encoded);
      writeLink(tx, chain, chain.runs.size(), start + needed);
      return start;
    }
    // A broken chain is dropped rather than followed: its space is lost, nothing stored is hit.
  }

  std::uint32_t start = appendPosition(v, layout_ == MemoFlavor::Dbase3 ? headerNext(v) : 0);
  checkRoom(start);
  writeBlocks(tx, start, encoded);
  auto next = le32Bytes(start + needed);
  tx.write(file_, 0, next);
  return start;
}

DbtMemo::Chain DbtMemo::walkChain(const View& v) const {
  Chain c;
  std::uint32_t end = endBlock(v);
  std::uint32_t current = headerNext(v);
  std::uint64_t linkOffset = 0;
  std::uint64_t lowest = 1;
  auto fail = [&](std::string what, std::uint64_t at) {
    c.problem = std::move(what);
    c.problemOffset = at;
    c.runs.clear();
    return c;
  };
  // Every step moves strictly forward and stays below `end`, so the walk ends.
  while (current < end) {
    std::uint64_t offset = static_cast<std::uint64_t>(current) * blockSize_;
    if (current < lowest)
      return fail("free chain points back to block " + std::to_string(current), linkOffset);
    std::array<std::uint8_t, 8> entry{};
    if (v.read(offset, entry) != entry.size())
      return fail("file ends inside the free-chain entry at block " + std::to_string(current), offset);
    if (std::equal(kDbase4Mark.begin(), kDbase4Mark.end(), entry.begin()))
      return fail("free chain points at the stored memo at block " + std::to_string(current), linkOffset);
    std::uint32_t next = le32(entry.data());
    std::uint32_t count = le32(entry.data() + 4);
    if (count == 0 || static_cast<std::uint64_t>(current) + count > end)
      return fail("free run at block " + std::to_string(current) + " has an impossible length " +
                      std::to_string(count),
                  offset + 4);
    c.runs.push_back(FreeRun{current, count, next});
    lowest = static_cast<std::uint64_t>(current) + count;
    linkOffset = offset;
    current = next;
  }
  c.terminal = current;
  return c;
}

// The link that leads to run `runIndex` (the header's pointer for the first, the previous run's
// entry otherwise); runIndex == runs.size() is the link that ends the chain.
void DbtMemo::writeLink(Transaction& tx, const Chain& chain, std::size_t runIndex, std::uint32_t target) {
  std::uint64_t at = runIndex == 0 ? 0 : static_cast<std::uint64_t>(chain.runs[runIndex - 1].block) * blockSize_;
  tx.write(file_, at, le32Bytes(target));
}

// Puts blocks into the free chain in order, merged with the runs they touch. Anything that does
// not fit a sound chain (overlapping a free run, past the end, a broken chain) leaves the space
// unused instead: losing space is safe, handing out a block twice is not.
void DbtMemo::freeBlocks(Transaction& tx, std::uint32_t block, std::uint32_t count) {
  View v{file_, &tx};
  Chain chain = walkChain(v);
  if (!chain.problem.empty() || block == 0 || count == 0) return;
  if (static_cast<std::uint64_t>(block) + count > endBlock(v)) return;
  auto& runs = chain.runs;
  std::size_t i = static_cast<std::size_t>(
      std::upper_bound(runs.begin(), runs.end(), block, [](std::uint32_t b, const FreeRun& r) { return b < r.block; }) -
      runs.begin());
  const FreeRun* prev = i > 0 ? &runs[i - 1] : nullptr;
  const FreeRun* next = i < runs.size() ? &runs[i] : nullptr;
  if (prev && static_cast<std::uint64_t>(prev->block) + prev->count > block) return;
  if (next && static_cast<std::uint64_t>(block) + count > next->block) return;
  bool joinPrev = prev && prev->block + prev->count == block;
  bool joinNext = next && block + count == next->block;

  auto writeEntry = [&](std::uint32_t at, std::uint32_t link, std::uint32_t blocks) {
    std::array<std::uint8_t, 8> entry{};
    putLe32(entry.data(), link);
    putLe32(entry.data() + 4, blocks);
    tx.write(file_, static_cast<std::uint64_t>(at) * blockSize_, entry);
  };
  if (joinPrev && joinNext) {
    writeEntry(prev->block, next->next, prev->count + count + next->count);
  } else if (joinPrev) {
    writeEntry(prev->block, prev->next, prev->count + count);
  } else if (joinNext) {
    writeEntry(block, next->next, count + next->count);
    writeLink(tx, chain, i, block);
  } else {
    writeEntry(block, next ? next->block : chain.terminal, count);
    writeLink(tx, chain, i, block);
  }
}

void DbtMemo::release(Transaction& tx, std::uint32_t block) {
  if (layout_ != MemoFlavor::Dbase4) return;  // dBASE III has no free list: the space stays unused
  Extent e = locate(View{file_, &tx}, block);
  if (e.problem.empty()) freeBlocks(tx, block, e.blocks);
}

void DbtMemo::clear(Transaction& tx) {
  View v{file_, &tx};
  std::uint32_t headerBytes = layout_ == MemoFlavor::Dbase3 ? kDbase3Block : blockSize_;
  std::vector<std::uint8_t> header(headerBytes, 0);
  v.read(0, header);
  putLe32(header.data(), 1);
  tx.truncate(file_, headerBytes);
  tx.write(file_, 0, header);
}

void DbtMemo::check(std::span<const std::uint32_t> used, CheckReport& report) {
  const std::string& path = file_.path();
  auto problem = [&](const std::string& what, std::uint64_t offset) {
    report.problems.push_back(path + ": " + what + " (at offset " + std::to_string(offset) + ")");
  };
  try {
    refresh();
  } catch (const TableError& e) {
    if (e.kind() != ErrorKind::Corrupt) throw;
    report.problems.push_back(e.what());
    return;
  }
  View v{file_, nullptr};
  std::uint32_t end = endBlock(v);

  Chain chain;
  if (layout_ == MemoFlavor::Dbase4) {
    chain = walkChain(v);
    if (!chain.problem.empty()) problem(chain.problem, chain.problemOffset);
  } else {
    chain.terminal = headerNext(v);
  }
  if (chain.problem.empty() && chain.terminal != end)
    problem("next free block " + std::to_string(chain.terminal) + " is not the end of the file (block " +
                std::to_string(end) + ")",
            chain.runs.empty() ? 0 : static_cast<std::uint64_t>(chain.runs.back().block) * blockSize_);

  std::vector<MemoSpan> spans;
  for (std::uint32_t block : used) {
    if (block == 0) continue;
    Extent e = locate(v, block);
    if (!e.problem.empty()) {
      problem(e.problem, e.problemOffset);
      continue;
    }
    spans.push_back(MemoSpan{block, static_cast<std::uint64_t>(block) + e.blocks});
  }
  reportMemoOverlaps(spans, blockSize_, problem);
  // Runs are in order and apart, so their ends ascend too.
  const auto& runs = chain.runs;
  for (const MemoSpan& s : spans) {
    auto it = std::upper_bound(runs.begin(), runs.end(), s.first, [](std::uint64_t b, const FreeRun& r) {
      return b < static_cast<std::uint64_t>(r.block) + r.count;
    });
    if (it != runs.end() && it->block < s.end)
      problem(blockText(static_cast<std::uint32_t>(s.first)) + " lies in the free run at block " +
                  std::to_string(it->block),
              s.first * blockSize_);
  }
}

}  // namespace rf::tables
