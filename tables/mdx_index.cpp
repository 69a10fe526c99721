#include "tables/mdx_index.h"

#include <algorithm>
#include <atomic>

#include "tables/error.h"
#include "tables/mdx_collation.h"
#include "tables/mdx_keys.h"
#include "tables/mdx_tree.h"

namespace rf::tables::mdx {

namespace {

std::atomic<std::uint64_t> g_generation{1};

std::string textAt(const std::uint8_t* p, std::size_t max) {
  std::size_t n = 0;
  while (n < max && p[n] != 0) ++n;
  std::string s(reinterpret_cast<const char*>(p), n);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  std::size_t lead = s.find_first_not_of(' ');
  return lead == std::string::npos ? std::string() : s.substr(lead);
}

bool printable(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

}  // namespace

std::uint64_t changeGeneration() { return g_generation.load(std::memory_order_relaxed); }
void bumpChangeGeneration() { g_generation.fetch_add(1, std::memory_order_relaxed); }

MdxIndex::MdxIndex(File& file, std::uint8_t tableLanguageDriver) : file_(file), tableLanguageDriver_(tableLanguageDriver) {
  layout_.path = file.path();
  load();
}

void MdxIndex::load() {
  const std::string& path = layout_.path;
  std::uint64_t size = file_.size();
  std::vector<std::uint8_t> h(kHeaderPages * kPageBytes);
  if (size < h.size()) throwCorrupt(path, "file is shorter than the MDX header", 0);
  file_.readExact(0, h, "MDX header");

  std::uint32_t units = get16(h.data() + 20);
  std::uint32_t bytes = get16(h.data() + 22);
  if (bytes != units * kPageBytes || bytes < kTagHeaderBytes || bytes > 32768)
    throwCorrupt(path, "block size " + std::to_string(bytes) + " does not fit its " + std::to_string(units) +
                           " pages of 512 bytes",
                 20);
  // dBASE IV and 5 keep 32-byte tag entries with 11-character names; dBASE 7 48-byte ones with
  // names of up to 32 characters (the key type is read from each tag's own header either way).
  std::size_t slotBytes = h[26];
  if (slotBytes != kTagSlotBytes && slotBytes != kTagSlotBytes7)
    throwError(ErrorKind::Unsupported, path, "MDX tag table with " + std::to_string(slotBytes) + "-byte entries is not supported");
  std::size_t nameBytes = slotBytes == kTagSlotBytes ? 11 : 33;
  int used = get16(h.data() + 28);
  if (kTagTableOffset + static_cast<std::size_t>(used) * slotBytes > h.size())
    throwCorrupt(path, std::to_string(used) + " tags in use, more than the tag table holds", 28);

  FileLayout layout;
  layout.path = path;
  layout.blockBytes = bytes;
  layout.pagesPerBlock = units;
  layout.languageDriver = h[31] != 0 ? h[31] : tableLanguageDriver_;
  layout.collation = collationWeights(layout.languageDriver);

  std::vector<TagLayout> tags;
  std::vector<std::uint8_t> th(kTagHeaderBytes);
  for (int i = 0; i < used; ++i) {
    const std::uint8_t* slot = h.data() + kTagTableOffset + static_cast<std::size_t>(i) * slotBytes;
    std::uint64_t slotOff = kTagTableOffset + static_cast<std::uint64_t>(i) * slotBytes;
    TagLayout t;
    t.headerPage = get32(slot);
    t.spec.name = textAt(slot + 4, nameBytes);
    std::uint64_t off = static_cast<std::uint64_t>(t.headerPage) * kPageBytes;
    if (t.headerPage < kHeaderPages || off + kTagHeaderBytes > size)
      throwCorrupt(path, "tag " + t.spec.name + ": header page " + std::to_string(t.headerPage) + " lies outside the file",
                   slotOff);
    file_.readExact(off, th, "MDX tag header");
    char type = static_cast<char>(th[kTagKeyType]);
    if (type == 'F') type = 'N';
    t.spec.keyType = type;
    t.spec.keyLength = get16(th.data() + kTagKeyLength);
    t.maxKeys = get16(th.data() + kTagMaxKeys);
    t.itemLength = get16(th.data() + kTagItemLength);
    if (t.spec.keyLength < 1 || t.itemLength < t.spec.keyLength + 4 || t.maxKeys < 1 ||
        kNodeItems + static_cast<std::uint64_t>(t.maxKeys) * static_cast<std::uint64_t>(t.itemLength) + 4 > bytes)
      throwCorrupt(path,
                   "tag " + t.spec.name + ": key length " + std::to_string(t.spec.keyLength) + ", item length " +
                       std::to_string(t.itemLength) + " and " + std::to_string(t.maxKeys) +
                       " keys a node do not fit a block of " + std::to_string(bytes) + " bytes",
                   off + kTagKeyLength);
    t.maxBranchKeys = t.maxKeys - 1;
    std::uint8_t format = th[kTagFormat];
    t.spec.descending = (format & kFormatDescending) != 0;
    t.spec.unique = (format & kFormatUnique) != 0 || th[kTagUniqueByte] != 0;
    t.spec.expression = textAt(th.data() + kTagExpression, kMaxExpression + 1);
    std::string forText = textAt(th.data() + kTagForExpression, kMaxExpression + 1);
    // Byte 245 says a FOR clause is there; text without the flag counts when it reads as one.
    if (th[kTagForFlag] != 0 || printable(forText)) t.spec.forExpression = forText;
    t.usable = (type == 'C' && t.spec.keyLength <= 255) || (type == 'N' && t.spec.keyLength == kNumericKeyLength) ||
               (type == 'D' && t.spec.keyLength == kDateKeyLength);
    if (t.maxKeys < 3) t.usable = false;
    tags.push_back(std::move(t));
  }
  layout_ = std::move(layout);
  tags_ = std::move(tags);
}

const TagSpec& MdxIndex::tag(int i) const { return tagLayout(i).spec; }

const TagLayout& MdxIndex::tagLayout(int i) const {
  if (i < 0 || i >= static_cast<int>(tags_.size()))
    throwError(ErrorKind::InvalidInput, layout_.path, "no tag number " + std::to_string(i));
  return tags_[static_cast<std::size_t>(i)];
}

std::string MdxIndex::encode(int tag, const KeyValue& key) const {
  const TagLayout& t = tagLayout(tag);
  auto mismatch = [&]() -> std::string {
    throwError(ErrorKind::InvalidInput, layout_.path,
               "tag " + t.spec.name + " keeps " + std::string(1, t.spec.keyType) + " keys, not " +
                   std::string(1, key.type));
  };
  switch (t.spec.keyType) {
    case 'C': {
      if (key.type != 'C') return mismatch();
      std::string s = key.text;
      s.resize(static_cast<std::size_t>(t.spec.keyLength), ' ');
      return s;
    }
    case 'N':
      if (key.type != 'N') return mismatch();
      if (t.spec.keyLength != kNumericKeyLength) break;
      return encodeNumber(key.number);
    case 'D':
      if (key.type != 'D' && key.type != 'N') return mismatch();
      if (t.spec.keyLength != kDateKeyLength) break;
      return encodeDate(key.number);
    default:
      break;
  }
  throwError(ErrorKind::Unsupported, layout_.path,
             "tag " + t.spec.name + ": keys of type '" + std::string(1, t.spec.keyType) + "' and length " +
                 std::to_string(t.spec.keyLength) + " are not supported");
}

int MdxIndex::compare(int tag, std::string_view a, std::string_view b) const {
  const TagLayout& t = tagLayout(tag);
  int c = compareKeys(t.spec.keyType, layout_.collation, a, b);
  return t.spec.descending ? -c : c;
}

std::unique_ptr<TagIterator> MdxIndex::iterate(int tag) {
  tagLayout(tag);
  return makeIterator(*this, tag);
}

const TagLayout& MdxIndex::writable(int tag, std::string_view key) const {
  const TagLayout& t = tagLayout(tag);
  if (!t.usable)
    throwError(ErrorKind::Unsupported, layout_.path, "tag " + t.spec.name + " has a layout this engine does not update");
  if (key.size() != static_cast<std::size_t>(t.spec.keyLength))
    throwError(ErrorKind::InvalidInput, layout_.path,
               "tag " + t.spec.name + ": key of " + std::to_string(key.size()) + " bytes, the tag keeps " +
                   std::to_string(t.spec.keyLength));
  return t;
}

void MdxIndex::insert(Transaction& tx, int tag, std::string_view key, std::uint32_t recno) {
  const TagLayout& t = writable(tag, key);
  if (recno == 0) throwError(ErrorKind::InvalidInput, layout_.path, "record number 0");
  PageIo io(file_, &tx);
  Tree tree(layout_, t, io);
  tree.insert(key, recno);
  tree.flush();
  bumpChangeGeneration();
}

void MdxIndex::remove(Transaction& tx, int tag, std::string_view key, std::uint32_t recno) {
  const TagLayout& t = writable(tag, key);
  PageIo io(file_, &tx);
  Tree tree(layout_, t, io);
  tree.remove(key, recno);
  tree.flush();
  bumpChangeGeneration();
}

void MdxIndex::clear(Transaction& tx) {
  // Every tag keeps its header block; each gets an empty root in the first block no header
  // uses, and the file ends after the last of them.
  std::uint32_t ppb = layout_.pagesPerBlock;
  std::vector<std::uint32_t> taken;
  for (const auto& t : tags_) taken.push_back(t.headerPage);
  auto overlaps = [&](std::uint32_t page) {
    return std::any_of(taken.begin(), taken.end(), [&](std::uint32_t h) { return page < h + ppb && h < page + ppb; });
  };
  PageIo io(file_, &tx);
  std::uint32_t candidate = kHeaderPages;
  for (const auto& t : tags_) {
    while (overlaps(candidate)) candidate += ppb;
    taken.push_back(candidate);
    Tree tree(layout_, t, io);
    tree.reset(candidate);
    tree.flush();
  }
  std::uint32_t end = kHeaderPages;
  for (std::uint32_t p : taken) end = std::max(end, p + ppb);
  std::uint8_t b[12] = {};
  put32(b, end);  // pages in the file; free list and free block count stay 0
  io.write(kHdrPages, b);
  tx.truncate(file_, static_cast<std::uint64_t>(end) * kPageBytes);
  bumpChangeGeneration();
}

void MdxIndex::refresh() {
  load();
  bumpChangeGeneration();
}

void MdxIndex::check(CheckReport& report) {
  try {
    std::uint8_t b[4];
    file_.readExact(kHdrPages, b, "MDX header");
    std::uint64_t pages = get32(b);
    std::uint64_t size = file_.size();
    if (pages * kPageBytes > size)
      report.problems.push_back(layout_.path + ": header counts " + std::to_string(pages) +
                                " pages, the file holds " + std::to_string(size / kPageBytes));
    std::vector<std::uint32_t> reserved;
    for (const auto& t : tags_) reserved.push_back(t.headerPage);
    PageIo io(file_, nullptr);
    for (const auto& t : tags_) {
      Tree tree(layout_, t, io);
      tree.check(report.problems, reserved);
    }
  } catch (const TableError& e) {
    report.problems.push_back(e.what());
  }
}

}  // namespace rf::tables::mdx

namespace rf::tables {

std::unique_ptr<IndexFile> openMdx(File& file) { return std::make_unique<mdx::MdxIndex>(file); }

std::unique_ptr<IndexFile> openMdx(File& file, std::uint8_t tableLanguageDriver) {
  return std::make_unique<mdx::MdxIndex>(file, tableLanguageDriver);
}

}  // namespace rf::tables
