#include "tables/memo_spans.h"

#include <algorithm>

namespace rf::tables {

void reportMemoOverlaps(std::vector<MemoSpan>& spans, std::uint32_t blockSize,
                        const std::function<void(const std::string&, std::uint64_t)>& problem) {
  std::sort(spans.begin(), spans.end(), [](const MemoSpan& a, const MemoSpan& b) { return a.first < b.first; });
  std::uint64_t reach = 0;  // the furthest end of the memos before this one
  std::uint64_t reachFrom = 0;
  for (const MemoSpan& s : spans) {
    if (s.first == reachFrom)
      problem("memo block " + std::to_string(s.first) + " is used by two values", s.first * blockSize);
    else if (s.first < reach)
      problem("memos at blocks " + std::to_string(reachFrom) + " and " + std::to_string(s.first) + " overlap",
              s.first * blockSize);
    if (s.end > reach) {
      reach = s.end;
      reachFrom = s.first;
    }
  }
}

}  // namespace rf::tables
