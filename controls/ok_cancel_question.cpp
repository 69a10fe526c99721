#include "controls/ok_cancel_question.h"

#include <QApplication>
#include <QMessageBox>

namespace rf::controls {

bool askOkCancel(QWidget* parent, const QString& question) {
  QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), question,
                  QMessageBox::Ok | QMessageBox::Cancel, parent);
  box.setDefaultButton(QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok;
}

}  // namespace rf::controls
