#include "app/application.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>

#include "app/about_box.h"
#include "app/bulk_delete.h"
#include "app/clipboard_commands.h"
#include "app/help.h"
#include "app/main_window.h"
#include "app/pending_changes.h"
#include "controls/command_runner.h"
#include "controls/hint_tracker.h"
#include "data/data_module.h"
#include "data/fm_pref.h"
#include "inventory/fm_inven_brw.h"
#include "inventory/fm_inven_edit.h"
#include "lookups/fm_abbrev.h"
#include "lookups/fm_cat.h"
#include "lookups/fm_class.h"
#include "lookups/fm_cond.h"
#include "lookups/fm_couplers.h"
#include "lookups/fm_industry.h"
#include "lookups/fm_mfgr.h"
#include "lookups/fm_products.h"
#include "lookups/fm_scale.h"
#include "lookups/fm_shops.h"
#include "lookups/fm_sloc.h"
#include "lookups/fm_towns.h"
#include "lookups/fm_trucks.h"

namespace rf::app {

void Application::showModeless(QWidget* screen) {
  screen->show();
  if (screen->isMinimized()) screen->showNormal();
  screen->raise();
  screen->activateWindow();
}

Application::Application(tables::Engine& engine) : engine_(engine) {
  // The order of creation: each screen after those whose tables or data sources it binds to.
  main_ = std::make_unique<Tmain>();
  dmMain_ = std::make_unique<data::TdmMain>(engine_);
  fmPref_ = std::make_unique<data::TfmPref>(*dmMain_);
  fmAbbrev_ = std::make_unique<lookups::TfmAbbrev>(*dmMain_);
  fmClass_ = std::make_unique<lookups::TfmClass>(*dmMain_);
  fmCond_ = std::make_unique<lookups::TfmCond>(*dmMain_);
  fmCat_ = std::make_unique<lookups::TfmCat>(*dmMain_);
  fmMfgr_ = std::make_unique<lookups::TfmMfgr>(*dmMain_);
  fmScale_ = std::make_unique<lookups::TfmScale>(*dmMain_);
  fmSloc_ = std::make_unique<lookups::TfmSloc>(*dmMain_);
  fmInvenBrw_ = std::make_unique<inventory::TfmInvenBrw>(*dmMain_);
  fmInvenEdit_ = std::make_unique<inventory::TfmInvenEdit>(*fmInvenBrw_, *dmMain_);
  about_ = std::make_unique<TFM_ABOUT>(main_.get());
  fmIndustry_ = std::make_unique<lookups::TfmIndustry>(*dmMain_);
  fmTowns_ = std::make_unique<lookups::TfmTowns>(*dmMain_);
  fmProducts_ = std::make_unique<lookups::TfmProducts>(*dmMain_);
  fmCouplers_ = std::make_unique<lookups::TfmCouplers>(*dmMain_);
  fmTrucks_ = std::make_unique<lookups::TfmTrucks>(*dmMain_);
  // The report holder comes before the hobby shops once the reports exist.
  fmShops_ = std::make_unique<lookups::TfmShops>(*dmMain_);
  attachCommands();
}

Application::~Application() = default;

std::vector<lookups::Tlookup*> Application::lookupScreens() const {
  return {fmAbbrev_.get(),   fmClass_.get(),    fmCond_.get(),     fmCat_.get(),      fmMfgr_.get(),
          fmScale_.get(),    fmSloc_.get(),     fmIndustry_.get(), fmTowns_.get(),    fmProducts_.get(),
          fmCouplers_.get(), fmTrucks_.get(),   fmShops_.get()};
}

std::vector<dataset::Dataset*> Application::tables() const {
  std::vector<dataset::Dataset*> all = dmMain_->tables();
  all.push_back(&fmInvenBrw_->tbInven());
  all.push_back(&fmInvenBrw_->tbWaybill());
  return all;
}

void Application::attachCommands() {
  Tmain& m = *main_;
  QMenu* file = m.fileMenu();
  auto showBrowse = [this] { showModeless(fmInvenBrw_.get()); };
  m.addCommand(file, m.fileAnchor(QStringLiteral("sepLookups")), QStringLiteral("ModelRailroadInventory1"),
               QStringLiteral("Model Railroad Inventory"), QStringLiteral("open_folder.svg"), {}, showBrowse);
  m.setToolCommand(QStringLiteral("tbInvenBrw"), showBrowse);
  // The browse screen's edit-screen button and its grid's double-click show the edit screen, whose
  // lookup buttons show the lookup screens by name.
  QObject::connect(fmInvenBrw_.get(), &inventory::TfmInvenBrw::editScreenRequested, fmInvenEdit_.get(),
                   [this] { controls::runCommand(fmInvenBrw_.get(), [this] { showModeless(fmInvenEdit_.get()); }); });
  fmInvenEdit_->setShowScreen([this](const QString& name) {
    for (QWidget* screen : lookupScreens())
      if (screen->objectName() == name) showModeless(screen);
  });
  // The lookup screens' items, in the menu's order (not the order of creation).
  struct LookupItem {
    const char* name;
    const char* caption;
    QWidget* screen;
    bool picture;
  };
  const LookupItem lookupItems[] = {
      {"Abb1", "Railroad Abbrevation Lookup", fmAbbrev_.get(), true},
      {"cat1", "Category Lookup Table", fmCat_.get(), true},
      {"CouplerLookupTable1", "Coupler Lookup Table", fmCouplers_.get(), true},
      {"class1", "Class Lookup Table", fmClass_.get(), true},
      {"cond1", "Condition Lookup Table", fmCond_.get(), true},
      {"mfgr1", "Manufacturer Lookup Table", fmMfgr_.get(), true},
      {"scale1", "Scale Lookup Table", fmScale_.get(), true},
      {"StorageLocationLookupTable1", "Storage Location Lookup Table", fmSloc_.get(), true},
      {"TruckLookuptable1", "Truck Lookup table", fmTrucks_.get(), true},
      {"HobbyShops1", "Hobby Shops", fmShops_.get(), false},
  };
  for (const LookupItem& item : lookupItems) {
    QWidget* screen = item.screen;
    m.addCommand(file, m.fileAnchor(QStringLiteral("sepPreferences")), QString::fromLatin1(item.name),
                 QString::fromLatin1(item.caption), item.picture ? QStringLiteral("open_folder.svg") : QString(), {},
                 [screen] { showModeless(screen); });
  }
  m.addCommand(file, m.fileAnchor(QStringLiteral("sepDelete")), QStringLiteral("Prefrences1"),
               QStringLiteral("&Preferences"), QStringLiteral("open_folder.svg"), {}, [this] { fmPref_->exec(); });
  m.addCommand(file, m.fileAnchor(QStringLiteral("sepExit")), QStringLiteral("DeleteRecords1"),
               QStringLiteral("Delete Records"), {}, {},
               [this] { DeleteRecords1Click(main_.get(), *fmInvenBrw_); });

  clipboard_ = new ClipboardCommands(m.editMenu(), main_.get());

  QMenu* help = m.helpMenu();
  m.addCommand(help, nullptr, QStringLiteral("Contents1"), QStringLiteral("&Contents"),
               QStringLiteral("help_contents.svg"), {}, showHelpContents);
  help->addSeparator();
  m.addCommand(help, nullptr, QStringLiteral("HelpAboutItem"), QStringLiteral("&About..."), {},
               QStringLiteral("About|Displays program information, version number, and copyright"),
               [this] { about_->exec(); });
  m.setToolCommand(QStringLiteral("tbHelp"), showHelpContents);

  // The report menu's items and the report manager's button arrive with the reports.
  m.reportsMenu()->menuAction()->setVisible(!m.reportsMenu()->isEmpty());

  m.canClose = [this] { return resolvePendingChanges(main_.get(), tables()); };
}

int runApplication(tables::Engine& engine) {
  helpFileName().clear();
  QApplication::setApplicationName(QStringLiteral("Railfolio"));
  QApplication::setApplicationDisplayName(QStringLiteral("Railfolio"));
  std::unique_ptr<Application> app;
  try {
    app = std::make_unique<Application>(engine);
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QStringLiteral("Application Error"), QString::fromUtf8(e.what()));
    return 1;
  }
  controls::HintTracker hints;
  QObject::connect(&hints, &controls::HintTracker::hintChanged, &app->main(), &Tmain::showHint);
  // Without a window manager (a bare X server) maximizing does nothing: the window is given the
  // work area itself first.
  if (QScreen* screen = QGuiApplication::primaryScreen()) app->main().setGeometry(screen->availableGeometry());
  app->main().showMaximized();
  // The run ends when the main window closes, whatever other screens are open.
  QApplication::setQuitOnLastWindowClosed(false);
  QObject::connect(&app->main(), &Tmain::closed, qApp, &QApplication::quit, Qt::QueuedConnection);
  return QApplication::exec();
}

}  // namespace rf::app
