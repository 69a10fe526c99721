#include "controls/db_date_edit.h"

#include <QAction>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QStyle>
#include <QVBoxLayout>
#include <exception>

#include "controls/date_text.h"

namespace rf::controls {

DbDateEdit::DbDateEdit(QWidget* parent) : DbEdit(parent) {
  dropDown_ = addAction(style()->standardIcon(QStyle::SP_ArrowDown), QLineEdit::TrailingPosition);
  dropDown_->setObjectName(QStringLiteral("dropDown"));
  connect(dropDown_, &QAction::triggered, this, &DbDateEdit::showCalendar);
}

void DbDateEdit::showCalendar() {
  if (!link().canModify()) return;
  if (!popup_) {
    popup_ = new QWidget(this, Qt::Popup);
    auto* layout = new QVBoxLayout(popup_);
    layout->setContentsMargins(0, 0, 0, 0);
    calendar_ = new QCalendarWidget(popup_);
    calendar_->setObjectName(QStringLiteral("calendar"));
    layout->addWidget(calendar_);
    connect(calendar_, &QCalendarWidget::clicked, this, &DbDateEdit::picked);
    connect(calendar_, &QCalendarWidget::activated, this, &DbDateEdit::picked);
  }
  QDate shown;
  if (!parseDateText(text(), &shown) || !shown.isValid()) shown = QDate::currentDate();
  calendar_->setSelectedDate(shown);
  popup_->adjustSize();
  popup_->move(mapToGlobal(QPoint(0, height())));
  popup_->show();
  calendar_->setFocus();
}

void DbDateEdit::picked(const QDate& date) {
  popup_->hide();
  try {
    if (!link().edit()) return;
    setText(dateText(date));
    link().setModified(true);
    link().updateRecord();
  } catch (const std::exception& e) {
    emit failed(QString::fromUtf8(e.what()));
  }
}

void DbDateEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F4 || (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier))) {
    showCalendar();
    event->accept();
    return;
  }
  DbEdit::keyPressEvent(event);
}

}  // namespace rf::controls
