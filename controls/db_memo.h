#pragma once
// A multi-line box bound to a memo (or text) field. Lines wrap at the box's width or not, as the
// screen sets. While the record can't be changed (no field, a browsing record and no auto-edit)
// the box is read-only. Typing puts the record into edit state; the text is written when the box
// loses the focus and in any case just before the record is posted. Escape drops what was typed.
// A refusal while writing on leaving the box is announced by failed(). Line breaks go into the
// field as CR LF, as the Windows programs sharing these files store them.

#include <QPlainTextEdit>

#include "controls/field_link.h"

namespace rf::controls {

class DbMemo : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit DbMemo(QWidget* parent = nullptr);

  FieldLink& link() { return link_; }
  void setDataSource(dataset::DataSource* source) { link_.setDataSource(source); }
  void setFieldName(const QString& name) { link_.setFieldName(name); }
  dataset::Field* field() const { return link_.field(); }

  bool wordWrap() const { return lineWrapMode() != NoWrap; }
  void setWordWrap(bool on) { setLineWrapMode(on ? WidgetWidth : NoWrap); }

 signals:
  void failed(const QString& message);

 protected:
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void showField();
  void changed();

  FieldLink link_;
  bool showing_ = false;
};

}  // namespace rf::controls
