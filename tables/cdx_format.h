#pragma once
// Layout constants of the FoxPro / Visual FoxPro compound index (.CDX) and the byte helpers the
// CDX code shares. Every pointer in the file is a byte offset; kNone marks "no page".

#include <cstdint>
#include <cstring>

namespace rf::tables::cdx {

inline constexpr std::uint32_t kPageSize = 512;
inline constexpr std::uint32_t kHeaderSize = 1024;  // a tag header (and the directory's) spans two pages
inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;

inline constexpr int kLeafHeaderSize = 24;
inline constexpr int kLeafSpace = static_cast<int>(kPageSize) - kLeafHeaderSize;          // 488
inline constexpr int kInteriorHeaderSize = 12;
inline constexpr int kInteriorSpace = static_cast<int>(kPageSize) - kInteriorHeaderSize;  // 500
inline constexpr int kMaxKeyLength = 240;
inline constexpr int kDirectoryKeyLength = 10;

// Node attribute bits. Visual FoxPro also sets 0x04 on some root leaves; its meaning is not
// known, so a page we rewrite in place keeps whatever bits it had beyond these two.
inline constexpr std::uint16_t kAttrRoot = 0x01;
inline constexpr std::uint16_t kAttrLeaf = 0x02;

// Tag header option bits (byte 14). 0x02 was found by experiment: it is set exactly on the tags
// whose keys carry a leading null-marker byte (key length = field width + 1).
inline constexpr std::uint8_t kOptUnique = 0x01;
inline constexpr std::uint8_t kOptNullable = 0x02;
inline constexpr std::uint8_t kOptCandidate = 0x04;
inline constexpr std::uint8_t kOptFor = 0x08;
inline constexpr std::uint8_t kOptCompact = 0x20;
inline constexpr std::uint8_t kOptCompound = 0x40;
inline constexpr std::uint8_t kOptStructure = 0x80;

// Tag header offsets.
inline constexpr int kHdrRoot = 0;
inline constexpr int kHdrFreeList = 4;
inline constexpr int kHdrKeyLength = 12;
inline constexpr int kHdrOptions = 14;
inline constexpr int kHdrSignature = 15;
inline constexpr int kHdrDescending = 502;
inline constexpr int kHdrForPos = 504;
inline constexpr int kHdrForLen = 506;
inline constexpr int kHdrKeyPos = 508;
inline constexpr int kHdrKeyLen = 510;
inline constexpr int kHdrPool = 512;
inline constexpr int kPoolSize = 512;

inline std::uint16_t get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint32_t get32be(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}
inline void put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void put32be(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// Nodes sit on 512-byte boundaries after the directory header.
inline bool plausibleNodeOffset(std::uint64_t off) {
  return off != kNone && off >= kHeaderSize && off % kPageSize == 0;
}

}  // namespace rf::tables::cdx
