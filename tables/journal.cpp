#include "tables/journal.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "tables/crc32.h"
#include "tables/error.h"
#include "tables/file_names.h"

namespace rf::tables {

// A journal record: "RFJ1", u32 payload length, u32 CRC-32 of the payload, payload.
// Payload: u32 op count, then per op: u8 kind (1 write, 2 set size), u16 name length, the file's
// name (relative to the journal's directory), u64 offset (or size), u32 data length, data.
namespace {

constexpr std::uint8_t kMagic[4] = {'R', 'F', 'J', '1'};
constexpr std::uint8_t kWrite = 1;
constexpr std::uint8_t kSetSize = 2;
constexpr std::size_t kRecordHeader = 12;
// One op at most this large: keeps recovery's allocations bounded by sane figures.
constexpr std::uint64_t kMaxRecord = 1ull << 34;

void put16(std::vector<std::uint8_t>& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void put64(std::vector<std::uint8_t>& b, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
std::uint64_t get(const std::uint8_t* p, int n) {
  std::uint64_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

struct ParsedOp {
  std::uint8_t kind;
  std::string name;
  std::uint64_t offset;
  const std::uint8_t* data;
  std::uint32_t length;
};

// Parses one record's payload; false when it is malformed (treated as torn).
bool parsePayload(const std::uint8_t* p, std::size_t n, std::vector<ParsedOp>& ops) {
  ops.clear();
  if (n < 4) return false;
  std::uint64_t count = get(p, 4);
  std::size_t at = 4;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (n - at < 3) return false;
    ParsedOp op;
    op.kind = p[at];
    std::size_t nameLen = static_cast<std::size_t>(get(p + at + 1, 2));
    at += 3;
    if (n - at < nameLen + 12) return false;
    op.name.assign(reinterpret_cast<const char*>(p + at), nameLen);
    at += nameLen;
    op.offset = get(p + at, 8);
    op.length = static_cast<std::uint32_t>(get(p + at + 8, 4));
    at += 12;
    if (n - at < op.length) return false;
    op.data = p + at;
    at += op.length;
    if (op.kind != kWrite && op.kind != kSetSize) return false;
    if (op.name.empty() || op.name.find('/') != std::string::npos) return false;
    ops.push_back(std::move(op));
  }
  return at == n;
}

}  // namespace

// ---- Transaction ----

Transaction::Transaction(Journal& j) : journal_(&j) {}

Transaction::Transaction(Transaction&& o) noexcept
    : journal_(o.journal_), files_(std::move(o.files_)), order_(std::move(o.order_)), done_(o.done_) {
  o.journal_ = nullptr;
  o.done_ = true;
}

Transaction::~Transaction() {
  if (journal_) journal_->unlock();
}

Transaction::Staged& Transaction::staged(File& f) {
  auto it = files_.find(&f);
  if (it != files_.end()) return it->second;
  Staged s;
  s.originalSize = f.size();
  s.keep = s.originalSize;
  s.size = s.originalSize;
  order_.push_back(&f);
  return files_.emplace(&f, std::move(s)).first->second;
}

void Transaction::write(File& f, std::uint64_t offset, std::span<const std::uint8_t> data) {
  if (data.empty()) return;
  Staged& s = staged(f);
  std::uint64_t end = offset + data.size();
  // Merge with every extent that overlaps or touches [offset, end).
  auto it = s.extents.upper_bound(offset);
  if (it != s.extents.begin()) {
    auto prev = std::prev(it);
    if (prev->first + prev->second.size() >= offset) it = prev;
  }
  std::uint64_t newStart = offset;
  std::uint64_t newEnd = end;
  auto first = it;
  while (it != s.extents.end() && it->first <= end) {
    newStart = std::min(newStart, it->first);
    newEnd = std::max<std::uint64_t>(newEnd, it->first + it->second.size());
    ++it;
  }
  std::vector<std::uint8_t> merged(static_cast<std::size_t>(newEnd - newStart));
  for (auto m = first; m != it; ++m)
    std::memcpy(merged.data() + (m->first - newStart), m->second.data(), m->second.size());
  std::memcpy(merged.data() + (offset - newStart), data.data(), data.size());
  s.extents.erase(first, it);
  s.extents.emplace(newStart, std::move(merged));
  s.size = std::max(s.size, end);
}

void Transaction::truncate(File& f, std::uint64_t size) {
  Staged& s = staged(f);
  if (size < s.size) {
    s.keep = std::min(s.keep, size);
    // Cut extents at the new end.
    auto it = s.extents.lower_bound(size);
    s.extents.erase(it, s.extents.end());
    if (!s.extents.empty()) {
      auto last = std::prev(s.extents.end());
      if (last->first + last->second.size() > size) last->second.resize(static_cast<std::size_t>(size - last->first));
    }
  }
  s.size = size;
}

std::size_t Transaction::read(File& f, std::uint64_t offset, std::span<std::uint8_t> buf) {
  auto found = files_.find(&f);
  if (found == files_.end()) return f.readAt(offset, buf);
  const Staged& s = found->second;
  if (offset >= s.size) return 0;
  std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), s.size - offset));
  std::memset(buf.data(), 0, n);
  std::uint64_t fromFileEnd = std::min<std::uint64_t>(offset + n, std::min(s.keep, s.originalSize));
  if (fromFileEnd > offset) f.readAt(offset, buf.subspan(0, static_cast<std::size_t>(fromFileEnd - offset)));
  auto it = s.extents.upper_bound(offset);
  if (it != s.extents.begin()) --it;
  for (; it != s.extents.end() && it->first < offset + n; ++it) {
    std::uint64_t a = std::max(it->first, offset);
    std::uint64_t b = std::min<std::uint64_t>(it->first + it->second.size(), offset + n);
    if (a < b) std::memcpy(buf.data() + (a - offset), it->second.data() + (a - it->first), static_cast<std::size_t>(b - a));
  }
  return n;
}

