#pragma once
// The lookup screen `fmIndustry` over the industries of the layout. Three fields of its record
// view have editors of their own: the type and the direction offer their usual values and take
// any typed text, and the city is picked from the towns (the towns screen's own table, so moving
// in the pick list moves that screen's row too). Picking a town fills only the city.

#include "lookups/lookup_screen.h"

namespace rf::controls {
class LookupComboBox;
}

namespace rf::lookups {

class DbComboBox;

class TfmIndustry : public Tlookup {
  Q_OBJECT

 public:
  explicit TfmIndustry(data::TdmMain& dm, QWidget* parent = nullptr);

  DbComboBox* cboIndType() const { return cboIndType_; }
  DbComboBox* wwDBComboBox1() const { return wwDBComboBox1_; }
  controls::LookupComboBox* cboTowns() const { return cboTowns_; }

 private:
  DbComboBox* cboIndType_;
  DbComboBox* wwDBComboBox1_;
  controls::LookupComboBox* cboTowns_;
};

}  // namespace rf::lookups
