#pragma once
// The lookup screen `fmTowns` over the towns of the layout, which the industries pick their city from.

#include "lookups/lookup_screen.h"

namespace rf::lookups {

class TfmTowns : public Tlookup {
  Q_OBJECT

 public:
  explicit TfmTowns(data::TdmMain& dm, QWidget* parent = nullptr);
};

}  // namespace rf::lookups
