#include "controls/record_view_panel.h"

#include <QFormLayout>
#include <QLabel>
#include <QLayout>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/db_check_box.h"
#include "controls/db_date_edit.h"
#include "controls/db_edit.h"
#include "controls/db_memo.h"

namespace rf::controls {

namespace {

// Items left to right, starting a new row when the next one would pass the right edge. Rows are
// as high as their highest item; items keep their size hints.
class WrapLayout : public QLayout {
 public:
  explicit WrapLayout(QWidget* parent) : QLayout(parent) {}
  ~WrapLayout() override {
    while (QLayoutItem* item = takeAt(0)) delete item;
  }

  void addItem(QLayoutItem* item) override { items_.push_back(item); }
  int count() const override { return static_cast<int>(items_.size()); }
  QLayoutItem* itemAt(int index) const override {
    return index >= 0 && index < count() ? items_[static_cast<std::size_t>(index)] : nullptr;
  }
  QLayoutItem* takeAt(int index) override {
    if (index < 0 || index >= count()) return nullptr;
    QLayoutItem* item = items_[static_cast<std::size_t>(index)];
    items_.erase(items_.begin() + index);
    return item;
  }
  Qt::Orientations expandingDirections() const override { return {}; }
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override { return place(QRect(0, 0, width, 0), false); }
  QSize sizeHint() const override { return minimumSize(); }
  QSize minimumSize() const override {
    // At least the widest item; the height follows from the width given.
    QSize s;
    for (QLayoutItem* item : items_) s = s.expandedTo(item->minimumSize());
    const QMargins m = contentsMargins();
    return s + QSize(m.left() + m.right(), m.top() + m.bottom());
  }
  void setGeometry(const QRect& rect) override {
    QLayout::setGeometry(rect);
    place(rect, true);
  }

 private:
  int place(const QRect& rect, bool apply) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    const int gap = std::max(0, spacing());
    int x = area.x(), y = area.y(), rowHeight = 0;
    for (QLayoutItem* item : items_) {
      if (item->isEmpty()) continue;
      const QSize hint = item->sizeHint();
      if (x > area.x() && x + hint.width() > area.right() + 1) {
        x = area.x();
        y += rowHeight + gap;
        rowHeight = 0;
      }
      if (apply) item->setGeometry(QRect(QPoint(x, y), hint));
      x += hint.width() + gap;
      rowHeight = std::max(rowHeight, hint.height());
    }
    const QMargins m = contentsMargins();
    return y + rowHeight - rect.y() + m.bottom();
  }

  std::vector<QLayoutItem*> items_;
};

QString key(const QString& field) { return field.toUpper(); }

}  // namespace

RecordViewPanel::RecordViewPanel(QWidget* parent) : QScrollArea(parent) {
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
  rebuild();
}

void RecordViewPanel::setDataSource(dataset::DataSource* source) {
  for (const auto& c : connections_) disconnect(c);
  connections_.clear();
  source_ = source;
  if (source) {
    connections_.push_back(connect(source, &dataset::DataSource::datasetChanged, this, &RecordViewPanel::rebuild));
    // Labels and widths come from the fields: build again once the dataset is open.
    connections_.push_back(connect(source, &dataset::DataSource::stateChanged, this, [this] {
      dataset::Dataset* ds = source_ ? source_->dataset() : nullptr;
      if (ds && ds->isOpen() != builtOpen_) rebuild();
    }));
  }
  rebuild();
}

void RecordViewPanel::setColumns(const ColumnList& columns) {
  columns_ = columns;
  rebuild();
}

void RecordViewPanel::setArrangement(Arrangement a) {
  arrangement_ = a;
  rebuild();
}

void RecordViewPanel::setEditor(const QString& field, QWidget* editor) {
  auto it = own_.find(key(field));
  if (it != own_.end() && it->second && it->second != editor) delete it->second.data();
  if (editor)
    own_[key(field)] = editor;
  else
    own_.erase(key(field));
  rebuild();
}

void RecordViewPanel::setReadOnly(const QString& field, bool on) {
  if (on)
    readOnly_.insert(key(field));
  else
    readOnly_.remove(key(field));
  rebuild();
}

QWidget* RecordViewPanel::editor(const QString& field) const {
  for (const auto& [name, w] : editors_)
    if (key(name) == key(field)) return w;
  return nullptr;
}

QLabel* RecordViewPanel::label(const QString& field) const {
  for (const auto& [name, l] : labels_)
    if (key(name) == key(field)) return l;
  return nullptr;
}

QList<QWidget*> RecordViewPanel::editors() const {
  QList<QWidget*> out;
  for (const auto& e : editors_) out.push_back(e.second);
  return out;
}

