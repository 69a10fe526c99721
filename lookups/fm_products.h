#pragma once
// The lookup screen `fmProducts` over the products the waybills carry.

#include "lookups/lookup_screen.h"

namespace rf::lookups {

class TfmProducts : public Tlookup {
  Q_OBJECT

 public:
  explicit TfmProducts(data::TdmMain& dm, QWidget* parent = nullptr);
};

}  // namespace rf::lookups
