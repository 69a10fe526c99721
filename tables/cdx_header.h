#pragma once
// The 1024-byte header of a CDX tag (the tag directory has one of the same shape at offset 0).
//
// Found in the real files: the expression pool holds the key expression and then the FOR
// expression, each NUL-terminated; 508/510 give the key expression's position and length and
// 504/506 the FOR expression's, both lengths counting the NUL (a tag without a filter still has
// a 1-byte empty FOR expression). The directory's pool is two empty strings.

#include <array>
#include <cstdint>
#include <string>

#include "tables/cdx_format.h"

namespace rf::tables::cdx {

using HeaderBytes = std::array<std::uint8_t, kHeaderSize>;

struct TagHeader {
  std::uint32_t root = kNone;
  int keyLength = 0;
  std::uint8_t options = 0;
  bool descending = false;
  std::string expression;
  std::string forExpression;
};

// Throws Corrupt naming `path` and `offset` for a key length the format cannot have.
TagHeader parseTagHeader(const HeaderBytes& h, std::uint64_t offset, const std::string& path);
// A fresh header; bytes the format leaves to the writer are zero.
HeaderBytes buildTagHeader(const TagHeader& t);

}  // namespace rf::tables::cdx
