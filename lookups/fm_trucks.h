#pragma once
// The lookup screen `fmTrucks` over the truck codes.

#include "lookups/lookup_screen.h"

namespace rf::lookups {

class TfmTrucks : public Tlookup {
  Q_OBJECT

 public:
  explicit TfmTrucks(data::TdmMain& dm, QWidget* parent = nullptr);
};

}  // namespace rf::lookups
