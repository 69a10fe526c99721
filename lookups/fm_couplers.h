#pragma once
// The lookup screen `fmCouplers` over the coupler codes.

#include "lookups/lookup_screen.h"

namespace rf::lookups {

class TfmCouplers : public Tlookup {
  Q_OBJECT

 public:
  explicit TfmCouplers(data::TdmMain& dm, QWidget* parent = nullptr);
};

}  // namespace rf::lookups
