#pragma once
// Text in table files is stored in the table's code page; the engine speaks UTF-8. This is the
// one place that converts, and the one that knows the xBase language driver ids and the Paradox
// code page numbers.

#include <cstdint>
#include <string>
#include <string_view>

namespace rf::tables {

class CodePage {
 public:
  // A Windows/DOS code page number (437, 850, 1252, ...). Unknown numbers throw Unsupported.
  explicit CodePage(int number);
  int number() const { return number_; }

  // File bytes to UTF-8. Every byte of a single-byte code page maps to some character.
  std::string toUtf8(std::string_view bytes) const;
  // UTF-8 to file bytes. Throws InvalidInput naming the first character the code page cannot
  // hold (and for malformed UTF-8). `what` names the field for the message.
  std::string fromUtf8(std::string_view utf8, std::string_view what = {}) const;
  // Upper case of file bytes, in this code page (the xBase UPPER() of index keys).
  std::string upper(std::string_view bytes) const;
  // Number of characters of `utf8` that fit in `width` bytes of this code page.
  std::size_t fitChars(std::string_view utf8, std::size_t width) const;

  static bool isSupported(int number);

 private:
  int number_;
  char32_t high_[128];  // characters of bytes 0x80-0xFF
};

// xBase language driver id (DBF header byte 29) to code page; 0 for an unknown id.
int codePageOfLanguageDriver(std::uint8_t id);
// The language driver id a new table of `codePage` gets.
std::uint8_t languageDriverOfCodePage(int codePage, bool foxpro);

}  // namespace rf::tables
