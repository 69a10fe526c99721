#include "tables/table.h"

namespace rf::tables {

const Value* Record::pendingFor(int field) const {
  for (const auto& p : pending_)
    if (p.field == field) return &p.value;
  return nullptr;
}

void Record::setPending(int field, Value v) {
  for (auto& p : pending_)
    if (p.field == field) {
      p.value = std::move(v);
      return;
    }
  pending_.push_back({field, std::move(v)});
}

}  // namespace rf::tables
