#pragma once
// The lookup screen `fmAbbrev` over the railroad reporting marks.

#include "lookups/lookup_screen.h"

namespace rf::lookups {

class TfmAbbrev : public Tlookup {
  Q_OBJECT

 public:
  explicit TfmAbbrev(data::TdmMain& dm, QWidget* parent = nullptr);
};

}  // namespace rf::lookups
