#pragma once
// The edit screen's page " Model Photo ": the photo of the current inventory record (`fldImage`,
// bound to I_Photo of the browse screen's dsInven) filling the page, and at its right a column
// 144 pixels wide with "Cu&t", "&Copy" and "&Paste", then "&Load..." and "&Save..." for photos
// kept in files. An image file dropped on the picture is taken like a paste.
//
// The buttons first put the record into edit state (the data source's auto-edit), whether or not
// they then find anything to cut or paste; the engine's refusal goes to the error box.

#include <QString>
#include <QWidget>

#include "dataset/data_source.h"

class QPushButton;

namespace rf::inventory {

class TDBImageAsp;

class PhotoPage : public QWidget {
  Q_OBJECT

 public:
  explicit PhotoPage(dataset::DataSource* dsInven, QWidget* parent = nullptr);

  TDBImageAsp& fldImage() { return *image_; }

  // Takes an image file of any format Qt reads as the record's photo (stored as a BMP file).
  // Returns whether the photo changed; a failure is shown in the error box.
  bool loadPhoto(const QString& path);
  // Writes the photo shown to `path`, in the format its suffix names (BMP without one). Returns
  // whether it was written; a failure is shown in the error box.
  bool savePhoto(const QString& path);

 public slots:
  void bntCutClick();
  void btnCopyClick();
  void btnPasteClick();
  void btnLoadClick();
  void btnSaveClick();

 private:
  QPushButton* addButton(QWidget* column, const QString& text, const QString& name);
  // The buttons' common first step: the record into edit state. Throws the engine's refusal.
  bool editRecord();

  dataset::DataSource* dsInven_;
  TDBImageAsp* image_ = nullptr;
};

}  // namespace rf::inventory
