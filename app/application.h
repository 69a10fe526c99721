#pragma once
// The running application: every screen, created once at start-up in the order in which each
// comes after the screens whose tables it binds to, and never re-created. Only the main window is
// shown; the others are shown on demand and hidden when closed.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "tables/engine.h"

namespace rf::data {
class TdmMain;
class TfmPref;
}  // namespace rf::data
namespace rf::dataset {
class Dataset;
}
namespace rf::inventory {
class TfmInvenBrw;
class TfmInvenEdit;
}
namespace rf::lookups {
class Tlookup;
class TfmAbbrev;
class TfmCat;
class TfmClass;
class TfmCond;
class TfmCouplers;
class TfmIndustry;
class TfmMfgr;
class TfmProducts;
class TfmScale;
class TfmShops;
class TfmSloc;
class TfmTowns;
class TfmTrucks;
}  // namespace rf::lookups

namespace rf::app {

class Tmain;
class TFM_ABOUT;
class ClipboardCommands;
class HintRelay;

class Application {
 public:
  // Creates the screens in order; a failure (a table that cannot be opened, an alias that is not
  // defined) leaves as the exception, with nothing shown.
  explicit Application(tables::Engine& engine);
  ~Application();

  Tmain& main() { return *main_; }
  data::TdmMain& dmMain() { return *dmMain_; }
  data::TfmPref& fmPref() { return *fmPref_; }
  inventory::TfmInvenBrw& fmInvenBrw() { return *fmInvenBrw_; }
  inventory::TfmInvenEdit& fmInvenEdit() { return *fmInvenEdit_; }
  TFM_ABOUT& FM_ABOUT() { return *about_; }
  lookups::TfmAbbrev& fmAbbrev() { return *fmAbbrev_; }
  lookups::TfmClass& fmClass() { return *fmClass_; }
  lookups::TfmCond& fmCond() { return *fmCond_; }
  lookups::TfmCat& fmCat() { return *fmCat_; }
  lookups::TfmMfgr& fmMfgr() { return *fmMfgr_; }
  lookups::TfmScale& fmScale() { return *fmScale_; }
  lookups::TfmSloc& fmSloc() { return *fmSloc_; }
  lookups::TfmIndustry& fmIndustry() { return *fmIndustry_; }
  lookups::TfmTowns& fmTowns() { return *fmTowns_; }
  lookups::TfmProducts& fmProducts() { return *fmProducts_; }
  lookups::TfmCouplers& fmCouplers() { return *fmCouplers_; }
  lookups::TfmTrucks& fmTrucks() { return *fmTrucks_; }
  lookups::TfmShops& fmShops() { return *fmShops_; }
  // The thirteen lookup screens, in the order of creation.
  std::vector<lookups::Tlookup*> lookupScreens() const;

  // Every table object of the run, for the question on closing.
  std::vector<dataset::Dataset*> tables() const;

  // Shows a modeless screen, or brings it to the front when it is open.
  static void showModeless(QWidget* screen);

 private:
  void createMain();
  void attachCommands();

  tables::Engine& engine_;
  // Destroyed in the reverse order of creation: screens before the data module they bind to.
  std::unique_ptr<Tmain> main_;
  std::unique_ptr<data::TdmMain> dmMain_;
  std::unique_ptr<data::TfmPref> fmPref_;
  std::unique_ptr<lookups::TfmAbbrev> fmAbbrev_;
  std::unique_ptr<lookups::TfmClass> fmClass_;
  std::unique_ptr<lookups::TfmCond> fmCond_;
  std::unique_ptr<lookups::TfmCat> fmCat_;
  std::unique_ptr<lookups::TfmMfgr> fmMfgr_;
  std::unique_ptr<lookups::TfmScale> fmScale_;
  std::unique_ptr<lookups::TfmSloc> fmSloc_;
  std::unique_ptr<inventory::TfmInvenBrw> fmInvenBrw_;
  std::unique_ptr<inventory::TfmInvenEdit> fmInvenEdit_;
  std::unique_ptr<TFM_ABOUT> about_;
  std::unique_ptr<lookups::TfmIndustry> fmIndustry_;
  std::unique_ptr<lookups::TfmTowns> fmTowns_;
  std::unique_ptr<lookups::TfmProducts> fmProducts_;
  std::unique_ptr<lookups::TfmCouplers> fmCouplers_;
  std::unique_ptr<lookups::TfmTrucks> fmTrucks_;
  std::unique_ptr<lookups::TfmShops> fmShops_;
  ClipboardCommands* clipboard_ = nullptr;
};

// Start-up: the application object's settings, the screens, the main window maximized and the
// event loop. A failure while the screens are created is shown in "Application Error" and ends
// the run (exit code 1).
int runApplication(tables::Engine& engine);

}  // namespace rf::app
