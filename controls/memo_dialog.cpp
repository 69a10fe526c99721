#include "controls/memo_dialog.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "tables/error.h"

namespace rf::controls {

MemoDialog::MemoDialog(QWidget* parent) : QDialog(parent), editor_(new QPlainTextEdit(this)) {
  setModal(true);
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(editor_);
  layout->addWidget(buttons_);
  editor_->setObjectName(QStringLiteral("memo"));
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void MemoDialog::setWordWrap(bool on) {
  editor_->setLineWrapMode(on ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

bool MemoDialog::wordWrap() const { return editor_->lineWrapMode() != QPlainTextEdit::NoWrap; }

bool MemoDialog::execute() {
  QPointer<dataset::Dataset> ds = source_ ? source_->dataset() : nullptr;
  if (!ds || !ds->isOpen())
    throw tables::TableError(tables::ErrorKind::InvalidInput, {}, "Cannot perform this operation on a closed dataset");
  // Line breaks as in the bound memo box: CR LF in the field, LF in the box.
  QString text = ds->field(fieldName_).asMemo();
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  editor_->setPlainText(text);
  editor_->setFocus();
  if (exec() != QDialog::Accepted) return false;
  QString written = editor_->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  // Looked up again: while the window was open the dataset may have gone, closed or reopened.
  if (!ds || !ds->isOpen())
    throw tables::TableError(tables::ErrorKind::InvalidInput, {}, "Cannot perform this operation on a closed dataset");
  dataset::Field& field = ds->field(fieldName_);
  ds->edit();
  field.setMemo(written);
  return true;
}

}  // namespace rf::controls