int RecordViewPanel::widthForChars(int chars) const {
  // The frame and inner margins of an edit box come on top of its characters.
  const int frame = 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 6;
  return fontMetrics().averageCharWidth() * std::max(1, chars) + frame;
}

std::vector<RecordViewPanel::Line> RecordViewPanel::lines() const {
  dataset::Dataset* ds = source_ ? source_->dataset() : nullptr;
  const bool open = ds && ds->isOpen();
  std::vector<Line> out;
  if (columns_.empty()) {
    if (!open) return out;
    for (const auto& f : ds->fields())
      if (f->visible()) out.push_back({f->name(), f->displayLabel(), f->displayWidth()});
    return out;
  }
  for (const GridColumn& c : columns_) {
    dataset::Field* f = open ? ds->findField(c.field) : nullptr;
    Line line{c.field, c.title, c.width};
    if (line.title.isEmpty()) line.title = f ? f->displayLabel() : c.field;
    if (line.width <= 0) line.width = f ? f->displayWidth() : 10;
    out.push_back(line);
  }
  return out;
}

QWidget* RecordViewPanel::makeEditor(const Line& line) {
  dataset::Dataset* ds = source_ ? source_->dataset() : nullptr;
  dataset::Field* f = ds && ds->isOpen() ? ds->findField(line.field) : nullptr;
  const tables::FieldType type = f ? f->type() : tables::FieldType::Text;
  const bool readOnly = readOnly_.contains(key(line.field));
  FieldLink* link = nullptr;
  QWidget* w = nullptr;
  if (type == tables::FieldType::Logical) {
    auto* box = new DbCheckBox;
    connect(box, &DbCheckBox::failed, this, &RecordViewPanel::failed);
    box->setEnabled(!readOnly);
    link = &box->link();
    w = box;
  } else if (type == tables::FieldType::Memo) {
    auto* memo = new DbMemo;
    connect(memo, &DbMemo::failed, this, &RecordViewPanel::failed);
    memo->setFixedHeight(memo->fontMetrics().lineSpacing() * 3 + 2 * memo->frameWidth() + 8);
    link = &memo->link();
    w = memo;
  } else {
    DbEdit* edit = type == tables::FieldType::Date ? new DbDateEdit : new DbEdit;
    connect(edit, &DbEdit::failed, this, &RecordViewPanel::failed);
    edit->setReadOnly(readOnly);
    link = &edit->link();
    w = edit;
  }
  link->setReadOnly(readOnly);
  link->setDataSource(source_);
  link->setFieldName(line.field);
  w->setFixedWidth(widthForChars(type == tables::FieldType::Date ? 12 : line.width));
  if (type == tables::FieldType::Logical) w->setFixedWidth(w->sizeHint().width());
  return w;
}

void RecordViewPanel::rebuild() {
  // The screen's own editors outlive a rebuild: take them out before the old page goes.
  for (auto& [name, w] : own_)
    if (w) w->setParent(nullptr);
  if (QWidget* old = takeWidget()) delete old;
  editors_.clear();
  labels_.clear();
  dataset::Dataset* ds = source_ ? source_->dataset() : nullptr;
  builtOpen_ = ds && ds->isOpen();

  auto* page = new QWidget;
  QFormLayout* form = nullptr;
  WrapLayout* wrap = nullptr;
  if (arrangement_ == Arrangement::OnePerLine) {
    form = new QFormLayout(page);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->setRowWrapPolicy(QFormLayout::DontWrapRows);
  } else {
    wrap = new WrapLayout(page);
  }
  for (const Line& line : lines()) {
    QWidget* w = nullptr;
    auto own = own_.find(key(line.field));
    if (own != own_.end() && own->second) {
      w = own->second;
    } else {
      w = makeEditor(line);
    }
    if (w->objectName().isEmpty() || own == own_.end()) w->setObjectName(QStringLiteral("fld") + line.field);
    auto* label = new QLabel(line.title);
    label->setObjectName(QStringLiteral("lbl") + line.field);
    label->setBuddy(w);
    if (form) {
      form->addRow(label, w);
    } else {
      auto* cell = new QWidget;
      auto* column = new QVBoxLayout(cell);
      column->setContentsMargins(0, 0, 0, 0);
      column->setSpacing(1);
      column->addWidget(label);
      column->addWidget(w);
      wrap->addWidget(cell);
    }
    editors_.emplace_back(line.field, w);
    labels_.emplace_back(line.field, label);
  }
  setWidget(page);
  for (std::size_t i = 1; i < editors_.size(); ++i) QWidget::setTabOrder(editors_[i - 1].second, editors_[i].second);
}

}  // namespace rf::controls
