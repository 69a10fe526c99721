#pragma once
// A single-line box bound to one field. It shows the field's text and takes at most the field's
// width in characters (text fields). Typing puts the record into edit state (the data source's
// auto-edit); the text is written into the field when the user presses Enter or leaves the box,
// and in any case just before the record is posted, so Post or a move never loses it. Escape
// drops what was typed and shows the field again. Money shows in the system's currency format
// except while the box has the focus.
//
// A text the field refuses (a number or a date that does not convert) leaves the focus in the box
// with its text selected. Written on Enter or on leaving the box, the refusal is announced by
// failed() with the field's message (the application shows it in its error box); written just
// before a post, the refusal stops the post and leaves as the field's exception to whoever asked
// for the post or the move (the navigator announces it the same way).

#include <QLineEdit>

#include "controls/field_link.h"

namespace rf::controls {

class DbEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit DbEdit(QWidget* parent = nullptr);

  FieldLink& link() { return link_; }
  dataset::DataSource* dataSource() const { return link_.dataSource(); }
  void setDataSource(dataset::DataSource* source) { link_.setDataSource(source); }
  QString fieldName() const { return link_.fieldName(); }
  void setFieldName(const QString& name) { link_.setFieldName(name); }
  dataset::Field* field() const { return link_.field(); }

  // Writes the typed text now (what Enter and leaving the box do). Throws the field's refusal.
  void updateRecord() { link_.updateRecord(); }

 signals:
  void failed(const QString& message);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void showField();
  QString shownText(const dataset::Field& f) const;
  void typed();
  void commit();
  void write(dataset::Field& field);

  FieldLink link_;
};

// The "disabled edit": greyed and never focused, it shows the field (and follows every change of
// it, e.g. a value the before-post rule computes) and never writes.
class DbDisabledEdit : public DbEdit {
  Q_OBJECT

 public:
  explicit DbDisabledEdit(QWidget* parent = nullptr);
};

}  // namespace rf::controls
