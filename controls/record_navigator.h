#pragma once
// The strip of buttons over one data source that moves through, edits and saves its records.
// Which buttons, in which order, is the screen's choice; each is enabled or greyed by the
// dataset's state. Filter and Close only announce the click: what they do is the screen's.
// A refusal of the dataset ends the command and is announced by failed() with the engine's
// message (the application shows it in its error box); the dataset stays as it was.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "controls/navigator_button.h"
#include "controls/ok_cancel_question.h"
#include "dataset/data_source.h"

class QHBoxLayout;
class QToolButton;

namespace rf::controls {

class RecordNavigator : public QWidget {
  Q_OBJECT

 public:
  // Asks `question` with OK and Cancel; true for OK.
  using Confirm = std::function<bool(QWidget* parent, const QString& question)>;

  static constexpr int kRepeatDelayMs = 500;
  static constexpr int kRepeatIntervalMs = 100;
  static inline const QString& kDeleteQuestion = controls::kDeleteQuestion;

  explicit RecordNavigator(QWidget* parent = nullptr);

  dataset::DataSource* dataSource() const { return source_; }
  void setDataSource(dataset::DataSource* source);
  // Every button, in the fixed order, until set.
  void setButtons(const std::vector<NavButton>& buttons);
  const std::vector<NavButton>& buttons() const { return order_; }
  // Null when the button is not shown.
  QToolButton* button(NavButton b) const;
  // A button of the screen's own (always enabled), placed before `before` or, when that is not
  // shown, at the end; the screen connects its clicked(). Add them after setButtons.
  QToolButton* addCustomButton(const QString& objectName, const QIcon& icon, const QString& hint,
                               std::optional<NavButton> before = {});
  // Tooltips are off by default (the hint still goes to the status line through the status tip).
  void setShowHints(bool on);
  bool showHints() const { return showHints_; }
  // The Delete question; a message box until replaced (tests answer it themselves).
  void setConfirm(Confirm confirm) { confirm_ = std::move(confirm); }

  // What a click on the button does, shown or not.
  void perform(NavButton b);
  // Greys what the dataset's state does not allow.
  void updateButtons();

 signals:
  void clicked(rf::controls::NavButton button);
  void filterRequested();
  void closeRequested();
  void failed(const QString& message);

 private:
  bool allowed(NavButton b) const;
  void run(NavButton b);

  QPointer<dataset::DataSource> source_;
  std::vector<QMetaObject::Connection> connections_;
  std::vector<NavButton> order_;
  std::map<NavButton, QToolButton*> shown_;
  QHBoxLayout* layout_;
  bool showHints_ = false;
  Confirm confirm_;
  tables::Bookmark saved_;
};

}  // namespace rf::controls
