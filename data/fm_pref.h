#pragma once
// The Preferences screen `fmPref`: the owner's name, address and phone and the asset counter, on
// the options record of the data module. OK saves what was changed; the close box saves nothing
// and leaves the changes pending, to be saved by the next OK or the next counter operation.

#include <QDialog>

class QPushButton;

namespace rf::controls {
class DbEdit;
}

namespace rf::data {

class TdmMain;

class TfmPref : public QDialog {
  Q_OBJECT

 public:
  explicit TfmPref(TdmMain& dm, QWidget* parent = nullptr);

  QPushButton* okButton() const { return ok_; }

 public slots:
  // Saves a pending change of the options record (also a first record typed into an empty
  // table), then closes. A refused save keeps the screen open with the change pending.
  void OKBtnClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  TdmMain& dm_;
  QPushButton* ok_;
  bool shownBefore_ = false;
};

}  // namespace rf::data
