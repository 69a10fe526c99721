#pragma once
// A picture bound to one binary field: it shows the image the field's bytes hold and takes a new
// one from the clipboard, a dropped file or the caller. Which bytes make an image, and which bytes
// a changed image is written as, is the subclass's business (decode/encode); this class only binds,
// caches and paints.
//
// Loading: the field is read (and decoded) at most once per record shown. A change of record or
// field only marks the picture stale; a visible control loads it from a posted event, so the
// several notifications of one move cost one read, and a hidden control loads it when it is shown
// or asked for the picture. Bytes that do not decode leave the control without a picture and are
// announced once through failed().
//
// Writing: a picture change puts the record into edit state (the data source's auto-edit) and
// stays pending until the control loses the focus or the record is posted; Escape drops it and
// shows the stored picture again, as does the record's Cancel.

#include <QByteArray>
#include <QFrame>
#include <QImage>
#include <functional>

#include "controls/field_link.h"

namespace rf::controls {

class DbImage : public QFrame {
  Q_OBJECT

 public:
  explicit DbImage(QWidget* parent = nullptr);

  FieldLink& link() { return link_; }
  void setDataSource(dataset::DataSource* source) { link_.setDataSource(source); }
  void setFieldName(const QString& name) { link_.setFieldName(name); }
  dataset::Field* field() const { return link_.field(); }

  // The picture shown (loading it first when stale); null when there is none.
  QImage picture() const;
  bool hasPicture() const { return !picture().isNull(); }
  // A change not yet written into the record.
  bool modified() const { return link_.modified(); }

  // The user's commands. Each returns whether it changed anything; a record that cannot be put
  // into edit state throws the dataset's refusal and leaves the picture as it was.
  bool cutToClipboard();
  bool copyToClipboard() const;
  bool pasteFromClipboard();
  // Replaces the picture (a null image removes it) as a user change.
  bool changePicture(const QImage& image);
  // Reads an image file of any format Qt reads and takes it as a user change. Throws a message
  // naming the file when it holds no readable image.
  bool loadFile(const QString& path);
  // Drops a pending change and shows the field's picture again.
  void revert();
  // Writes a pending change now (what leaving the control does). Throws the field's refusal.
  void updateRecord() { link_.updateRecord(); }

  // How many times the field's bytes were read: what keeps moves cheap is that this grows by one
  // per record shown, not per notification.
  int reads() const { return reads_; }

 signals:
  void failed(const QString& message);

 protected:
  // The field's bytes as an image; throws std::exception with the user's message when they
  // hold none. By default: any format Qt reads.
  virtual QImage decode(const QByteArray& bytes) const;
  // The image as the field's bytes. By default: PNG.
  virtual QByteArray encode(const QImage& image) const;
  // Where the picture is drawn, stretched; by default the whole area inside the frame.
  virtual QRect pictureRect() const;

  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void customEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void stale();
  void ensureLoaded() const;
  void announce();
  // Runs a user command started from the keyboard or a drop; refusals go to failed().
  void attempt(const std::function<void()>& command);
  const QImage& scaledFor(const QSize& size) const;

  FieldLink link_;
  mutable QImage picture_;
  mutable QByteArray loadedBytes_;  // what picture_ was decoded from: an unchanged field is not decoded again
  mutable bool stale_ = true;
  mutable QString loadError_;
  mutable int reads_ = 0;
  mutable QImage scaled_;  // picture_ at the size last drawn
  bool loadPosted_ = false;
  bool writing_ = false;
};

}  // namespace rf::controls
