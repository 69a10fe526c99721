// The normal test run replays the fuzz corpus: seeds built from real files (whole and cut
// short, with bytes flipped), and every finding kept under tests/fuzz/corpus.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "tests/fuzz/fuzz_targets.h"
#include "tests/support/test_support.h"

namespace {

struct Seed {
  bool fox;
  const char* dbf;
  const char* memo;
  const char* index;
};

const Seed kSeeds[] = {
    {false, "dbase/jdbfdriver/TEST.DBF", nullptr, "dbase/jdbfdriver/TEST.MDX"},
    {false, "dbase/dbd-xbase/test.dbf", "dbase/dbd-xbase/test.dbt", nullptr},
    {false, "dbase/infused-dbf/dbase_8b.dbf", "dbase/infused-dbf/dbase_8b.dbt", nullptr},
    {false, "dbase/siemens-s7/YDBs/15940/SYMLIST.DBF", nullptr, "dbase/siemens-s7/YDBs/15940/SYMLIST.MDX"},
    {true, "foxpro/dbd-xbase/rooms.dbf", nullptr, "foxpro/dbd-xbase/rooms.cdx"},
    {true, "foxpro/javadbf-xsource/payments.dbf", nullptr, "foxpro/javadbf-xsource/payments.cdx"},
    {true, "foxpro/infused-dbf/dbase_30.dbf", "foxpro/infused-dbf/dbase_30.fpt", nullptr},
};

std::vector<std::uint8_t> load(const char* rel) {
  return rel ? rf::test::readFileBytes(rf::test::fixturePath(rel)) : std::vector<std::uint8_t>{};
}

}  // namespace

TEST(FuzzReplay, SeedsAndTheirMutations) {
  std::mt19937 rng(7);
  for (const auto& s : kSeeds) {
    SCOPED_TRACE(s.dbf);
    auto dbf = load(s.dbf), memo = load(s.memo), index = load(s.index);
    rf::fuzz::fuzzXbase(rf::fuzz::packXbase(s.fox, dbf, memo, index).data(), rf::fuzz::packXbase(s.fox, dbf, memo, index).size());
    for (int round = 0; round < 150; ++round) {
      auto d = dbf, m = memo, x = index;
      auto& victim = round % 3 == 0 ? d : round % 3 == 1 ? (m.empty() ? d : m) : (x.empty() ? d : x);
      if (victim.empty()) continue;
      int flips = 1 + static_cast<int>(rng() % 8);
      for (int k = 0; k < flips; ++k) victim[rng() % victim.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
      if (round % 5 == 0) victim.resize(rng() % victim.size());
      auto input = rf::fuzz::packXbase(s.fox, d, m, x);
      rf::fuzz::fuzzXbase(input.data(), input.size());
    }
  }
}

TEST(FuzzReplay, ParadoxSeedsAndTheirMutations) {
  struct ParadoxSeed {
    const char *db, *px, *mb, *x;
  };
  const ParadoxSeed seeds[] = {
      {"paradox/paradoxdriver/db/CUSTOMER.DB", "paradox/paradoxdriver/db/CUSTOMER.PX", "paradox/paradoxdriver/db/CUSTOMER.MB", nullptr},
      {"paradox/paradoxdriver/fields/memo.db", "paradox/paradoxdriver/fields/memo.px", "paradox/paradoxdriver/fields/memo.mb", nullptr},
      {"paradox/paradoxdriver/joins/C.DB", "paradox/paradoxdriver/joins/C.PX", nullptr, "paradox/paradoxdriver/joins/C.X02"},
      {"paradox/paradoxdriver/fields/bcd.db", nullptr, nullptr, nullptr},
      {"paradox/paradoxreader-pcldata/SYMBOLS.DB", nullptr, nullptr, nullptr},
  };
  std::mt19937 rng(11);
  for (const auto& s : seeds) {
    SCOPED_TRACE(s.db);
    auto db = load(s.db), px = load(s.px), mb = load(s.mb), x = load(s.x);
    auto whole = rf::fuzz::packParadox(db, px, mb, x);
    rf::fuzz::fuzzParadox(whole.data(), whole.size());
    for (int round = 0; round < 120; ++round) {
      auto d = db, p = px, m = mb, xx = x;
      std::vector<std::uint8_t>* parts[] = {&d, &p, &m, &xx};
      auto& victim = parts[round % 4]->empty() ? d : *parts[round % 4];
      int flips = 1 + static_cast<int>(rng() % 8);
      for (int k = 0; k < flips; ++k) victim[rng() % victim.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
      if (round % 5 == 0) victim.resize(rng() % victim.size());
      auto input = rf::fuzz::packParadox(d, p, m, xx);
      rf::fuzz::fuzzParadox(input.data(), input.size());
    }
  }
}

TEST(FuzzReplay, KeptFindings) {
  std::filesystem::path dir = std::string(RF_SOURCE_DIR) + "/tests/fuzz/corpus";
  int replayed = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
    if (!e.is_regular_file() || e.path().filename() == "README") continue;
    SCOPED_TRACE(e.path().string());
    auto bytes = rf::test::readFileBytes(e.path().string());
    if (e.path().parent_path().filename() == "paradox") rf::fuzz::fuzzParadox(bytes.data(), bytes.size());
    else rf::fuzz::fuzzXbase(bytes.data(), bytes.size());
    ++replayed;
  }
  RecordProperty("replayed", replayed);
}
