#pragma once
// The lookup screen `fmCat` over the equipment categories, kept in the order they were added (the table has no index).

#include "lookups/lookup_screen.h"

namespace rf::lookups {

class TfmCat : public Tlookup {
  Q_OBJECT

 public:
  explicit TfmCat(data::TdmMain& dm, QWidget* parent = nullptr);
};

}  // namespace rf::lookups
