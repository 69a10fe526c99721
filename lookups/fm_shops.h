#pragma once
// The lookup screen `fmShops` over the hobby shops, its fields side by side above a grid docked to the bottom.

#include "lookups/lookup_screen.h"

namespace rf::lookups {

class TfmShops : public Tlookup {
  Q_OBJECT

 public:
  explicit TfmShops(data::TdmMain& dm, QWidget* parent = nullptr);
};

}  // namespace rf::lookups
