#pragma once
// The lookup screen `fmCond` over the condition codes.

#include "lookups/lookup_screen.h"

namespace rf::lookups {

class TfmCond : public Tlookup {
  Q_OBJECT

 public:
  explicit TfmCond(data::TdmMain& dm, QWidget* parent = nullptr);
};

}  // namespace rf::lookups
