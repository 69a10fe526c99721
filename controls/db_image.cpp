#include "controls/db_image.h"

#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>
#include <exception>
#include <stdexcept>

namespace rf::controls {

namespace {

const QEvent::Type kLoadEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// The first local file of a drop that Qt can read an image from.
QString droppedImageFile(const QMimeData* mime) {
  if (!mime || !mime->hasUrls()) return {};
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    if (!QImageReader::imageFormat(path).isEmpty()) return path;
  }
  return {};
}

}  // namespace

DbImage::DbImage(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(2);
  setFocusPolicy(Qt::StrongFocus);
  setAcceptDrops(true);
  link_.setWriter([this](dataset::Field& f) {
    // The field's own notification must not make the control read back what it just wrote.
    writing_ = true;
    try {
      if (picture_.isNull()) {
        f.clear();
        loadedBytes_.clear();
      } else {
        QByteArray bytes = encode(picture_);
        f.setBytes(bytes);
        loadedBytes_ = bytes;
      }
    } catch (...) {
      writing_ = false;
      throw;
    }
    writing_ = false;
  });
  connect(&link_, &FieldLink::refresh, this, &DbImage::stale);
}

void DbImage::stale() {
  if (writing_) return;
  stale_ = true;
  if (isVisible() && !loadPosted_) {
    loadPosted_ = true;
    QCoreApplication::postEvent(this, new QEvent(kLoadEvent));
  }
  update();
}

void DbImage::ensureLoaded() const {
  if (!stale_) return;
  stale_ = false;
  dataset::Field* f = link_.field();
  if (!f || !f->hasValue()) {
    picture_ = QImage();
    loadedBytes_.clear();
    scaled_ = QImage();
    return;
  }
  QByteArray bytes = f->asBytes();
  ++reads_;
  if (!loadedBytes_.isEmpty() && bytes == loadedBytes_) return;  // the same picture, already decoded (or refused)
  loadedBytes_ = bytes;
  scaled_ = QImage();
  try {
    picture_ = decode(bytes);
  } catch (const std::exception& e) {
    picture_ = QImage();
    loadError_ = QString::fromUtf8(e.what());
  }
}

void DbImage::announce() {
  if (loadError_.isEmpty()) return;
  const QString message = loadError_;
  loadError_.clear();
  emit failed(message);
}

QImage DbImage::picture() const {
  ensureLoaded();
  return picture_;
}

QImage DbImage::decode(const QByteArray& bytes) const {
  QImage image = QImage::fromData(bytes);
  if (image.isNull()) throw std::runtime_error("Image is not valid");
  return image;
}

QByteArray DbImage::encode(const QImage& image) const {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

QRect DbImage::pictureRect() const { return contentsRect(); }

bool DbImage::changePicture(const QImage& image) {
  if (!link_.edit()) return false;
  picture_ = image;
  loadedBytes_.clear();  // the field, read again after Escape or Cancel, differs from what is shown
  scaled_ = QImage();
  stale_ = false;
  link_.setModified(true);
  update();
  return true;
}

bool DbImage::cutToClipboard() {
  ensureLoaded();
  announce();
  if (picture_.isNull() || !link_.edit()) return false;
  QGuiApplication::clipboard()->setImage(picture_);
  return changePicture(QImage());
}

bool DbImage::copyToClipboard() const {
  ensureLoaded();
  if (picture_.isNull()) return false;
  QGuiApplication::clipboard()->setImage(picture_);
  return true;
}

bool DbImage::pasteFromClipboard() {
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  if (!mime || !mime->hasImage()) return false;
  QImage image = qvariant_cast<QImage>(mime->imageData());
  if (image.isNull()) return false;
  return changePicture(image);
}

bool DbImage::loadFile(const QString& path) {
  QImageReader reader(path);
  reader.setAutoTransform(true);
  QImage image = reader.read();
  if (image.isNull())
    throw std::runtime_error(
        QStringLiteral("Cannot read a picture from \"%1\": %2").arg(QFileInfo(path).fileName(), reader.errorString()).toStdString());
  return changePicture(image);
}

void DbImage::revert() { link_.reset(); }

void DbImage::attempt(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    emit failed(QString::fromUtf8(e.what()));
  }
}

const QImage& DbImage::scaledFor(const QSize& size) const {
  if (scaled_.isNull() || scaled_.size() != size)
    scaled_ = size == picture_.size() ? picture_ : picture_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return scaled_;
}

void DbImage::paintEvent(QPaintEvent* event) {
  ensureLoaded();
  {
    QPainter p(this);
    const QRect r = pictureRect();
    if (picture_.isNull() || r.isEmpty())
      p.fillRect(r, palette().color(QPalette::Base));
    else
      p.drawImage(r.topLeft(), scaledFor(r.size()));
    if (hasFocus() && !r.isEmpty()) {
      p.setPen(palette().color(QPalette::WindowText));
      p.setBrush(Qt::NoBrush);
      p.drawRect(r.adjusted(0, 0, -1, -1));
    }
  }
  QFrame::paintEvent(event);
}

void DbImage::keyPressEvent(QKeyEvent* event) {
  const auto mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  const int key = event->key();
  const bool ctrl = mods == Qt::ControlModifier;
  const bool shift = mods == Qt::ShiftModifier;
  if ((ctrl && key == Qt::Key_X) || (shift && key == Qt::Key_Delete)) {
    attempt([this] { cutToClipboard(); });
  } else if ((ctrl && key == Qt::Key_C) || (ctrl && key == Qt::Key_Insert)) {
    copyToClipboard();
  } else if ((ctrl && key == Qt::Key_V) || (shift && key == Qt::Key_Insert)) {
    attempt([this] { pasteFromClipboard(); });
  } else if (key == Qt::Key_Escape && mods == Qt::NoModifier && link_.modified()) {
    revert();
  } else {
    QFrame::keyPressEvent(event);
    return;
  }
  event->accept();
}

void DbImage::focusOutEvent(QFocusEvent* event) {
  attempt([this] { link_.updateRecord(); });
  update();
  QFrame::focusOutEvent(event);
}

void DbImage::showEvent(QShowEvent* event) {
  QFrame::showEvent(event);
  if ((stale_ || !loadError_.isEmpty()) && !loadPosted_) {
    loadPosted_ = true;
    QCoreApplication::postEvent(this, new QEvent(kLoadEvent));
  }
}

void DbImage::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  update();
}

void DbImage::customEvent(QEvent* event) {
  if (event->type() != kLoadEvent) {
    QFrame::customEvent(event);
    return;
  }
  loadPosted_ = false;
  // Hidden since the event was posted: the picture waits until the control is shown again.
  if (!isVisible()) return;
  ensureLoaded();
  announce();
}

void DbImage::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* mime = event->mimeData();
  if (link_.canModify() && (mime->hasImage() || !droppedImageFile(mime).isEmpty()))
    event->acceptProposedAction();
}

void DbImage::dropEvent(QDropEvent* event) {
  const QMimeData* mime = event->mimeData();
  const QString path = droppedImageFile(mime);
  attempt([&] {
    if (!path.isEmpty())
      loadFile(path);
    else if (mime->hasImage())
      changePicture(qvariant_cast<QImage>(mime->imageData()));
  });
  event->acceptProposedAction();
}

}  // namespace rf::controls
