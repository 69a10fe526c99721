#include "tables/cdx_header.h"

#include <cstring>

#include "tables/error.h"

namespace rf::tables::cdx {

namespace {

// The NUL-terminated string at `pos` of the pool (cut at the pool's end).
std::string poolString(const HeaderBytes& h, std::size_t pos) {
  if (pos >= static_cast<std::size_t>(kPoolSize)) return {};
  const auto* start = reinterpret_cast<const char*>(&h[kHdrPool + pos]);
  const std::size_t room = static_cast<std::size_t>(kPoolSize) - pos;
  return std::string(start, strnlen(start, room));
}

}  // namespace

TagHeader parseTagHeader(const HeaderBytes& h, std::uint64_t offset, const std::string& path) {
  TagHeader t;
  t.root = get32(&h[kHdrRoot]);
  t.keyLength = get16(&h[kHdrKeyLength]);
  t.options = h[kHdrOptions];
  t.descending = get16(&h[kHdrDescending]) != 0;
  if (t.keyLength < 1 || t.keyLength > kMaxKeyLength)
    throwCorrupt(path, "tag header with key length " + std::to_string(t.keyLength), offset);

  const std::size_t keyPos = get16(&h[kHdrKeyPos]), keyLen = get16(&h[kHdrKeyLen]);
  const std::size_t forPos = get16(&h[kHdrForPos]), forLen = get16(&h[kHdrForLen]);
  // Writers that leave the positions blank still put the key expression first.
  t.expression = keyLen > 0 && keyPos + keyLen <= static_cast<std::size_t>(kPoolSize) ? poolString(h, keyPos)
                                                                                     : poolString(h, 0);
  if (forLen > 1 && forPos + forLen <= static_cast<std::size_t>(kPoolSize))
    t.forExpression = poolString(h, forPos);
  else if ((t.options & kOptFor) != 0 && forLen == 0)
    t.forExpression = poolString(h, t.expression.size() + 1);
  return t;
}

HeaderBytes buildTagHeader(const TagHeader& t) {
  HeaderBytes h{};
  put32(&h[kHdrRoot], t.root);
  put32(&h[kHdrFreeList], 0);
  put16(&h[kHdrKeyLength], static_cast<std::uint32_t>(t.keyLength));
  h[kHdrOptions] = t.options;
  h[kHdrSignature] = 1;
  put16(&h[kHdrDescending], t.descending ? 1u : 0u);
  const auto keyLen = static_cast<std::uint32_t>(t.expression.size() + 1);
  const auto forLen = static_cast<std::uint32_t>(t.forExpression.size() + 1);
  put16(&h[kHdrKeyPos], 0);
  put16(&h[kHdrKeyLen], keyLen);
  put16(&h[kHdrForPos], keyLen);
  put16(&h[kHdrForLen], forLen);
  std::memcpy(&h[kHdrPool], t.expression.data(), t.expression.size());
  std::memcpy(&h[kHdrPool + keyLen], t.forExpression.data(), t.forExpression.size());
  return h;
}

}  // namespace rf::tables::cdx
