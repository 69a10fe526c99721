// The integrity check of a Paradox table: the .DB's header, block chain and key order, the .PX
// against the blocks, every secondary index against the records, every blob reference against
// the .MB. Reads only; each problem names the file and where.

#include <algorithm>
#include <cstring>

#include "tables/error.h"
#include "tables/file_names.h"
#include "tables/paradox_format.h"
#include "tables/paradox_lock_files.h"
#include "tables/paradox_table.h"

namespace rf::tables::paradox {

namespace {

constexpr std::size_t kMaxProblemsPerPart = 20;

struct ChainBlock {
  std::uint16_t number;
  int count;
  std::vector<std::uint8_t> firstKey;
};

std::string at(const BlockChain& d, std::uint16_t block) {
  return " (block " + std::to_string(block) + ", offset " + std::to_string(d.blockOffset(block)) + ")";
}

// Walks the chain of `store`; fills `blocks` and, when asked, the records with their block.
void walkChain(RecordStore& store, CheckReport& report, std::vector<ChainBlock>& blocks,
               std::vector<std::pair<std::vector<std::uint8_t>, std::uint16_t>>* out) {
  BlockChain& d = store.data();
  const std::string& p = d.path();
  const std::uint16_t rs = d.recordSize();
  std::vector<bool> seen(static_cast<std::size_t>(d.counts.total) + 1, false);
  std::size_t problems = report.problems.size();
  auto problem = [&](const std::string& s) {
    if (report.problems.size() - problems < kMaxProblemsPerPart) report.problems.push_back(p + ": " + s);
  };
  std::uint16_t bn = d.counts.first, prev = 0;
  std::uint64_t records = 0;
  std::vector<std::uint8_t> last;
  while (bn) {
    if (bn > d.counts.total) {
      problem("the block chain leads to block " + std::to_string(bn) + ", past the end of the file");
      break;
    }
    if (seen[bn]) {
      problem("the block chain loops back to block " + std::to_string(bn) + at(d, bn));
      break;
    }
    seen[bn] = true;
    auto b = d.get(BlockIo(), bn);
    if (b->prev() != prev)
      problem("block " + std::to_string(bn) + " names block " + std::to_string(b->prev()) +
              " as the one before it, but follows block " + std::to_string(prev) + at(d, bn));
    long n = b->rawCount(rs);
    if (n < 0 || n > d.capacity()) {
      problem("block " + std::to_string(bn) + " holds an impossible record count" + at(d, bn));
      break;
    }
    if (kBlockHeader + static_cast<std::size_t>(n) * rs > b->available) {
      problem("block " + std::to_string(bn) + " is cut short by the end of the file" + at(d, bn));
      break;
    }
    if (n == 0) problem("block " + std::to_string(bn) + " of the chain is empty" + at(d, bn));
    for (int i = 0; i < n; ++i) {
      const std::uint8_t* r = b->record(i, rs);
      if (store.keyed() && !last.empty() && store.order()->compare(last.data(), r) >= 0)
        problem("record " + std::to_string(i + 1) + " of block " + std::to_string(bn) + " is out of key order" + at(d, bn));
      last.assign(r, r + rs);
      if (out) out->emplace_back(last, bn);
    }
    if (n > 0) blocks.push_back({bn, static_cast<int>(n), std::vector<std::uint8_t>(b->record(0, rs), b->record(0, rs) + rs)});
    records += static_cast<std::uint64_t>(n);
    prev = bn;
    bn = b->next();
  }
  if (prev != d.counts.last)
    problem("the header names block " + std::to_string(d.counts.last) + " as the last, the chain ends at block " +
            std::to_string(prev));
  std::size_t chained = static_cast<std::size_t>(std::count(seen.begin(), seen.end(), true));
  if (chained != d.counts.used)
    problem("the header counts " + std::to_string(d.counts.used) + " blocks in use, the chain has " + std::to_string(chained));
  if (records != d.counts.records)
    problem("the header counts " + std::to_string(d.counts.records) + " records, the blocks hold " + std::to_string(records));
  std::uint16_t f = d.counts.freeHead;
  std::size_t freeBlocks = 0;
  while (f) {
    if (f > d.counts.total || seen[f]) {
      problem("the free block list runs into block " + std::to_string(f) + ", which is in use, looped or past the end");
      break;
    }
    seen[f] = true;
    ++freeBlocks;
    f = d.get(BlockIo(), f)->next();
  }
  if (chained + freeBlocks < d.counts.total)
    problem(std::to_string(d.counts.total - chained - freeBlocks) + " blocks are neither in the chain nor free");
}

// Walks the tree of `store` against the chain's blocks.
void walkTree(RecordStore& store, TreeIndex& tree, const std::vector<ChainBlock>& blocks, CheckReport& report) {
  BlockChain& ix = tree.chain();
  const std::string& p = ix.path();
  const KeyOrder& order = *store.order();
  std::size_t problems = report.problems.size();
  auto problem = [&](const std::string& s) {
    if (report.problems.size() - problems < kMaxProblemsPerPart) report.problems.push_back(p + ": " + s);
  };
  if (tree.empty()) {
    if (!blocks.empty()) problem("the index is empty but the table holds records");
    if (ix.counts.records) problem("the header counts entries in an empty index");
    return;
  }
  std::vector<bool> seen(static_cast<std::size_t>(ix.counts.total) + 1, false);
  std::vector<std::pair<std::vector<std::uint8_t>, std::pair<std::uint16_t, int>>> leaves;
  std::uint64_t entries = 0;
  // Returns the sum of counts below `node`, or -1 when the walk had to stop.
  auto walk = [&](auto&& self, std::uint16_t node, int level, std::vector<std::uint8_t>* firstKey) -> long {
    if (node == 0 || node > ix.counts.total) {
      problem("an entry points at index block " + std::to_string(node) + ", past the end");
      return -1;
    }
    if (seen[node]) {
      problem("index block " + std::to_string(node) + " is reached twice" + at(ix, node));
      return -1;
    }
    seen[node] = true;
    auto b = ix.get(BlockIo(), node);
    long n = b->rawCount(ix.recordSize());
    if (n <= 0 || n > ix.capacity()) {
      problem("index block " + std::to_string(node) + " holds an impossible entry count" + at(ix, node));
      return -1;
    }
    entries += static_cast<std::uint64_t>(n);
    if (firstKey) firstKey->assign(tree.keyAt(*b, 0), tree.keyAt(*b, 0) + tree.keyLength());
    long sum = 0;
    for (int i = 0; i < n; ++i) {
      const std::uint8_t* k = tree.keyAt(*b, i);
      if (i > 0 && order.compare(tree.keyAt(*b, i - 1), k) >= 0)
        problem("entries of index block " + std::to_string(node) + " are out of order" + at(ix, node));
      int count = tree.countAt(*b, i);
      if (level == 1) {
        leaves.push_back({std::vector<std::uint8_t>(k, k + tree.keyLength()), {tree.blockAt(*b, i), count}});
        sum += count;
        continue;
      }
      std::vector<std::uint8_t> childKey;
      long below = self(self, tree.blockAt(*b, i), level - 1, &childKey);
      if (below < 0) return -1;
      if (order.compare(childKey.data(), k) != 0)
        problem("an entry of index block " + std::to_string(node) + " does not hold the first key of block " +
                std::to_string(tree.blockAt(*b, i)));
      if (count != std::min<long>(below, TreeIndex::kMaxCount))
        problem("an entry of index block " + std::to_string(node) + " counts " + std::to_string(count) + ", block " +
                std::to_string(tree.blockAt(*b, i)) + " below it holds " + std::to_string(below));
      sum += below;
    }
    return sum;
  };
  if (walk(walk, tree.root(), tree.levels(), nullptr) < 0) return;
  if (entries != ix.counts.records)
    problem("the header counts " + std::to_string(ix.counts.records) + " entries, the index holds " + std::to_string(entries));
  if (leaves.size() != blocks.size())
    problem("the index names " + std::to_string(leaves.size()) + " data blocks, the table's chain has " +
            std::to_string(blocks.size()));
  for (std::size_t i = 0; i < std::min(leaves.size(), blocks.size()); ++i) {
    const auto& [key, target] = leaves[i];
    const ChainBlock& cb = blocks[i];
    if (target.first != cb.number) {
      problem("entry " + std::to_string(i + 1) + " of the index names block " + std::to_string(target.first) +
              ", the chain has block " + std::to_string(cb.number) + " there");
      break;
    }
    if (order.compare(key.data(), cb.firstKey.data()) != 0)
      problem("the index entry for block " + std::to_string(cb.number) + " does not hold its first key");
    if (target.second != cb.count)
      problem("the index counts " + std::to_string(target.second) + " records in block " + std::to_string(cb.number) +
              ", it holds " + std::to_string(cb.count));
  }
}

}  // namespace

CheckReport ParadoxTable::check() {
  CheckReport report;
  report.problems = openProblems_;
  for (const auto& s : secondaries_)
    if (s->damaged()) report.problems.push_back(s->info().problem);
  for (const auto& b : brokenIndexes_) report.problems.push_back(b.info.problem);
  std::string live = paradoxLockFileInUse(fs_, dir_);
  if (!live.empty())
    report.problems.push_back(joinPath(dir_, live) + ": the classic Paradox engine is using this directory");
  try {
    reloadState(BlockIo());
    ++generation_;
    std::vector<ChainBlock> blocks;
    std::vector<std::pair<std::vector<std::uint8_t>, std::uint16_t>> records;
    walkChain(*store_, report, blocks, &records);
    if (keyed() && pxTree_) {
      RecordStore withTree(*dbChain_, pxTree_.get(), &pkOrder_);
      walkTree(withTree, *pxTree_, blocks, report);
    }

    for (auto& s : secondaries_) {
      if (!s->maintained() || !s->yFile()) continue;
      std::vector<ChainBlock> xBlocks;
      std::vector<std::pair<std::vector<std::uint8_t>, std::uint16_t>> entries;
      walkChain(s->store(), report, xBlocks, &entries);
      walkTree(s->store(), s->tree(), xBlocks, report);
      std::vector<std::vector<std::uint8_t>> expected;
      for (const auto& [rec, block] : records) {
        std::vector<std::uint8_t> e(s->recordSize());
        s->entryOf(rec.data(), block, e.data());
        expected.push_back(std::move(e));
      }
      const KeyOrder& order = s->order();
      std::sort(expected.begin(), expected.end(),
                [&](const auto& a, const auto& b) { return order.compare(a.data(), b.data()) < 0; });
      const std::string& xp = s->xFile().path();
      if (expected.size() != entries.size())
        report.problems.push_back(xp + ": the index holds " + std::to_string(entries.size()) + " entries for " +
                                  std::to_string(expected.size()) + " records");
      std::size_t shown = 0;
      for (std::size_t i = 0; i < std::min(expected.size(), entries.size()) && shown < kMaxProblemsPerPart; ++i) {
        const auto& got = entries[i].first;
        if (order.compare(got.data(), expected[i].data()) != 0) {
          report.problems.push_back(xp + ": entry " + std::to_string(i + 1) + " (block " +
                                    std::to_string(entries[i].second) + ") names no record of the table in its place");
          ++shown;
          break;
        }
        if (s->hintOf(got.data()) != s->hintOf(expected[i].data())) {
          report.problems.push_back(xp + ": entry " + std::to_string(i + 1) + " names table block " +
                                    std::to_string(s->hintOf(got.data())) + ", the record is in block " +
                                    std::to_string(s->hintOf(expected[i].data())));
          ++shown;
        }
      }
      if (s->info().unique)
        for (std::size_t i = 1; i < expected.size(); ++i)
          if (order.compare(expected[i - 1].data(), expected[i].data(), s->secCount()) == 0) {
            report.problems.push_back(xp + ": the unique index holds one value for two records");
            break;
          }
    }

    std::vector<BlobFile::Use> uses;
    std::size_t number = 0;
    for (const auto& [rec, block] : records) {
      ++number;
      for (std::size_t f = 0; f < layouts_.size(); ++f) {
        const FieldLayout& l = layouts_[f];
        if (!isBlobCode(l.code)) continue;
        BlobRef ref = readBlobRef(rec.data() + l.offset, l.length);
        std::string where = path_ + " record " + std::to_string(number) + " (block " + std::to_string(block) + ") field " + fieldNames_[f];
        if (ref.inLeader()) {
          if (ref.length > l.length - kBlobDescriptor)
            report.problems.push_back(path_ + ": " + where + " claims more bytes than its leader holds");
          continue;
        }
        uses.push_back({ref, where});
      }
    }
    if (mb_) mb_->check(uses, report);
    else if (!uses.empty())
      report.problems.push_back((mbPath_.empty() ? path_ : mbPath_) + ": records refer to blobs but the blob file is missing or damaged");
  } catch (const TableError& e) {
    report.problems.push_back(e.what());
  }
  return report;
}

}  // namespace rf::tables::paradox
