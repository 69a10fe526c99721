// pxlib-dump [--index TABLE.PX] TABLE.DB
//
// Prints a Paradox table as pxlib reads it, one record a line, fields separated by tabs:
//   blank (all zero bytes) -> <blank>; Alpha and Bytes -> the bytes, with \xHH for bytes outside
//   0x20..0x7E and for '\'; Date, Time, Short, Long, Autoincrement, Logical -> the integer pxlib
//   decodes; Number, Money, Timestamp -> %.17g; BCD -> pxlib's text; blob fields -> <blob> (the
//   record is read raw and decoded field by field, so a blob kept in the .MB is never asked for).
// The first line is "records N fields M". With --index the primary index is read and used to
// find the records, as pxlib does for keyed tables. Any error or warning from pxlib is printed to
// standard error and makes the exit status 2 (it is 1 for bad arguments).
//
// The blob file is never opened: Debian's pxlib 0.6.8 crashes on any .MB file.

extern "C" {
#include <paradox.h>
}

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int problems = 0;

void onError(pxdoc_t*, int type, const char* msg, void*) {
  std::fprintf(stderr, "pxlib %s: %s\n", type == PX_Warning ? "warning" : "error", msg);
  ++problems;
}

std::string escaped(const char* s, int len) {
  std::string out;
  for (int i = 0; i < len; ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c > 0x7E || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const char* indexPath = nullptr;
  const char* tablePath = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--index") == 0 && i + 1 < argc) indexPath = argv[++i];
    else tablePath = argv[i];
  }
  if (!tablePath) {
    std::fprintf(stderr, "usage: pxlib-dump [--index TABLE.PX] TABLE.DB\n");
    return 1;
  }
  PX_boot();
  pxdoc_t* doc = PX_new2(onError, nullptr, nullptr, nullptr);
  if (!doc || PX_open_file(doc, tablePath) < 0) return 2;
  if (indexPath) {
    pxdoc_t* index = PX_new2(onError, nullptr, nullptr, nullptr);
    if (!index || PX_open_file(index, indexPath) < 0 || PX_read_primary_index(index) < 0 ||
        PX_add_primary_index(doc, index) < 0)
      return 2;
  }
  const int records = PX_get_num_records(doc);
  const int fields = PX_get_num_fields(doc);
  const int size = PX_get_recordsize(doc);
  pxfield_t* info = PX_get_fields(doc);
  std::printf("records %d fields %d\n", records, fields);
  std::string data(static_cast<std::size_t>(size), '\0');
  for (int r = 0; r < records; ++r) {
    if (!PX_get_record(doc, r, data.data())) {
      std::fprintf(stderr, "pxlib could not read record %d\n", r);
      return 2;
    }
    std::string line;
    int at = 0;
    for (int f = 0; f < fields; ++f) {
      if (f) line += '\t';
      char* p = data.data() + at;
      const int len = info[f].px_flen;
      at += len;
      const char type = info[f].px_ftype;
      if (type == pxfMemoBLOb || type == pxfBLOb || type == pxfFmtMemoBLOb || type == pxfOLE || type == pxfGraphic) {
        line += "<blob>";
        continue;
      }
      // Blank is all zero bytes in every type (pxlib itself reads a blank Time as -2147483648).
      bool blank = true;
      for (int i = 0; i < len; ++i) blank = blank && p[i] == 0;
      if (blank) {
        line += "<blank>";
        continue;
      }
      char buf[64];
      char* text = nullptr;
      long l = 0;
      short s = 0;
      char b = 0;
      double d = 0;
      switch (type) {
        case pxfAlpha:
          if (PX_get_data_alpha(doc, p, len, &text) > 0) line += escaped(text, static_cast<int>(std::strlen(text)));
          break;
        case pxfBytes:
          if (PX_get_data_bytes(doc, p, len, &text) > 0) line += escaped(text, len);
          break;
        case pxfBCD:
          if (PX_get_data_bcd(doc, reinterpret_cast<unsigned char*>(p), info[f].px_fdc, &text) > 0) line += text;
          break;
        case pxfNumber: case pxfCurrency: case pxfTimestamp:
          PX_get_data_double(doc, p, len, &d);
          std::snprintf(buf, sizeof buf, "%.17g", d);
          line += buf;
          break;
        case pxfShort:
          PX_get_data_short(doc, p, len, &s);
          line += std::to_string(s);
          break;
        case pxfLogical:
          PX_get_data_byte(doc, p, len, &b);
          line += std::to_string(static_cast<int>(b));
          break;
        default:
          PX_get_data_long(doc, p, len, &l);
          line += std::to_string(l);
      }
      if (text) doc->free(doc, text);
    }
    std::printf("%s\n", line.c_str());
  }
  PX_close(doc);
  return problems ? 2 : 0;
}
