#include "tables/paradox_blob_file.h"

#include <algorithm>
#include <bitset>
#include <cstring>
#include <map>

#include "tables/error.h"
#include "tables/paradox_format.h"

namespace rf::tables::paradox {

namespace {

constexpr std::size_t kListAt = 0x38;
constexpr std::size_t kListEnd = 0x1000;
constexpr std::uint32_t kFirstChunk = 0x150 / 16;
constexpr std::uint32_t kChunks = BlobFile::kUnit / 16;
constexpr std::uint32_t kMaxUnits = 0xFFFF;

std::string hex(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

}  // namespace

std::vector<std::uint8_t> BlobFile::emptyHeader() {
  // As the original writes it: type 0, one unit, modification count 1, then the constants of
  // its allocation scheme (unit and sub-allocation sizes, 16-byte chunks, 64 slots, 2 KB limit).
  static const std::uint8_t kStart[] = {0x00, 0x01, 0x00, 0x01, 0x00, 0x82, 0x73, 0x02, 0x00, 0x29, 0x00,
                                        0x00, 0x10, 0x00, 0x10, 0x00, 0x10, 0x40, 0x00, 0x00, 0x08};
  std::vector<std::uint8_t> h(kUnit, 0);
  std::memcpy(h.data(), kStart, sizeof kStart);
  h[0x29] = 0xA1;
  h[0x2A] = 0x02;
  return h;
}

void BlobFile::load(const BlockIo& io) {
  std::uint64_t size = io.size(file_);
  if (size < kUnit) throwCorrupt(path(), "the blob file is shorter than its header", 0);
  loadedSize_ = size;
  std::vector<std::uint8_t> h(kUnit);
  io.readExact(file_, 0, h, "the blob file header");
  if (h[0] != 0 || le16(&h[1]) != 1) throwCorrupt(path(), "not a Paradox blob file", 0);
  modCount_ = le16(&h[3]);
  cachedAt_ = 0;
  free_.clear();
  listed_.clear();
  listTrusted_ = true;
  listRead_ = 0;
  for (std::size_t at = kListAt; at + 8 <= kListEnd; at += 8) {
    std::uint32_t v = le32(&h[at]);
    if (v == 0) break;
    ++listRead_;
    FreeEntry e{v & 0xFFFFFF00u, static_cast<std::uint8_t>(v & 0xFF), le32(&h[at + 4])};
    if ((e.kind != 2 && e.kind != 3) || e.offset < kUnit || e.offset % kUnit || e.offset >= size || e.count == 0) {
      listTrusted_ = false;
      break;
    }
    listed_.push_back(e);
  }
  // Every entry must name what it says is there; a list that does not is left as it is and new
  // space is taken at the end of the file (the check reports it). A list already found right (or
  // written by this object) is not looked at again.
  std::vector<std::uint8_t> raw(h.begin() + kListAt, h.begin() + static_cast<std::ptrdiff_t>(kListAt + 8 * listRead_));
  if (!listTrusted_ || raw != verifiedList_ || size != verifiedSize_) {
    for (const auto& e : listed_) {
      std::uint8_t uh[3];
      if (io.read(file_, e.offset, uh) != 3 || uh[0] != (e.kind == 3 ? 4 : 3) || (e.kind == 3 && le16(uh + 1) < e.count))
        listTrusted_ = false;
    }
    if (listTrusted_) {
      verifiedList_ = std::move(raw);
      verifiedSize_ = size;
    }
  }
  if (listTrusted_) free_ = listed_;
  dirty_ = false;
}

std::uint16_t BlobFile::bumpModCount() {
  modCount_ = modCount_ >= 0xFFFF ? 1 : static_cast<std::uint16_t>(modCount_ + 1);
  dirty_ = true;
  return modCount_;
}

BlobFile::Slot BlobFile::slotAt(const std::uint8_t* block, int i) {
  const std::uint8_t* s = block + 12 + 5 * i;
  Slot slot{static_cast<std::uint32_t>(s[0]) * 16, s[1], le16(s + 2), 0};
  if (slot.offset && s[4] && slot.chunks) slot.length = (slot.chunks - 1) * 16 + s[4];
  else slot.offset = 0;
  return slot;
}

namespace {
std::bitset<256> usedChunks(const std::uint8_t* block) {
  std::bitset<256> used;
  for (std::uint32_t c = 0; c < kFirstChunk; ++c) used.set(c);
  for (int i = 0; i < 64; ++i) {
    const std::uint8_t* s = block + 12 + 5 * i;
    if (!s[0] || !s[4]) continue;
    for (std::uint32_t c = s[0]; c < std::min<std::uint32_t>(kChunks, s[0] + s[1]); ++c) used.set(c);
  }
  return used;
}
}  // namespace

std::uint32_t BlobFile::freeChunks(const std::uint8_t* block) {
  return static_cast<std::uint32_t>(256 - usedChunks(block).count());
}

std::uint32_t BlobFile::findRun(const std::uint8_t* block, std::uint32_t chunks) {
  auto used = usedChunks(block);
  std::uint32_t run = 0;
  for (std::uint32_t c = kFirstChunk; c < kChunks; ++c) {
    run = used.test(c) ? 0 : run + 1;
    if (run == chunks) return c + 1 - chunks;
  }
  return 0;
}

void BlobFile::readUnitHeader(const BlockIo& io, std::uint32_t offset, std::uint8_t out[3]) {
  if (io.read(file_, offset, std::span<std::uint8_t>(out, 3)) != 3)
    throwCorrupt(path(), "a blob block lies past the end of the file", offset);
}

Bytes BlobFile::read(const BlockIo& io, const BlobRef& ref) {
  std::uint32_t base = ref.offset & 0xFFFFFF00u;
  std::uint32_t slot = ref.offset & 0xFF;
  // Outside a transaction the size read with the header serves (the owner reloads it whenever
  // the file may have changed); a blob read past it is refused like one past the end.
  std::uint64_t size = io.writing() ? io.size(file_) : loadedSize_;
  if (base < kUnit || base % kUnit || base >= size)
    throwCorrupt(path(), "a record points at " + hex(ref.offset) + ", outside the blob file", ref.offset);
  if (slot == 0xFF) {
    std::uint8_t h[9];
    io.readExact(file_, base, h, "a blob block");
    std::uint32_t units = le16(h + 1), length = le32(h + 3);
    if (h[0] != 2) throwCorrupt(path(), "a record points at a block that holds no single blob", base);
    if (length != ref.length)
      throwCorrupt(path(), "the blob at " + hex(base) + " is " + std::to_string(length) + " bytes, the record says " +
                               std::to_string(ref.length), base + 3);
    if (units == 0 || 9ull + length > static_cast<std::uint64_t>(units) * kUnit || base + 9ull + length > size)
      throwCorrupt(path(), "the blob at " + hex(base) + " runs past its block or the file", base + 1);
    Bytes data(length);
    io.readExact(file_, base + 9, data, "a blob");
    return data;
  }
  if (slot >= 64) throwCorrupt(path(), "a record points at slot " + std::to_string(slot) + " of a block", ref.offset);
  std::vector<std::uint8_t> own;
  std::vector<std::uint8_t>* blockp = &own;
  if (io.writing()) {
    own.resize(kUnit);
    io.readExact(file_, base, own, "a sub-allocated blob block");
  } else {
    if (cachedAt_ != base) {
      cached_.resize(kUnit);
      cachedAt_ = 0;
      io.readExact(file_, base, cached_, "a sub-allocated blob block");
      cachedAt_ = base;
    }
    blockp = &cached_;
  }
  const std::vector<std::uint8_t>& block = *blockp;
  if (block[0] != 3) throwCorrupt(path(), "a record points at a block that is not sub-allocated", base);
  Slot s = slotAt(block.data(), static_cast<int>(slot));
  if (!s.offset) throwCorrupt(path(), "a record points at a deleted blob (slot " + std::to_string(slot) + ")", base);
  if (s.length != ref.length)
    throwCorrupt(path(), "the blob in slot " + std::to_string(slot) + " at " + hex(base) + " is " +
                             std::to_string(s.length) + " bytes, the record says " + std::to_string(ref.length),
                 base + 12 + 5 * slot);
  if (s.offset < 0x150 || s.offset + s.length > kUnit)
    throwCorrupt(path(), "the blob in slot " + std::to_string(slot) + " runs past its block", base + 12 + 5 * slot);
  return Bytes(block.begin() + s.offset, block.begin() + s.offset + s.length);
}

BlobRef BlobFile::write(const BlockIo& io, std::span<const std::uint8_t> data, std::uint16_t mod) {
  if (data.empty()) return BlobRef{};
  return data.size() <= kSmallLimit ? writeSmall(io, data, mod) : writeLarge(io, data, mod);
}

std::uint32_t BlobFile::takeUnits(const BlockIo& io, std::uint32_t units) {
  if (listTrusted_) {
    for (auto it = free_.begin(); it != free_.end(); ++it) {
      if (it->kind != 3 || it->count < units) continue;
      std::uint8_t h[3];
      readUnitHeader(io, it->offset, h);
      if (h[0] != 4) throwCorrupt(path(), "the free space list names a block in use", it->offset);
      std::uint32_t off = it->offset;
      if (it->count == units) {
        free_.erase(it);
      } else {
        it->offset += units * kUnit;
        it->count -= units;
        std::uint8_t fh[3] = {4, 0, 0};
        putLe16(fh + 1, it->count);
        io.write(file_, it->offset, fh);
      }
      dirty_ = true;
      return off;
    }
  }
  std::uint64_t size = io.size(file_);
  std::uint64_t at = (size + kUnit - 1) / kUnit * kUnit;
  if (at + static_cast<std::uint64_t>(units) * kUnit > 0xFFFFFF00ull)
    throwError(ErrorKind::InvalidInput, path(), "the blob file is full (4 GB)");
  return static_cast<std::uint32_t>(at);
}

BlobRef BlobFile::writeLarge(const BlockIo& io, std::span<const std::uint8_t> data, std::uint16_t mod) {
  std::uint64_t units64 = (data.size() + 9 + kUnit - 1) / kUnit;
  if (units64 > kMaxUnits)
    throwError(ErrorKind::InvalidInput, path(), "a blob of " + std::to_string(data.size()) + " bytes is too large (256 MB at most)");
  auto units = static_cast<std::uint32_t>(units64);
  std::uint32_t off = takeUnits(io, units);
  std::uint8_t h[9];
  h[0] = 2;
  putLe16(h + 1, units);
  putLe32(h + 3, static_cast<std::uint32_t>(data.size()));
  putLe16(h + 7, mod);
  io.write(file_, off, h);
  io.write(file_, off + 9, data);
  std::size_t pad = units * kUnit - 9 - data.size();
  if (pad) {
    std::vector<std::uint8_t> zeros(pad, 0);
    io.write(file_, off + 9 + data.size(), zeros);
  }
  return BlobRef{off | 0xFFu, static_cast<std::uint32_t>(data.size()), mod};
}

BlobRef BlobFile::writeSmall(const BlockIo& io, std::span<const std::uint8_t> data, std::uint16_t mod) {
  const auto len = static_cast<std::uint32_t>(data.size());
  const std::uint32_t chunks = (len + 15) / 16;
  std::vector<std::uint8_t> block(kUnit);
  std::uint32_t off = 0, start = 0;
  int slot = -1;
  bool fresh = false;
  if (listTrusted_) {
    for (const auto& e : free_) {
      if (e.kind != 2 || e.count < chunks) continue;
      io.readExact(file_, e.offset, block, "a sub-allocated blob block");
      if (block[0] != 3) throwCorrupt(path(), "the free space list names a block that is not sub-allocated", e.offset);
      int freeSlot = -1;
      for (int i = 63; i >= 0 && freeSlot < 0; --i)
        if (!slotAt(block.data(), i).offset) freeSlot = i;
      std::uint32_t run = findRun(block.data(), chunks);
      if (freeSlot >= 0 && run) {
        off = e.offset;
        start = run;
        slot = freeSlot;
        break;
      }
    }
  }
  if (slot < 0) {
    off = takeUnits(io, 1);
    std::fill(block.begin(), block.end(), 0);
    block[0] = 3;
    putLe16(&block[1], 1);
    start = kFirstChunk;
    slot = 63;
    fresh = true;
  }
  std::uint8_t* s = &block[12 + 5 * static_cast<std::size_t>(slot)];
  s[0] = static_cast<std::uint8_t>(start);
  s[1] = static_cast<std::uint8_t>(chunks);
  putLe16(s + 2, mod);
  s[4] = static_cast<std::uint8_t>(len % 16 ? len % 16 : 16);
  std::uint8_t* d = &block[start * 16];
  std::memset(d, 0, chunks * 16);
  std::memcpy(d, data.data(), len);
  if (fresh) {
    io.write(file_, off, block);
  } else {
    io.write(file_, off + 12 + 5 * static_cast<std::uint32_t>(slot), std::span<const std::uint8_t>(s, 5));
    io.write(file_, off + start * 16, std::span<const std::uint8_t>(d, chunks * 16));
  }
  setSubEntry(off, freeChunks(block.data()));
  return BlobRef{off | static_cast<std::uint32_t>(slot), len, mod};
}

void BlobFile::setSubEntry(std::uint32_t offset, std::uint32_t chunksFree) {
  if (!listTrusted_) return;
  auto it = std::find_if(free_.begin(), free_.end(), [&](const FreeEntry& e) { return e.kind == 2 && e.offset == offset; });
  if (chunksFree == 0) {
    if (it != free_.end()) free_.erase(it);
  } else if (it != free_.end()) {
    it->count = chunksFree;
  } else {
    free_.push_back({offset, 2, chunksFree});
  }
  dirty_ = true;
}

void BlobFile::addFreeRun(const BlockIo& io, std::uint32_t offset, std::uint32_t units) {
  if (!listTrusted_) return;
  // Merge with the runs right before and after, as the original keeps contiguous free blocks.
  for (auto it = free_.begin(); it != free_.end(); ++it) {
    if (it->kind == 3 && it->offset + it->count * kUnit == offset && it->count + units <= kMaxUnits) {
      offset = it->offset;
      units += it->count;
      free_.erase(it);
      break;
    }
  }
  for (auto it = free_.begin(); it != free_.end(); ++it) {
    if (it->kind == 3 && it->offset == offset + units * kUnit && it->count + units <= kMaxUnits) {
      units += it->count;
      free_.erase(it);
      break;
    }
  }
  dirty_ = true;
  if (offset + static_cast<std::uint64_t>(units) * kUnit >= io.size(file_)) {
    io.truncate(file_, offset);
    return;
  }
  std::uint8_t h[3] = {4, 0, 0};
  putLe16(h + 1, units);
  io.write(file_, offset, h);
  free_.push_back({offset, 3, units});
}

void BlobFile::release(const BlockIo& io, const BlobRef& ref) {
  if (ref.inLeader()) return;
  std::uint32_t base = ref.offset & 0xFFFFFF00u;
  std::uint32_t slot = ref.offset & 0xFF;
  if (base < kUnit || base % kUnit || base >= io.size(file_))
    throwCorrupt(path(), "a record points at " + hex(ref.offset) + ", outside the blob file", ref.offset);
  if (slot == 0xFF) {
    std::uint8_t h[3];
    readUnitHeader(io, base, h);
    if (h[0] != 2) throwCorrupt(path(), "the blob to give back at " + hex(base) + " is not a single blob", base);
    std::uint8_t four = 4;
    io.write(file_, base, std::span<const std::uint8_t>(&four, 1));
    addFreeRun(io, base, std::max<std::uint32_t>(1, le16(h + 1)));
    return;
  }
  if (slot >= 64) throwCorrupt(path(), "a record points at slot " + std::to_string(slot) + " of a block", ref.offset);
  std::vector<std::uint8_t> block(kUnit);
  io.readExact(file_, base, block, "a sub-allocated blob block");
  if (block[0] != 3) throwCorrupt(path(), "the blob to give back at " + hex(base) + " is not sub-allocated", base);
  std::uint8_t* s = &block[12 + 5 * slot];
  if (!slotAt(block.data(), static_cast<int>(slot)).offset)
    throwCorrupt(path(), "the blob to give back in slot " + std::to_string(slot) + " is already deleted", base);
  s[0] = 0;
  s[2] = 0;
  s[3] = 0;
  io.write(file_, base + 12 + 5 * slot, std::span<const std::uint8_t>(s, 5));
  bool live = false;
  for (int i = 0; i < 64 && !live; ++i) live = slotAt(block.data(), i).offset != 0;
  if (live) {
    setSubEntry(base, freeChunks(block.data()));
    return;
  }
  setSubEntry(base, 0);
  std::uint8_t h[3] = {4, 1, 0};
  io.write(file_, base, h);
  addFreeRun(io, base, 1);
}

void BlobFile::flush(const BlockIo& io) {
  if (!dirty_) return;
  std::uint8_t mc[2];
  putLe16(mc, modCount_);
  io.write(file_, 3, mc);
  if (listTrusted_) {
    // When there are more free places than the list holds, the roomiest are listed: a block with
    // a few chunks left is of no use to the next blob (and stays valid, just unlisted, until one
    // of its blobs is given back).
    if (free_.size() > kMaxFreeEntries) {
      auto bytes = [](const FreeEntry& e) { return e.kind == 3 ? e.count * std::uint64_t{kUnit} : e.count * 16ull; };
      std::nth_element(free_.begin(), free_.begin() + static_cast<std::ptrdiff_t>(kMaxFreeEntries), free_.end(),
                       [&](const FreeEntry& a, const FreeEntry& b) { return bytes(a) > bytes(b); });
      free_.resize(kMaxFreeEntries);
    }
    std::sort(free_.begin(), free_.end(), [](const FreeEntry& a, const FreeEntry& b) { return a.offset < b.offset; });
    std::size_t keep = free_.size();
    std::size_t slots = std::max(keep, listRead_) + 1;
    std::vector<std::uint8_t> list(std::min(slots * 8, kListEnd - kListAt), 0);
    for (std::size_t i = 0; i < keep && (i + 1) * 8 <= list.size(); ++i) {
      putLe32(&list[i * 8], free_[i].offset | free_[i].kind);
      putLe32(&list[i * 8 + 4], free_[i].count);
    }
    io.write(file_, kListAt, list);
    listRead_ = keep;
    verifiedList_.assign(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(8 * keep));
    verifiedSize_ = io.size(file_);
  }
  dirty_ = false;
}

void BlobFile::clear(const BlockIo& io) {
  io.truncate(file_, kUnit);
  free_.clear();
  listed_.clear();
  listTrusted_ = true;
  dirty_ = true;
}

void BlobFile::check(const std::vector<Use>& used, CheckReport& report) {
  const std::string& p = path();
  std::uint64_t size = file_.size();
  if (size < kUnit) {
    report.problems.push_back(p + ": shorter than its header");
    return;
  }
  struct Live {
    std::uint32_t length;
    std::uint16_t mod;
    int refs = 0;
  };
  std::map<std::uint32_t, Live> live;
  std::map<std::uint32_t, std::pair<std::uint8_t, std::uint32_t>> actualFree;  // offset -> kind, count
  std::vector<std::uint8_t> block(kUnit);
  std::uint64_t at = kUnit;
  while (at < size) {
    std::uint8_t h[9] = {};
    file_.readAt(at, h);
    std::uint32_t units = le16(h + 1);
    auto off = static_cast<std::uint32_t>(at);
    if (units == 0 || (h[0] != 2 && h[0] != 3 && h[0] != 4)) {
      report.problems.push_back(p + ": unknown block type " + std::to_string(h[0]) + " at offset " + std::to_string(at));
      return;
    }
    if (h[0] == 2) {
      std::uint32_t length = le32(h + 3);
      if (9ull + length > static_cast<std::uint64_t>(units) * kUnit)
        report.problems.push_back(p + ": the blob at offset " + std::to_string(at) + " is longer than its block");
      live[off | 0xFF] = {length, le16(h + 7)};
    } else if (h[0] == 3) {
      if (units != 1) report.problems.push_back(p + ": a sub-allocated block of " + std::to_string(units) + " units at offset " + std::to_string(at));
      file_.readAt(at, block);
      std::bitset<256> seen;
      for (int i = 0; i < 64; ++i) {
        Slot s = slotAt(block.data(), i);
        if (!s.offset) continue;
        bool bad = s.offset < 0x150 || s.offset + s.chunks * 16 > kUnit;
        for (std::uint32_t c = s.offset / 16; !bad && c < s.offset / 16 + s.chunks; ++c) {
          if (seen.test(c)) bad = true;
          seen.set(c);
        }
        if (bad) report.problems.push_back(p + ": slot " + std::to_string(i) + " of the block at offset " + std::to_string(at) + " overlaps another or runs past the block");
        live[off | static_cast<std::uint32_t>(i)] = {s.length, s.mod};
      }
      std::uint32_t f = freeChunks(block.data());
      if (f) actualFree[off] = {2, f};
    } else {
      actualFree[off] = {3, units};
    }
    at += static_cast<std::uint64_t>(units) * kUnit;
    if (at > size) report.problems.push_back(p + ": the block at offset " + std::to_string(off) + " runs past the end of the file");
  }
  for (const auto& u : used) {
    auto it = live.find(u.ref.offset);
    if (it == live.end()) {
      report.problems.push_back(p + ": " + u.where + " points at " + hex(u.ref.offset) + ", where no blob is");
      continue;
    }
    if (it->second.length != u.ref.length)
      report.problems.push_back(p + ": " + u.where + " says " + std::to_string(u.ref.length) + " bytes, the blob holds " + std::to_string(it->second.length));
    if (it->second.mod != u.ref.mod)
      report.problems.push_back(p + ": " + u.where + " has modification number " + std::to_string(u.ref.mod) + ", the blob " + std::to_string(it->second.mod));
    if (++it->second.refs == 2) report.problems.push_back(p + ": the blob at " + hex(u.ref.offset) + " is used by more than one record");
  }
  {
    for (const auto& e : listed_) {
      auto it = actualFree.find(e.offset);
      if (it == actualFree.end() || it->second.first != e.kind) {
        report.problems.push_back(p + ": the free space list names offset " + std::to_string(e.offset) + ", which is not free");
        continue;
      }
      // A run the list names may be the start of a longer one; it must not claim more.
      if (e.count > it->second.second || (e.kind == 2 && e.count != it->second.second))
        report.problems.push_back(p + ": the free space list counts " + std::to_string(e.count) + " at offset " + std::to_string(e.offset) + ", there are " + std::to_string(it->second.second));
    }
  }
}

}  // namespace rf::tables::paradox
