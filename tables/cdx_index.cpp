#include "tables/cdx_index.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "tables/cdx_header.h"
#include "tables/cdx_iterator.h"
#include "tables/error.h"

namespace rf::tables {

using namespace cdx;

namespace {

constexpr const char* kDirectoryName = "(directory)";

HeaderBytes readHeader(Store& store, std::uint64_t offset) {
  HeaderBytes h;
  store.read(offset, h, "a tag header");
  return h;
}

std::string tagName(std::string_view key) {
  std::size_t n = key.size();
  while (n > 0 && (key[n - 1] == ' ' || key[n - 1] == '\0')) --n;
  return std::string(key.substr(0, n));
}

}  // namespace

CdxIndex::CdxIndex(File& file) : file_(file), store_(file) { load(); }

const CdxIndex::Tag& CdxIndex::at(int i) const {
  if (i < 0 || i >= static_cast<int>(tags_.size()))
    throwError(ErrorKind::InvalidInput, file_.path(), "no tag number " + std::to_string(i));
  return tags_[static_cast<std::size_t>(i)];
}

CdxIndex::Tag& CdxIndex::at(int i) {
  return const_cast<Tag&>(static_cast<const CdxIndex*>(this)->at(i));
}

void CdxIndex::load() {
  store_.clearCache();
  Store::Scope reading(store_, nullptr);
  const TagHeader dir = parseTagHeader(readHeader(store_, 0), 0, file_.path());
  auto directory = std::make_unique<Tree>(store_, 0, dir.keyLength, ' ', kDirectoryName);

  std::vector<Tag> tags;
  std::set<std::uint64_t> headers;
  for (Tree::Pos p = directory->first(); p.valid(); directory->next(p)) {
    Tag t;
    t.def.name = tagName(p.key());
    t.header = p.recno();
    if (t.header % kPageSize != 0 || t.header < kHeaderSize || !headers.insert(t.header).second)
      throwCorrupt(file_.path(), "tag " + t.def.name + " has its header at an impossible offset",
                   t.header);
    const TagHeader h = parseTagHeader(readHeader(store_, t.header), t.header, file_.path());
    t.shape.keyLength = h.keyLength;
    t.shape.nullable = (h.options & kOptNullable) != 0;
    if (t.shape.nullable && h.keyLength < 2)
      throwCorrupt(file_.path(), "tag " + t.def.name + ": nullable key of one byte", t.header);
    t.def.expression = h.expression;
    t.def.forExpression = h.forExpression;
    t.def.keyLength = h.keyLength;
    t.def.unique = (h.options & (kOptUnique | kOptCandidate)) != 0;
    t.def.descending = h.descending;
    t.tree = std::make_unique<Tree>(store_, t.header, h.keyLength, '\0', t.def.name);
    // The type only decides the filler of trailing bytes; a tree too damaged to sample is
    // reported when it is used or checked, not here.
    std::vector<std::string> samples;
    try {
      for (std::string& s : t.tree->samples(64)) {
        if (!t.shape.nullable) {
          samples.push_back(std::move(s));
        } else if (!s.empty() && static_cast<unsigned char>(s[0]) == 0x80) {
          samples.push_back(s.substr(1));
        }
      }
    } catch (const TableError&) {
      samples.clear();
    }
    t.shape.type = inferKeyType(h.expression, t.shape.valueLength(), samples);
    t.def.keyType = t.shape.type;
    t.tree->setFill(fillFor(t.shape.type));
    tags.push_back(std::move(t));
  }
  tags_ = std::move(tags);
  directory_ = std::move(directory);
  store_.clearCache();
}

std::string CdxIndex::encode(int tag, const KeyValue& key) const {
  Tag& t = const_cast<Tag&>(at(tag));
  if (key.type == 'C' || key.type == 'N' || key.type == 'D') {
    if (key.type != t.shape.type) {
      const char oldFill = fillFor(t.shape.type);
      t.shape.type = key.type;
      t.def.keyType = key.type;
      if (fillFor(key.type) != oldFill) {
        t.tree->setFill(fillFor(key.type));
        store_.clearCache();
        ++generation_;
      }
    }
  }
  return encodeKey(t.shape, key, file_.path(), t.def.name);
}

int CdxIndex::compare(int tag, std::string_view a, std::string_view b) const {
  const int c = comparePrefix(a, b);
  return at(tag).def.descending ? -c : c;
}

std::unique_ptr<TagIterator> CdxIndex::iterate(int tag) {
  at(tag);
  return std::make_unique<CdxTagIterator>(*this, tag);
}

void CdxIndex::validateKey(const Tag& t, std::string_view key, std::uint32_t recno) const {
  if (key.size() != static_cast<std::size_t>(t.def.keyLength))
    throwError(ErrorKind::InvalidInput, file_.path(),
               "tag " + t.def.name + ": a key of " + std::to_string(key.size()) +
                   " bytes where the tag stores " + std::to_string(t.def.keyLength));
  if (recno == 0)
    throwError(ErrorKind::InvalidInput, file_.path(), "tag " + t.def.name + ": record number 0");
}

void CdxIndex::insert(Transaction& tx, int tag, std::string_view key, std::uint32_t recno) {
  Tag& t = at(tag);
  validateKey(t, key, recno);
  Store::Scope writing(store_, &tx);
  ++generation_;
  t.tree->insert(key, recno);
}

void CdxIndex::remove(Transaction& tx, int tag, std::string_view key, std::uint32_t recno) {
  Tag& t = at(tag);
  validateKey(t, key, recno);
  Store::Scope writing(store_, &tx);
  ++generation_;
  if (!t.tree->remove(key, recno))
    throwCorrupt(file_.path(), "tag " + t.def.name + " has no entry for record " +
                                   std::to_string(recno) + " under its key");
}

void CdxIndex::clear(Transaction& tx) {
  Store::Scope writing(store_, &tx);
  ++generation_;
  // Everything but the headers and the directory is given up, and each tag restarts with a root
  // as low in the file as it can get (beside its header when that page is free), so the file
  // can be cut short after the last root. The pages left below that form the free list.
  std::set<std::uint64_t> fixed{0, kPageSize};
  std::vector<std::uint32_t> dirPages;
  directory_->collectPages(dirPages);
  fixed.insert(dirPages.begin(), dirPages.end());
  for (const Tag& t : tags_) {
    fixed.insert(t.header);
    fixed.insert(t.header + kPageSize);
  }
  const std::uint64_t size = store_.size() / kPageSize * kPageSize;
  std::set<std::uint64_t> spare;
  for (std::uint64_t off = kHeaderSize; off < size; off += kPageSize)
    if (!fixed.contains(off)) spare.insert(off);

  std::vector<const Tag*> byHeader;
  for (const Tag& t : tags_) byHeader.push_back(&t);
  std::sort(byHeader.begin(), byHeader.end(), [](const Tag* a, const Tag* b) { return a->header < b->header; });
  std::uint64_t end = *fixed.rbegin() + kPageSize;
  for (const Tag* t : byHeader) {
    std::uint64_t root = t->header + kHeaderSize;
    if (!spare.contains(root)) root = spare.empty() ? std::max(end, size) : *spare.begin();
    spare.erase(root);
    t->tree->reset(static_cast<std::uint32_t>(root));
    end = std::max(end, root + kPageSize);
  }
  store_.write32(kHdrFreeList, 0);
  if (store_.size() > end) tx.truncate(file_, end);
  for (auto it = spare.rbegin(); it != spare.rend(); ++it)
    if (*it < end) store_.release(static_cast<std::uint32_t>(*it));
}

void CdxIndex::refresh() {
  ++generation_;
  load();
}

void CdxIndex::checkFreeList(CheckReport& report, std::set<std::uint64_t>& used) {
  const std::uint64_t size = store_.size();
  std::uint64_t off = store_.freeListHead();
  std::set<std::uint64_t> seen;
  while (off != 0) {
    const std::string at = " (free page at offset " + std::to_string(off) + ")";
    if (!plausibleNodeOffset(off) || off + kPageSize > size) {
      report.problems.push_back(file_.path() + ": free list points outside the file" + at);
      return;
    }
    if (!seen.insert(off).second) {
      report.problems.push_back(file_.path() + ": free list loops" + at);
      return;
    }
    if (!used.insert(off).second) {
      report.problems.push_back(file_.path() + ": free page is also in use" + at);
      return;
    }
    Page p;
    store_.read(off, p, "a free page");
    off = get32(p.data());
  }
}

void CdxIndex::check(CheckReport& report) {
  Store::Scope reading(store_, nullptr);
  try {
    std::set<std::uint64_t> used{0, kPageSize};
    directory_->check(report, used);
    for (Tag& t : tags_) {
      if (!used.insert(t.header).second || !used.insert(t.header + kPageSize).second)
        report.problems.push_back(file_.path() + ": tag " + t.def.name +
                                  ": header overlaps another page (at offset " +
                                  std::to_string(t.header) + ")");
    }
    for (Tag& t : tags_) t.tree->check(report, used);
    checkFreeList(report, used);
  } catch (const TableError& e) {
    report.problems.push_back(e.what());
  }
}

std::unique_ptr<IndexFile> openCdx(File& file) { return std::make_unique<CdxIndex>(file); }

void createCdx(File& file, const std::vector<TagSpec>& tags) {
  std::vector<TagSpec> defs = tags;
  std::set<std::string> names;
  for (TagSpec& s : defs) {
    for (char& c : s.name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const bool nameOk =
        !s.name.empty() && s.name.size() <= static_cast<std::size_t>(kDirectoryKeyLength) &&
        !std::isdigit(static_cast<unsigned char>(s.name[0])) &&
        std::all_of(s.name.begin(), s.name.end(), [](char c) {
          return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
        });
    if (!nameOk)
      throwError(ErrorKind::InvalidInput, file.path(), "\"" + s.name + "\" is not a valid tag name");
    if (!names.insert(s.name).second)
      throwError(ErrorKind::InvalidInput, file.path(), "two tags named " + s.name);
    if (s.keyType == 'N' || s.keyType == 'D') {
      if (s.keyLength == 0) s.keyLength = 8;
      if (s.keyLength != 8 && s.keyLength != 4)
        throwError(ErrorKind::InvalidInput, file.path(),
                   "tag " + s.name + ": numeric keys are 8 (or 4) bytes");
    } else if (s.keyType != 'C') {
      throwError(ErrorKind::InvalidInput, file.path(), "tag " + s.name + ": unknown key type");
    }
    if (s.keyLength < 1 || s.keyLength > kMaxKeyLength)
      throwError(ErrorKind::InvalidInput, file.path(),
                 "tag " + s.name + ": key length " + std::to_string(s.keyLength) +
                     " (1 to " + std::to_string(kMaxKeyLength) + ")");
    const bool nul = s.expression.find('\0') != std::string::npos ||
                     s.forExpression.find('\0') != std::string::npos;
    if (s.expression.empty() || nul ||
        s.expression.size() + s.forExpression.size() + 2 > static_cast<std::size_t>(kPoolSize))
      throwError(ErrorKind::InvalidInput, file.path(),
                 "tag " + s.name + ": the expressions must be non-empty and fit 510 bytes");
  }

  file.truncate(0);
  Store store(file);
  Store::Scope direct(store, nullptr, true);

  TagHeader dir;
  dir.root = kHeaderSize;
  dir.keyLength = kDirectoryKeyLength;
  dir.options = kOptCompact | kOptCompound | kOptStructure;
  store.write(0, buildTagHeader(dir));
  Node empty;
  empty.attr = kAttrRoot | kAttrLeaf;
  empty.offset = kHeaderSize;
  empty.keyLength = kDirectoryKeyLength;
  store.put(empty, ' ');

  std::vector<std::pair<std::string, std::uint32_t>> entries;
  for (std::size_t i = 0; i < defs.size(); ++i) {
    const TagSpec& s = defs[i];
    const auto header = static_cast<std::uint32_t>(kHeaderSize + kPageSize + i * (kHeaderSize + kPageSize));
    TagHeader h;
    h.root = header + kHeaderSize;
    h.keyLength = s.keyLength;
    h.options = static_cast<std::uint8_t>(kOptCompact | kOptCompound | (s.unique ? kOptUnique : 0) |
                                          (s.forExpression.empty() ? 0 : kOptFor));
    h.descending = s.descending;
    h.expression = s.expression;
    h.forExpression = s.forExpression;
    store.write(header, buildTagHeader(h));
    empty.offset = h.root;
    empty.keyLength = s.keyLength;
    store.put(empty, fillFor(s.keyType));
    std::string key = s.name;
    key.resize(static_cast<std::size_t>(kDirectoryKeyLength), ' ');
    entries.emplace_back(std::move(key), header);
  }
  Tree directory(store, 0, kDirectoryKeyLength, ' ', kDirectoryName);
  for (const auto& [key, header] : entries) directory.insert(key, header);
  file.sync();
}

}  // namespace rf::tables