void Transaction::readExact(File& f, std::uint64_t offset, std::span<std::uint8_t> buf, const char* what) {
  if (read(f, offset, buf) != buf.size()) throwCorrupt(f.path(), std::string("file ends inside ") + what, offset);
}

std::uint64_t Transaction::size(File& f) {
  auto found = files_.find(&f);
  return found == files_.end() ? f.size() : found->second.size;
}

void Transaction::commit() {
  if (done_ || !journal_) throwError(ErrorKind::InvalidInput, {}, "transaction already finished");
  done_ = true;
  if (!files_.empty()) journal_->commit(*this);
}

// ---- Journal ----

Journal::Journal(FileSystem& fs, std::string tablePath, File& lockFile, std::uint64_t lockOffset)
    : fs_(fs),
      tablePath_(std::move(tablePath)),
      dir_(directoryOf(tablePath_)),
      path_(pathFor(tablePath_)),
      lockFile_(lockFile),
      lockOffset_(lockOffset) {}

Journal::~Journal() {
  // Leave no journal behind after a clean close when nobody else is writing right now.
  try {
    if (!fs_.exists(path_)) return;
    if (!lockFile_.tryLock(lockOffset_, 1, LockMode::Exclusive)) return;
    locked_ = true;
    checkpointLocked();
    fs_.remove(path_);
    unlock();
  } catch (...) {
    if (locked_) unlock();
  }
}

void Journal::lock(int timeoutMs) {
  // The operating system grants a lock its holder already has, so a second change begun through
  // the same journal would share the first one's lock and release it when it ends.
  if (locked_) throwError(ErrorKind::InvalidInput, tablePath_, "a change to this table is already under way");
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int pause = 1;
  while (!lockFile_.tryLock(lockOffset_, 1, LockMode::Exclusive)) {
    if (std::chrono::steady_clock::now() >= deadline)
      throwError(ErrorKind::Locked, tablePath_, "Table is busy: another user is saving changes to it");
    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    pause = std::min(pause * 2, 20);
  }
  locked_ = true;
}

void Journal::unlock() {
  if (!locked_) return;
  lockFile_.unlock(lockOffset_, 1);
  locked_ = false;
  file_.reset();
}

File& Journal::journalFile() {
  // Opened under the lock each time: a journal removed by another process's close must never
  // be written through a stale descriptor.
  if (!file_) file_ = fs_.open(path_, OpenMode::OpenOrCreate);
  return *file_;
}

Transaction Journal::begin(int timeoutMs) {
  lock(timeoutMs);
  return Transaction(*this);
}

