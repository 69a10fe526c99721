#pragma once
// The date picker: a bound edit box showing and taking dates as "mm/dd/yyyy" (two-digit years
// as date_text.h reads them), with a drop-down button (and Alt+Down or F4) that opens a calendar
// under the box. A day picked in the calendar puts the record into edit state and is written at
// once; typed text is written as in any bound edit box.

#include "controls/db_edit.h"

class QCalendarWidget;
class QAction;

namespace rf::controls {

class DbDateEdit : public DbEdit {
  Q_OBJECT

 public:
  explicit DbDateEdit(QWidget* parent = nullptr);

  // Opens the calendar on the date in the box (today for none); null until first opened.
  void showCalendar();
  QCalendarWidget* calendar() const { return calendar_; }
  QAction* dropDownAction() const { return dropDown_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void picked(const QDate& date);

  QAction* dropDown_;
  QWidget* popup_ = nullptr;
  QCalendarWidget* calendar_ = nullptr;
};

}  // namespace rf::controls
