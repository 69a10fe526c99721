#include "data/fm_pref.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "controls/command_runner.h"
#include "controls/db_edit.h"
#include "data/data_module.h"

namespace rf::data {

TfmPref::TfmPref(TdmMain& dm, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      dm_(dm) {
  setObjectName(QStringLiteral("fmPref"));
  setWindowTitle(QStringLiteral("Preferences"));
  setFixedSize(297, 325);

  auto* frame = new QFrame(this);
  frame->setObjectName(QStringLiteral("pnlOwner"));
  frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* boxes = new QVBoxLayout(frame);
  boxes->setSpacing(2);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QStringLiteral("OKBtn"));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &TfmPref::OKBtnClick);

  struct Box {
    const char* caption;
    const char* field;
    int width;
  };
  QWidget* previous = ok_;
  for (const Box& b : {Box{"Name:", "NAME", 169}, Box{"Address:", "ADDRESS", 169},
                       Box{"City/State/Zip:", "CITYSTZIP", 169}, Box{"Phone:", "PHONE", 169},
                       Box{"Next Asset No:", "NEXTASSET", 45}}) {
    auto* label = new QLabel(QString::fromLatin1(b.caption), frame);
    auto* edit = new controls::DbEdit(frame);
    edit->setObjectName(QStringLiteral("fld") + QString::fromLatin1(b.field));
    edit->setDataSource(&dm_.dsOptions());
    edit->setFieldName(QString::fromLatin1(b.field));
    edit->setFixedWidth(b.width);
    label->setBuddy(edit);
    edit->installEventFilter(this);
    connect(edit, &controls::DbEdit::failed, this, [this](const QString& m) { controls::showError(this, m); });
    boxes->addWidget(label);
    boxes->addWidget(edit);
    boxes->addSpacing(6);
    setTabOrder(previous, edit);
    previous = edit;
  }
  boxes->addStretch(1);

  auto* column = new QVBoxLayout(this);
  column->addWidget(frame, 1);
  column->addWidget(ok_, 0, Qt::AlignHCenter);
}

void TfmPref::OKBtnClick() {
  controls::runCommand(this, [this] {
    auto& options = dm_.tbOptions();
    // A first record typed into an empty table is saved here too, not only by the next counter.
    if (options.state() == dataset::DatasetState::Edit || options.state() == dataset::DatasetState::Insert)
      options.post();
    accept();
  });
}

bool TfmPref::eventFilter(QObject* watched, QEvent* event) {
  // Enter in a box is the OK button: the save writes the box's text, so a refused text is
  // reported once, by the save.
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      OKBtnClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TfmPref::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  if (!shownBefore_) {
    shownBefore_ = true;
    ok_->setFocus(Qt::OtherFocusReason);
  }
}

}  // namespace rf::data
