#include "inventory/photo_page.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QPushButton>
#include <QVBoxLayout>
#include <stdexcept>

#include "controls/command_runner.h"
#include "inventory/db_img_aspct.h"

namespace rf::inventory {

namespace {

constexpr int kColumnWidth = 144;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

QString imageFileFilter() {
  QStringList patterns;
  for (const QByteArray& f : QImageReader::supportedImageFormats()) patterns << QStringLiteral("*.") + QString::fromLatin1(f);
  return QStringLiteral("Pictures (%1);;All files (*)").arg(patterns.join(QLatin1Char(' ')));
}

}  // namespace

PhotoPage::PhotoPage(dataset::DataSource* dsInven, QWidget* parent) : QWidget(parent), dsInven_(dsInven) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);

  // The panel around the picture: a one-pixel bevel, the control inset by it (the frame's own
  // width keeps the layout off the bevel).
  auto* panel = new QFrame(this);
  panel->setObjectName(QStringLiteral("pnlImage"));
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(1);
  auto* inPanel = new QVBoxLayout(panel);
  inPanel->setContentsMargins(0, 0, 0, 0);
  image_ = new TDBImageAsp(panel);
  image_->setObjectName(QStringLiteral("fldImage"));
  image_->setDataSource(dsInven);
  image_->setFieldName(QStringLiteral("I_Photo"));
  inPanel->addWidget(image_);
  row->addWidget(panel, 1);
  connect(image_, &controls::DbImage::failed, this, [this](const QString& m) { controls::showError(this, m); });

  auto* column = new QWidget(this);
  column->setObjectName(QStringLiteral("pnlButtons"));
  column->setFixedWidth(kColumnWidth);
  auto* buttons = new QVBoxLayout(column);
  buttons->setContentsMargins(0, 12, 0, 12);
  buttons->setSpacing(8);
  auto* cut = addButton(column, QStringLiteral("Cu&t"), QStringLiteral("bntCut"));
  auto* copy = addButton(column, QStringLiteral("&Copy"), QStringLiteral("btnCopy"));
  auto* paste = addButton(column, QStringLiteral("&Paste"), QStringLiteral("btnPaste"));
  buttons->addSpacing(16);
  auto* load = addButton(column, QStringLiteral("&Load..."), QStringLiteral("btnLoad"));
  auto* save = addButton(column, QStringLiteral("&Save..."), QStringLiteral("btnSave"));
  buttons->addStretch(1);
  row->addWidget(column);

  connect(cut, &QPushButton::clicked, this, &PhotoPage::bntCutClick);
  connect(copy, &QPushButton::clicked, this, &PhotoPage::btnCopyClick);
  connect(paste, &QPushButton::clicked, this, &PhotoPage::btnPasteClick);
  connect(load, &QPushButton::clicked, this, &PhotoPage::btnLoadClick);
  connect(save, &QPushButton::clicked, this, &PhotoPage::btnSaveClick);
}

QPushButton* PhotoPage::addButton(QWidget* column, const QString& text, const QString& name) {
  auto* b = new QPushButton(text, column);
  b->setObjectName(name);
  b->setFixedSize(kButtonWidth, kButtonHeight);
  // The picture keeps the focus, as it does for the keyboard's cut and paste.
  b->setFocusPolicy(Qt::NoFocus);
  static_cast<QVBoxLayout*>(column->layout())->addWidget(b, 0, Qt::AlignHCenter);
  return b;
}

bool PhotoPage::editRecord() { return dsInven_ && dsInven_->edit(); }

void PhotoPage::bntCutClick() {
  controls::runCommand(this, [this] {
    if (editRecord()) image_->cutToClipboard();
  });
}

void PhotoPage::btnCopyClick() {
  controls::runCommand(this, [this] { image_->copyToClipboard(); });
}

void PhotoPage::btnPasteClick() {
  controls::runCommand(this, [this] {
    if (editRecord()) image_->pasteFromClipboard();
  });
}

bool PhotoPage::loadPhoto(const QString& path) {
  bool changed = false;
  controls::runCommand(this, [&] { changed = image_->loadFile(path); });
  return changed;
}

bool PhotoPage::savePhoto(const QString& path) {
  bool written = false;
  controls::runCommand(this, [&] {
    const QImage photo = image_->picture();
    if (photo.isNull()) throw std::runtime_error("The record has no photo to save");
    const QString suffix = QFileInfo(path).suffix();
    const QByteArray format = suffix.isEmpty() ? QByteArray("BMP") : QByteArray();
    if (!photo.save(path, format.isEmpty() ? nullptr : format.constData()))
      throw std::runtime_error(QStringLiteral("Cannot write the photo to \"%1\"").arg(QFileInfo(path).fileName()).toStdString());
    written = true;
  });
  return written;
}

void PhotoPage::btnLoadClick() {
  const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Load Photo"), QString(), imageFileFilter());
  if (!path.isEmpty()) loadPhoto(path);
}

void PhotoPage::btnSaveClick() {
  if (!image_->hasPicture()) {
    controls::showError(this, QStringLiteral("The record has no photo to save"));
    return;
  }
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Photo"), QStringLiteral("photo.bmp"),
                                                    QStringLiteral("Windows bitmap (*.bmp);;PNG (*.png);;JPEG (*.jpg *.jpeg)"));
  if (!path.isEmpty()) savePhoto(path);
}

}  // namespace rf::inventory