void Journal::commit(Transaction& t) {
  // Serialise the final state of each file: cut below the kept original bytes, the extents,
  // then the final size.
  std::vector<std::uint8_t> payload;
  std::uint32_t count = 0;
  payload.resize(4);
  auto op = [&](std::uint8_t kind, const std::string& name, std::uint64_t offset, const std::uint8_t* data,
                std::size_t len) {
    payload.push_back(kind);
    put16(payload, static_cast<std::uint16_t>(name.size()));
    payload.insert(payload.end(), name.begin(), name.end());
    put64(payload, offset);
    put32(payload, static_cast<std::uint32_t>(len));
    if (len) payload.insert(payload.end(), data, data + len);
    ++count;
  };
  for (File* f : t.order_) {
    const auto& s = t.files_.at(f);
    if (directoryOf(f->path()) != dir_)
      throwError(ErrorKind::InvalidInput, f->path(), "file is not in the table's directory");
    std::string name = baseName(f->path());
    std::uint64_t produced = s.keep;
    if (s.keep < s.originalSize) op(kSetSize, name, s.keep, nullptr, 0);
    for (const auto& [off, bytes] : s.extents) {
      // Large extents are split so every op's length fits its 32-bit field.
      for (std::size_t at = 0; at < bytes.size(); at += (1u << 30)) {
        std::size_t len = std::min<std::size_t>(bytes.size() - at, 1u << 30);
        op(kWrite, name, off + at, bytes.data() + at, len);
      }
      produced = std::max<std::uint64_t>(produced, off + bytes.size());
    }
    if (produced != s.size) op(kSetSize, name, s.size, nullptr, 0);
  }
  for (int i = 0; i < 4; ++i) payload[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(count >> (8 * i));

  std::vector<std::uint8_t> header(kMagic, kMagic + 4);
  put32(header, static_cast<std::uint32_t>(payload.size()));
  put32(header, crc32(payload.data(), payload.size()));

  // Room first: once committed, applying must not run out of disk space.
  for (File* f : t.order_) f->reserve(t.files_.at(f).size);

  File& jf = journalFile();
  std::uint64_t at = jf.size();
  try {
    jf.writeAt(at, header);
    jf.writeAt(at + header.size(), payload);
    if (syncOnCommit_) {
      jf.sync();
      ++syncs_;
      // A journal file made since the table was opened must survive power loss as a directory
      // entry too, or its synced record could vanish with it: once per open.
      if (!directorySynced_) {
        fs_.syncDirectory(dir_);
        directorySynced_ = true;
        ++syncs_;
      }
    }
  } catch (...) {
    try {
      jf.truncate(at);
    } catch (...) {
    }
    throw;
  }

  try {
    for (File* f : t.order_) {
      const auto& s = t.files_.at(f);
      if (s.keep < s.originalSize) f->truncate(s.keep);
      for (const auto& [off, bytes] : s.extents) f->writeAt(off, bytes);
      if (f->size() != s.size) f->truncate(s.size);
    }
  } catch (const TableError& e) {
    throw TableError(ErrorKind::Io, e.file(),
                     std::string(e.what()) +
                         " (the change was saved in the journal and is completed when the table is next opened)");
  }

  if (jf.size() > kCheckpointBytes) checkpointLocked();
}

bool Journal::recover() {
  if (!fs_.exists(path_)) return false;
  lock(10000);
  bool replayed = false;
  try {
    replayed = replayLocked();
  } catch (...) {
    unlock();
    throw;
  }
  unlock();
  return replayed;
}

bool Journal::replayLocked() {
  File& jf = journalFile();
  std::uint64_t size = jf.size();
  if (size == 0) return false;
  std::map<std::string, std::unique_ptr<File>> files;
  auto target = [&](const std::string& name) -> File& {
    auto it = files.find(name);
    if (it != files.end()) return *it->second;
    auto f = fs_.open(joinPath(dir_, name), OpenMode::OpenOrCreate);
    return *files.emplace(name, std::move(f)).first->second;
  };
  bool any = false;
  std::uint64_t at = 0;
  std::vector<std::uint8_t> payload;
  std::vector<ParsedOp> ops;
  while (size - at >= kRecordHeader) {
    std::uint8_t h[kRecordHeader];
    jf.readAt(at, h);
    if (std::memcmp(h, kMagic, 4) != 0) break;
    std::uint64_t len = get(h + 4, 4);
    if (len > size - at - kRecordHeader || len > kMaxRecord) break;  // torn tail
    payload.resize(static_cast<std::size_t>(len));
    jf.readAt(at + kRecordHeader, payload);
    if (crc32(payload.data(), payload.size()) != get(h + 8, 4)) break;
    if (!parsePayload(payload.data(), payload.size(), ops)) break;
    for (const auto& op : ops) {
      File& f = target(op.name);
      if (op.kind == kWrite) f.writeAt(op.offset, std::span<const std::uint8_t>(op.data, op.length));
      else f.truncate(op.offset);
    }
    any = true;
    at += kRecordHeader + len;
  }
  for (auto& [name, f] : files) f->sync();
  jf.truncate(0);
  jf.sync();
  return any;
}

void Journal::checkpoint() {
  if (!fs_.exists(path_)) return;
  lock(10000);
  try {
    checkpointLocked();
  } catch (...) {
    unlock();
    throw;
  }
  unlock();
}

void Journal::checkpointLocked() {
  // Replaying is idempotent and also syncs every file named, so a checkpoint is a replay: it
  // completes anything a dead writer left half applied on the way.
  replayLocked();
}

}  // namespace rf::tables
