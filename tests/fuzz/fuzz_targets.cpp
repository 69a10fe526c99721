#include "tests/fuzz/fuzz_targets.h"

#include <algorithm>
#include <cstring>

#include "tables/engine.h"
#include "tables/error.h"
#include "tables/memory_file_system.h"

namespace rf::fuzz {

using namespace tables;

namespace {
std::uint32_t le32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24); }

void readAll(Table& t) {
  std::vector<std::string> orders{""};
  for (const auto& ix : t.indexes())
    if (ix.usable) orders.push_back(ix.name);
  for (const auto& order : orders) {
    try {
      auto c = t.openCursor(order);
      int steps = 0;
      for (bool ok = c->first(); ok && steps < 100000; ok = c->next(), ++steps)
        for (std::size_t i = 0; i < t.schema().size(); ++i) {
          try {
            t.get(c->record(), static_cast<int>(i));
          } catch (const TableError&) {
          }
        }
      for (bool ok = c->last(); ok && steps < 200000; ok = c->prior(), ++steps) {
      }
    } catch (const TableError&) {
    }
  }
}
}  // namespace

void fuzzXbase(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return;
  bool fox = data[0] & 1;
  std::size_t dbfLen = le32(data + 1), memoLen = le32(data + 5);
  std::size_t rest = size - 9;
  if (dbfLen > rest) dbfLen = rest;
  if (memoLen > rest - dbfLen) memoLen = rest - dbfLen;
  const std::uint8_t* p = data + 9;
  MemoryFileSystem fs;
  fs.put("/f/t.dbf", {p, p + dbfLen});
  fs.put(fox ? "/f/t.fpt" : "/f/t.dbt", {p + dbfLen, p + dbfLen + memoLen});
  if (rest - dbfLen - memoLen > 0) fs.put(fox ? "/f/t.cdx" : "/f/t.mdx", {p + dbfLen + memoLen, p + rest});
  try {
    auto t = openXbaseTable(fs, "/f/t.dbf", fox ? Format::FoxPro : Format::Dbase, OpenOptions{true, false, {}});
    t->info();
    readAll(*t);
    t->check();
  } catch (const TableError&) {
  }
}

void fuzzParadox(const std::uint8_t* data, std::size_t size) {
  if (size < 12) return;
  std::size_t rest = size - 12;
  std::size_t len[3];
  for (int i = 0; i < 3; ++i) {
    len[i] = std::min<std::size_t>(le32(data + 4 * i), rest);
    rest -= len[i];
  }
  const std::uint8_t* p = data + 12;
  MemoryFileSystem fs;
  const char* names[4] = {"/f/T.DB", "/f/T.PX", "/f/T.MB", "/f/T.X02"};
  for (int i = 0; i < 4; ++i) {
    std::size_t n = i < 3 ? len[i] : rest;
    if (i == 0 || n > 0) fs.put(names[i], {p, p + n});
    p += n;
  }
  try {
    auto t = openParadoxTable(fs, "/f/T.DB", OpenOptions{true, false, {}});
    t->info();
    readAll(*t);
    t->check();
  } catch (const TableError&) {
  }
}

std::vector<std::uint8_t> packParadox(const std::vector<std::uint8_t>& db, const std::vector<std::uint8_t>& px,
                                      const std::vector<std::uint8_t>& mb, const std::vector<std::uint8_t>& x02) {
  std::vector<std::uint8_t> out(12);
  std::size_t lens[3] = {db.size(), px.size(), mb.size()};
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 4; ++i) out[static_cast<std::size_t>(4 * k + i)] = static_cast<std::uint8_t>(lens[k] >> (8 * i));
  for (const auto* part : {&db, &px, &mb, &x02}) out.insert(out.end(), part->begin(), part->end());
  return out;
}

std::vector<std::uint8_t> packXbase(bool foxpro, const std::vector<std::uint8_t>& dbf,
                                    const std::vector<std::uint8_t>& memo, const std::vector<std::uint8_t>& index) {
  std::vector<std::uint8_t> out(9);
  out[0] = foxpro ? 1 : 0;
  auto put = [&](std::size_t at, std::size_t v) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put(1, dbf.size());
  put(5, memo.size());
  out.insert(out.end(), dbf.begin(), dbf.end());
  out.insert(out.end(), memo.begin(), memo.end());
  out.insert(out.end(), index.begin(), index.end());
  return out;
}

}  // namespace rf::fuzz
