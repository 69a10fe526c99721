#pragma once
// The lookup screen `fmScale` over the scales.

#include "lookups/lookup_screen.h"

namespace rf::lookups {

class TfmScale : public Tlookup {
  Q_OBJECT

 public:
  explicit TfmScale(data::TdmMain& dm, QWidget* parent = nullptr);
};

}  // namespace rf::lookups
