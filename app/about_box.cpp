#include "app/about_box.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "pictures/pictures.h"

namespace rf::app {

using pictures::picture;

namespace {

QFrame* sunkenPanel(QWidget* parent) {
  auto* f = new QFrame(parent);
  f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  return f;
}

QLabel* boldLine(const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  QFont f = l->font();
  f.setBold(true);
  l->setFont(f);
  l->setAlignment(Qt::AlignCenter);
  return l;
}

QLabel* signalPicture(QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setPixmap(picture(QStringLiteral("crossing_signal.svg")).pixmap(QSize(40, 40), parent->devicePixelRatioF()));
  l->setFixedSize(40, 40);
  return l;
}

}  // namespace

TFM_ABOUT::TFM_ABOUT(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FM_ABOUT"));
  setWindowTitle(QStringLiteral("Railfolio About"));
  resize(478, 257);

  auto* top = sunkenPanel(this);
  top->setObjectName(QStringLiteral("pnlTitle"));
  auto* topRow = new QHBoxLayout(top);
  topRow->addWidget(signalPicture(top));
  auto* titles = new QVBoxLayout;
  titles->addWidget(boldLine(QStringLiteral("Railfolio [tm] v6.5"), top));
  titles->addWidget(boldLine(QStringLiteral("Made by the Railfolio developers"), top));
  topRow->addLayout(titles, 1);
  topRow->addWidget(signalPicture(top));

  auto* middle = sunkenPanel(this);
  middle->setObjectName(QStringLiteral("pnlContact"));
  middle->setFixedHeight(121);
  auto* lines = new QVBoxLayout(middle);
  for (const char* text : {"Questions, ideas and bug reports are welcome:", "the Railfolio project's issue tracker",
                           "or the model railroad forum where you found us.",
                           "Your collection stays in your own table files."})
    lines->addWidget(boldLine(QString::fromLatin1(text), middle));

  auto* ok = new QPushButton(QStringLiteral("&OK"), this);
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setFixedHeight(33);
  QFont f = ok->font();
  f.setBold(true);
  ok->setFont(f);
  ok->setDefault(true);
  ok->setAutoDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* column = new QVBoxLayout(this);
  column->addWidget(top);
  column->addWidget(middle);
  column->addWidget(ok);
}

}  // namespace rf::app
