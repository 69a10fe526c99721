#pragma once
// The lookup screen `fmMfgr` over the manufacturers and importers.

#include "lookups/lookup_screen.h"

namespace rf::lookups {

class TfmMfgr : public Tlookup {
  Q_OBJECT

 public:
  explicit TfmMfgr(data::TdmMain& dm, QWidget* parent = nullptr);
};

}  // namespace rf::lookups
