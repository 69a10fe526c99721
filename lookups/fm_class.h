#pragma once
// The lookup screen `fmClass` over the classifications.

#include "lookups/lookup_screen.h"

namespace rf::lookups {

class TfmClass : public Tlookup {
  Q_OBJECT

 public:
  explicit TfmClass(data::TdmMain& dm, QWidget* parent = nullptr);
};

}  // namespace rf::lookups
