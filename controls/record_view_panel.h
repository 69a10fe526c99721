#pragma once
// The current record as labelled editors, built from a column list (field, width in characters,
// title; an empty list shows every visible field under its display label, a width of 0 is the
// field's display width and an empty title its display label). Two arrangements: one field per
// line with the labels right-aligned in a common column to the left of the editors, or each label
// above its editor, the fields following one another left to right and wrapping into further rows
// across the panel. The panel scrolls when the fields need more room than it has.
//
// Each field gets a bound editor for its type (an edit box; a date picker for dates, a check box
// for logicals, a memo box for memos), as wide as its width in characters; a field may be given
// an editor of the screen's own instead, which the panel places (and owns) but the screen binds.
// Editors are named "fld" + the field's name as listed, labels "lbl" + the same, so that tests and
// screens find them (an editor of the screen's own keeps a name it has). Tab order follows the
// list. A refusal in any of the panel's own editors is announced by failed().

#include <QPointer>
#include <QScrollArea>
#include <QSet>
#include <map>

#include "controls/grid_column.h"
#include "dataset/data_source.h"

class QLabel;

namespace rf::controls {

class RecordViewPanel : public QScrollArea {
  Q_OBJECT

 public:
  enum class Arrangement { OnePerLine, LabelsAbove };

  explicit RecordViewPanel(QWidget* parent = nullptr);

  dataset::DataSource* dataSource() const { return source_; }
  void setDataSource(dataset::DataSource* source);
  const ColumnList& columns() const { return columns_; }
  void setColumns(const ColumnList& columns);
  Arrangement arrangement() const { return arrangement_; }
  void setArrangement(Arrangement a);
  // The screen's own editor for `field` (the panel takes it); null puts the panel's back.
  void setEditor(const QString& field, QWidget* editor);
  // A read-only field shows and never writes.
  void setReadOnly(const QString& field, bool on);

  // By the field's name regardless of case; null when the panel shows no such field.
  QWidget* editor(const QString& field) const;
  QLabel* label(const QString& field) const;
  // The editors in tab order.
  QList<QWidget*> editors() const;

  // Pixels for `chars` characters of the panel's font in an edit box.
  int widthForChars(int chars) const;

 signals:
  void failed(const QString& message);

 private:
  struct Line {
    QString field;
    QString title;
    int width;
  };
  std::vector<Line> lines() const;
  void rebuild();
  QWidget* makeEditor(const Line& line);

  QPointer<dataset::DataSource> source_;
  std::vector<QMetaObject::Connection> connections_;
  ColumnList columns_;
  Arrangement arrangement_ = Arrangement::OnePerLine;
  std::map<QString, QPointer<QWidget>> own_;  // by upper-case field name
  QSet<QString> readOnly_;                     // upper-case field names
  std::vector<std::pair<QString, QWidget*>> editors_;
  std::vector<std::pair<QString, QLabel*>> labels_;
  bool builtOpen_ = false;
};

}  // namespace rf::controls
