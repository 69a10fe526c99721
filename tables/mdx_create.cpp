// A new .MDX with empty tags, laid out as dBASE IV does: the four header pages, then for each tag
// its header block followed by its (empty leaf) root block.

#include <algorithm>
#include <cctype>
#include <chrono>
#include <set>

#include "tables/error.h"
#include "tables/mdx_keys.h"
#include "tables/mdx_layout.h"
#include "tables/schema.h"

namespace rf::tables {

namespace {

using namespace mdx;

constexpr std::uint32_t kBlockBytes = 1024;
constexpr std::uint32_t kPagesPerBlock = kBlockBytes / kPageBytes;

void putDate(std::uint8_t* p) {
  auto today = std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now())};
  p[0] = static_cast<std::uint8_t>(static_cast<int>(today.year()) - 1900);
  p[1] = static_cast<std::uint8_t>(static_cast<unsigned>(today.month()));
  p[2] = static_cast<std::uint8_t>(static_cast<unsigned>(today.day()));
}

int keyLengthOf(const TagSpec& t, const std::string& path) {
  switch (t.keyType) {
    case 'C':
      if (t.keyLength < 1 || t.keyLength > kMaxTextKey)
        throwError(ErrorKind::InvalidInput, path,
                   "tag " + t.name + ": text keys are 1 to " + std::to_string(kMaxTextKey) + " bytes long");
      return t.keyLength;
    case 'N': return kNumericKeyLength;
    case 'D': return kDateKeyLength;
    default:
      throwError(ErrorKind::InvalidInput, path, "tag " + t.name + ": key type must be C, N or D");
  }
}

bool singleField(const std::string& e) {
  if (e.empty() || !(std::isalpha(static_cast<unsigned char>(e[0])) || e[0] == '_')) return false;
  return std::all_of(e.begin(), e.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

void checkSpec(const TagSpec& t, std::set<std::string>& names, const std::string& path) {
  std::string name = upperAscii(t.name);
  if (name.empty() || name.size() > 10 ||
      name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") != std::string::npos)
    throwError(ErrorKind::InvalidInput, path, "tag name '" + t.name + "': 1 to 10 letters, digits or '_'");
  if (!names.insert(name).second) throwError(ErrorKind::InvalidInput, path, "two tags named " + name);
  if (t.expression.empty() || t.expression.size() > static_cast<std::size_t>(kMaxExpression) ||
      t.forExpression.size() > static_cast<std::size_t>(kMaxExpression))
    throwError(ErrorKind::InvalidInput, path,
               "tag " + name + ": expressions are 1 to " + std::to_string(kMaxExpression) + " characters");
}

}  // namespace

void createMdx(File& file, std::string_view tableName, const std::vector<TagSpec>& tags) {
  const std::string& path = file.path();
  if (tags.size() > static_cast<std::size_t>(kMaxTags))
    throwError(ErrorKind::InvalidInput, path, "an MDX holds at most " + std::to_string(kMaxTags) + " tags");
  std::set<std::string> names;
  for (const auto& t : tags) checkSpec(t, names, path);

  std::uint32_t pages = kHeaderPages + static_cast<std::uint32_t>(tags.size()) * 2 * kPagesPerBlock;
  std::vector<std::uint8_t> out(static_cast<std::size_t>(pages) * kPageBytes, 0);
  std::uint8_t* h = out.data();
  h[0] = 2;
  putDate(h + 1);
  std::string table = upperAscii(tableName.substr(0, 16));
  std::memcpy(h + 4, table.data(), table.size());
  put16(h + 20, static_cast<std::uint16_t>(kPagesPerBlock));
  put16(h + 22, static_cast<std::uint16_t>(kBlockBytes));
  h[24] = 1;  // production index
  h[25] = 48;
  h[26] = kTagSlotBytes;
  put16(h + 28, static_cast<std::uint16_t>(tags.size()));
  put32(h + kHdrPages, pages);
  putDate(h + 44);
  h[529] = 1;  // set in every dBASE-written file seen

  for (std::size_t i = 0; i < tags.size(); ++i) {
    const TagSpec& t = tags[i];
    std::string name = upperAscii(t.name);
    int keyLength = keyLengthOf(t, path);
    int itemLength = (keyLength + 4 + 3) / 4 * 4;
    int maxKeys = static_cast<int>((kBlockBytes - 12) / static_cast<std::uint32_t>(itemLength));
    std::uint32_t headerPage = kHeaderPages + static_cast<std::uint32_t>(i) * 2 * kPagesPerBlock;
    std::uint32_t rootPage = headerPage + kPagesPerBlock;

    std::uint8_t* slot = h + kTagTableOffset + i * kTagSlotBytes;
    put32(slot, headerPage);
    std::memcpy(slot + 4, name.data(), name.size());
    slot[15] = 0x10;
    slot[19] = 2;  // as dBASE writes it
    slot[20] = static_cast<std::uint8_t>(t.keyType);

    std::uint8_t* th = out.data() + static_cast<std::size_t>(headerPage) * kPageBytes;
    put32(th + kTagRoot, rootPage);
    put32(th + kTagPages, 2 * kPagesPerBlock);
    th[kTagFormat] = static_cast<std::uint8_t>(kFormatPlain | (t.descending ? kFormatDescending : 0) |
                                               (t.unique ? kFormatUnique : 0));
    th[kTagKeyType] = static_cast<std::uint8_t>(t.keyType);
    put16(th + kTagKeyLength, static_cast<std::uint16_t>(keyLength));
    put16(th + kTagMaxKeys, static_cast<std::uint16_t>(maxKeys));
    put16(th + kTagDateFlag, t.keyType == 'D' ? 1 : 0);
    put16(th + kTagItemLength, static_cast<std::uint16_t>(itemLength));
    th[kTagChangeCount] = 1;
    th[kTagUniqueByte] = t.unique ? kFormatUnique : 0;
    std::memcpy(th + kTagExpression, t.expression.data(), t.expression.size());
    th[kTagForFlag] = t.forExpression.empty() ? 0 : 1;
    th[kTagKeysFlag] = 0;
    put32(th + kTagFirstLeaf, rootPage);
    put32(th + kTagLastLeaf, rootPage);
    putDate(th + kTagCreated);
    th[kTagSingleField] = singleField(t.expression) ? 1 : 0;
    std::memcpy(th + kTagForExpression, t.forExpression.data(), t.forExpression.size());
  }

  // The tag table also threads the tags into a binary tree by name (left, right, parent; slot
  // numbers from 1), in the order they were added.
  for (std::size_t i = 1; i < tags.size(); ++i) {
    std::string name = upperAscii(tags[i].name);
    std::size_t at = 0;
    while (true) {
      std::uint8_t* slot = h + kTagTableOffset + at * kTagSlotBytes;
      std::string other = upperAscii(tags[at].name);
      std::uint8_t* link = slot + (name < other ? 16 : 17);
      if (*link == 0) {
        *link = static_cast<std::uint8_t>(i + 1);
        h[kTagTableOffset + i * kTagSlotBytes + 18] = static_cast<std::uint8_t>(at + 1);
        break;
      }
      at = *link - 1u;
    }
  }
  file.truncate(0);
  file.writeAt(0, out);
}

}  // namespace rf::tables
