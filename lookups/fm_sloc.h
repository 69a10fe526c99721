#pragma once
// The lookup screen `fmSloc` over the storage locations.

#include "lookups/lookup_screen.h"

namespace rf::lookups {

class TfmSloc : public Tlookup {
  Q_OBJECT

 public:
  explicit TfmSloc(data::TdmMain& dm, QWidget* parent = nullptr);
};

}  // namespace rf::lookups
