#include "tables/fpt_memo.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include "tables/error.h"
#include "tables/memo_spans.h"

namespace rf::tables {
namespace {

constexpr std::uint32_t kHeaderBytes = 512;
constexpr std::uint32_t kDefaultBlock = 64;
constexpr std::size_t kMemoHead = 8;
// See dbt_memo.cpp: a next-free pointer at most this far past the end is honoured.
constexpr std::uint64_t kPointerSlackBytes = 64u << 20;

std::uint32_t be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

void putBe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

std::array<std::uint8_t, 4> be32Bytes(std::uint32_t v) {
  std::array<std::uint8_t, 4> b{};
  putBe32(b.data(), v);
  return b;
}

std::string blockText(std::uint32_t block) { return "memo block " + std::to_string(block); }

}  // namespace

FptMemo::FptMemo(File& file) : file_(file) { refresh(); }

void FptMemo::refresh() {
  std::array<std::uint8_t, 8> h{};
  if (file_.readAt(0, h) != h.size())
    throwCorrupt(file_.path(), "memo file is too short for its header (" + std::to_string(file_.size()) + " bytes)", 0);
  std::uint32_t block = static_cast<std::uint32_t>(h[6]) << 8 | h[7];
  if (block == 0) throwCorrupt(file_.path(), "memo block size is 0", 6);
  blockSize_ = block;
}

void FptMemo::create(File& file, int blockSize) {
  int size = blockSize == 0 ? static_cast<int>(kDefaultBlock) : blockSize;
  if (size < 1 || size > 0xFFFF)
    throwError(ErrorKind::InvalidInput, file.path(),
               "memo block size " + std::to_string(blockSize) + " is outside 1 to 65535");
  std::vector<std::uint8_t> header(kHeaderBytes, 0);
  std::uint32_t block = static_cast<std::uint32_t>(size);
  putBe32(header.data(), (kHeaderBytes + block - 1) / block);
  header[6] = static_cast<std::uint8_t>(block >> 8);
  header[7] = static_cast<std::uint8_t>(block & 0xFF);
  file.writeAt(0, header);
}

std::uint32_t FptMemo::firstDataBlock() const { return (kHeaderBytes + blockSize_ - 1) / blockSize_; }

std::uint32_t FptMemo::endBlock(const View& v) const {
  std::uint64_t blocks = (v.size() + blockSize_ - 1) / blockSize_;
  if (blocks > std::numeric_limits<std::uint32_t>::max())
    throwCorrupt(file_.path(), "memo file is larger than its block numbers can address");
  return std::max(firstDataBlock(), static_cast<std::uint32_t>(blocks));
}

std::uint32_t FptMemo::headerNext(const View& v) const {
  std::array<std::uint8_t, 4> b{};
  if (v.read(0, b) != b.size()) throwCorrupt(file_.path(), "file ends inside the memo header", 0);
  return be32(b.data());
}

std::uint32_t FptMemo::blocksFor(std::uint64_t bytes) const {
  std::uint64_t n = (bytes + blockSize_ - 1) / blockSize_;
  if (n > std::numeric_limits<std::uint32_t>::max())
    throwError(ErrorKind::InvalidInput, file_.path(), "memo is too large for the memo file");
  return static_cast<std::uint32_t>(n);
}

FptMemo::Extent FptMemo::locate(const View& v, std::uint32_t block) const {
  Extent e;
  std::uint64_t size = v.size();
  std::uint64_t offset = static_cast<std::uint64_t>(block) * blockSize_;
  auto fail = [&](std::string what, std::uint64_t at) {
    e.problem = std::move(what);
    e.problemOffset = at;
    return e;
  };
  if (block < firstDataBlock()) return fail(blockText(block) + " lies in the header", offset);
  if (offset >= size)
    return fail(blockText(block) + " lies past the end of the file (" + std::to_string(size) + " bytes)", offset);
  std::array<std::uint8_t, kMemoHead> head{};
  if (v.read(offset, head) != head.size()) return fail("file ends inside the start of " + blockText(block), offset);
  e.type = be32(head.data());
  e.dataLength = be32(head.data() + 4);
  e.dataOffset = offset + kMemoHead;
  if (e.dataOffset + e.dataLength > size)
    return fail(blockText(block) + " is " + std::to_string(e.dataLength) + " bytes long, past the end of the file (" +
                    std::to_string(size) + " bytes)",
                offset + 4);
  e.blocks = blocksFor(kMemoHead + static_cast<std::uint64_t>(e.dataLength));
  return e;
}

MemoFile::Memo FptMemo::read(std::uint32_t block) {
  View v{file_, nullptr};
  Extent e = locate(v, block);
  if (!e.problem.empty()) throwCorrupt(file_.path(), e.problem, e.problemOffset);
  Memo m;
  m.type = e.type;
  m.data.resize(e.dataLength);  // bounded by the file's size, checked in locate
  if (v.read(e.dataOffset, m.data) != m.data.size())
    throwCorrupt(file_.path(), "file ends inside " + blockText(block), e.dataOffset);
  return m;
}

std::uint32_t FptMemo::write(Transaction& tx, std::span<const std::uint8_t> data, std::uint32_t type,
                             std::uint32_t previous) {
  View v{file_, &tx};
  if (data.size() > std::numeric_limits<std::uint32_t>::max() - kMemoHead)
    throwError(ErrorKind::InvalidInput, file_.path(), "memo is too large for the memo file");
  std::uint32_t needed = blocksFor(kMemoHead + data.size());
  // Whole blocks, the tail zeroed so no bytes of an earlier value linger after this one.
  std::vector<std::uint8_t> encoded(static_cast<std::size_t>(needed) * blockSize_, 0);
  putBe32(encoded.data(), type);
  putBe32(encoded.data() + 4, static_cast<std::uint32_t>(data.size()));
  std::copy(data.begin(), data.end(), encoded.begin() + kMemoHead);

  if (previous != 0) {
    Extent old = locate(v, previous);
    if (old.problem.empty() && needed <= old.blocks) {
      tx.write(file_, static_cast<std::uint64_t>(previous) * blockSize_, encoded);
      return previous;
    }
  }

  // Never below the end of the file, whatever a stale pointer says, so nothing stored is hit.
  std::uint32_t end = endBlock(v);
  std::uint32_t pointer = headerNext(v);
  std::uint32_t start = end;
  if (pointer > end && static_cast<std::uint64_t>(pointer - end) * blockSize_ <= kPointerSlackBytes) start = pointer;
  if (static_cast<std::uint64_t>(start) + needed > std::numeric_limits<std::uint32_t>::max())
    throwError(ErrorKind::InvalidInput, file_.path(), "memo file is full: its block numbers are used up");

  std::uint64_t offset = static_cast<std::uint64_t>(start) * blockSize_;
  std::uint64_t size = tx.size(file_);
  if (size < offset) {
    // A header written shorter than its 512 bytes, or a pointer a little past the end.
    std::vector<std::uint8_t> zeros(static_cast<std::size_t>(std::min<std::uint64_t>(offset - size, 1u << 16)), 0);
    for (std::uint64_t at = size; at < offset; at += zeros.size()) {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(zeros.size(), offset - at));
      tx.write(file_, at, std::span(zeros.data(), n));
    }
  }
  tx.write(file_, offset, encoded);
  tx.write(file_, 0, be32Bytes(start + needed));
  return start;
}

void FptMemo::release(Transaction&, std::uint32_t) {}

void FptMemo::clear(Transaction& tx) {
  View v{file_, &tx};
  std::vector<std::uint8_t> header(kHeaderBytes, 0);
  v.read(0, header);
  putBe32(header.data(), firstDataBlock());
  tx.truncate(file_, kHeaderBytes);
  tx.write(file_, 0, header);
}

void FptMemo::check(std::span<const std::uint32_t> used, CheckReport& report) {
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
  if (v.size() < kHeaderBytes)
    problem("memo file is shorter than its 512-byte header (" + std::to_string(v.size()) + " bytes)", 0);
  std::uint32_t end = endBlock(v);
  std::uint32_t next = headerNext(v);
  if (next != end)
    problem("next free block " + std::to_string(next) + " is not the end of the file (block " + std::to_string(end) +
                ")",
            0);

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
}

}  // namespace rf::tables
