#include "controls/filter_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "tables/error.h"

namespace rf::controls {

using dataset::FilterCriterion;

namespace {

QRadioButton* radio(const QString& text, const char* name, QWidget* parent) {
  auto* b = new QRadioButton(text, parent);
  b->setObjectName(QString::fromLatin1(name));
  return b;
}

}  // namespace

FilterDialog::FilterDialog(QWidget* parent)
    : QDialog(parent), fieldList_(new QListWidget(this)), byNumber_(radio(tr("By field number"), "filterOrderNumber", this)),
      byName_(radio(tr("By name"), "filterOrderName", this)), pages_(new QTabWidget(this)),
      value_(new QLineEdit(this)), startsWith_(radio(tr("Starts with"), "filterStartsWith", this)),
      exact_(radio(tr("Exact match"), "filterExact", this)), anywhere_(radio(tr("Anywhere in the field"), "filterAnywhere", this)),
      caseSensitive_(new QCheckBox(tr("Case sensitive"), this)), from_(new QLineEdit(this)), to_(new QLineEdit(this)),
      summary_(new QListWidget(this)), clear_(new QPushButton(tr("Clear"), this)),
      clearAll_(new QPushButton(tr("Clear All"), this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
  setModal(true);
  setObjectName(QStringLiteral("FilterDialog"));
  fieldList_->setObjectName(QStringLiteral("filterFields"));
  pages_->setObjectName(QStringLiteral("filterPages"));
  value_->setObjectName(QStringLiteral("filterValue"));
  caseSensitive_->setObjectName(QStringLiteral("filterCaseSensitive"));
  from_->setObjectName(QStringLiteral("filterFrom"));
  to_->setObjectName(QStringLiteral("filterTo"));
  summary_->setObjectName(QStringLiteral("filterSummary"));
  clear_->setObjectName(QStringLiteral("filterClear"));
  clearAll_->setObjectName(QStringLiteral("filterClearAll"));

  auto* order = new QGroupBox(tr("Field order"), this);
  auto* orderLayout = new QVBoxLayout(order);
  orderLayout->addWidget(byNumber_);
  orderLayout->addWidget(byName_);
  byNumber_->setChecked(true);
  auto* left = new QVBoxLayout;
  left->addWidget(new QLabel(tr("Fields:"), this));
  left->addWidget(fieldList_, 1);
  left->addWidget(order);

  pages_->addTab(makeValuePage(), tr("Value"));
  pages_->addTab(makeRangePage(), tr("Range"));
  auto* clearRow = new QHBoxLayout;
  clearRow->addStretch(1);
  clearRow->addWidget(clear_);
  clearRow->addWidget(clearAll_);
  auto* right = new QVBoxLayout;
  right->addWidget(pages_);
  right->addWidget(new QLabel(tr("Criteria:"), this));
  right->addWidget(summary_, 1);
  right->addLayout(clearRow);

  auto* body = new QHBoxLayout;
  body->addLayout(left);
  body->addLayout(right, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body, 1);
  layout->addWidget(buttons_);

  buttons_->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons_, &QDialogButtonBox::accepted, this, &FilterDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &FilterDialog::reject);
  connect(fieldList_, &QListWidget::currentRowChanged, this, [this] { showCriterion(); });
  connect(byNumber_, &QRadioButton::toggled, this, [this](bool on) {
    if (on && !loading_) setFieldOrder(FilterSettings::FieldOrder::ByFieldNumber);
  });
  connect(byName_, &QRadioButton::toggled, this, [this](bool on) {
    if (on && !loading_) setFieldOrder(FilterSettings::FieldOrder::ByName);
  });
  connect(value_, &QLineEdit::textEdited, this, &FilterDialog::valueEdited);
  for (QRadioButton* b : {startsWith_, exact_, anywhere_})
    connect(b, &QRadioButton::toggled, this, [this](bool on) {
      if (on) valueEdited();
    });
  connect(caseSensitive_, &QCheckBox::toggled, this, &FilterDialog::valueEdited);
  connect(from_, &QLineEdit::textEdited, this, &FilterDialog::rangeEdited);
  connect(to_, &QLineEdit::textEdited, this, &FilterDialog::rangeEdited);
  connect(clear_, &QPushButton::clicked, this, [this] { clearCriterion(selectedField()); });
  connect(clearAll_, &QPushButton::clicked, this, &FilterDialog::clearAll);
  // A line of the summary takes the user to its field.
  connect(summary_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    selectField(item->data(Qt::UserRole).toString());
  });
  resize(560, 400);
}

QWidget* FilterDialog::makeValuePage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(new QLabel(tr("Field value (\"or\", \"and\" and \"null\" may be used; dates as mm/dd/yyyy):"), page));
  layout->addWidget(value_);
  auto* match = new QGroupBox(tr("Match"), page);
  auto* matchLayout = new QVBoxLayout(match);
  auto* group = new QButtonGroup(match);
  for (QRadioButton* b : {startsWith_, exact_, anywhere_}) {
    group->addButton(b);
    matchLayout->addWidget(b);
  }
  layout->addWidget(match);
  layout->addWidget(caseSensitive_);
  layout->addStretch(1);
  return page;
}

QWidget* FilterDialog::makeRangePage() {
  auto* page = new QWidget(this);
  auto* layout = new QFormLayout(page);
  layout->addRow(tr("From:"), from_);
  layout->addRow(tr("To:"), to_);
  layout->addRow(new QLabel(tr("Either end may be left empty; dates as mm/dd/yyyy."), page));
  return page;
}

void FilterDialog::setDataset(dataset::Dataset* dataset) {
  dataset_ = dataset;
  working_.clear();
  applied_.clear();
  prepare();
}

void FilterDialog::setSettings(const FilterSettings& settings) {
  settings_ = settings;
  setWindowTitle(settings_.caption);
  prepare();
}

void FilterDialog::prepare() {
  // A filter that went while the dialog was closed takes its criteria with it.
  if (!dataset_ || !dataset_->isOpen() || !dataset_->isFiltered()) applied_.clear();
  working_ = applied_;
  {
    QScopedValueRollback<bool> hold(loading_, true);
    (settings_.order == FilterSettings::FieldOrder::ByName ? byName_ : byNumber_)->setChecked(true);
  }
  fillFieldList(settings_.selectedField);
  showSummary();
}

void FilterDialog::showEvent(QShowEvent* event) {
  prepare();
  QDialog::showEvent(event);
}

void FilterDialog::fillFieldList(const QString& keepSelected) {
  {
    QScopedValueRollback<bool> hold(loading_, true);
    fieldList_->clear();
    QStringList names;
    if (dataset_ && dataset_->isOpen()) {
      for (const auto& f : dataset_->fields()) {
        const QString name = f->name();
        if (settings_.fields.isEmpty() || settings_.fields.contains(name, Qt::CaseInsensitive)) names << name;
      }
    }
    if (byName_->isChecked())
      std::stable_sort(names.begin(), names.end(),
                       [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    fieldList_->addItems(names);
    int row = 0;
    for (int i = 0; i < names.size(); ++i)
      if (names[i].compare(keepSelected, Qt::CaseInsensitive) == 0) row = i;
    if (!names.isEmpty()) fieldList_->setCurrentRow(row);
  }
  showCriterion();
}

QStringList FilterDialog::listedFields() const {
  QStringList out;
  for (int i = 0; i < fieldList_->count(); ++i) out << fieldList_->item(i)->text();
  return out;
}

QString FilterDialog::selectedField() const {
  const QListWidgetItem* item = fieldList_->currentItem();
  return item ? item->text() : QString();
}

void FilterDialog::selectField(const QString& name) {
  for (int i = 0; i < fieldList_->count(); ++i)
    if (fieldList_->item(i)->text().compare(name, Qt::CaseInsensitive) == 0) fieldList_->setCurrentRow(i);
}

void FilterDialog::setFieldOrder(FilterSettings::FieldOrder order) {
  {
    QScopedValueRollback<bool> hold(loading_, true);
    (order == FilterSettings::FieldOrder::ByName ? byName_ : byNumber_)->setChecked(true);
  }
  fillFieldList(selectedField());
}

FilterCriterion::Match FilterDialog::chosenMatch() const {
  if (exact_->isChecked()) return FilterCriterion::Match::Exact;
  if (anywhere_->isChecked()) return FilterCriterion::Match::Anywhere;
  return FilterCriterion::Match::StartsWith;
}

void FilterDialog::chooseMatch(FilterCriterion::Match m) {
  (m == FilterCriterion::Match::Exact ? exact_ : m == FilterCriterion::Match::Anywhere ? anywhere_ : startsWith_)->setChecked(true);
}

void FilterDialog::showCriterion() {
  if (loading_) return;
  QScopedValueRollback<bool> hold(loading_, true);
  const QString field = selectedField();
  auto it = std::find_if(working_.begin(), working_.end(),
                         [&](const FilterCriterion& c) { return c.field.compare(field, Qt::CaseInsensitive) == 0; });
  const bool range = it != working_.end() && it->kind == FilterCriterion::Kind::Range;
  const bool value = it != working_.end() && !range;
  value_->setText(value ? it->value : QString());
  chooseMatch(value ? it->match : settings_.defaultMatch);
  caseSensitive_->setChecked(value ? it->caseSensitive : settings_.caseSensitive);
  from_->setText(range ? it->from : QString());
  to_->setText(range ? it->to : QString());
  pages_->setCurrentIndex(range ? kRangePage : kValuePage);
  const bool any = !field.isEmpty();
  pages_->setEnabled(any);
  clear_->setEnabled(any);
}

void FilterDialog::valueEdited() {
  if (loading_ || selectedField().isEmpty()) return;
  FilterCriterion c;
  c.field = selectedField();
  c.kind = FilterCriterion::Kind::Value;
  c.value = value_->text();
  c.match = chosenMatch();
  c.caseSensitive = caseSensitive_->isChecked();
  const FilterCriterion* had = nullptr;
  for (const FilterCriterion& w : working_)
    if (w.field.compare(c.field, Qt::CaseInsensitive) == 0) had = &w;
  // Choosing a match or the case with no value typed leaves a range set before alone.
  if (c.value.isEmpty() && had && had->kind == FilterCriterion::Kind::Range) return;
  // A value takes the place of a range set before; the range page shows so.
  {
    QScopedValueRollback<bool> hold(loading_, true);
    from_->clear();
    to_->clear();
  }
  setCriterion(c.field, c.value.isEmpty() ? nullptr : &c);
}

void FilterDialog::rangeEdited() {
  if (loading_ || selectedField().isEmpty()) return;
  FilterCriterion c;
  c.field = selectedField();
  c.kind = FilterCriterion::Kind::Range;
  c.from = from_->text();
  c.to = to_->text();
  {
    QScopedValueRollback<bool> hold(loading_, true);
    value_->clear();
  }
  setCriterion(c.field, c.from.isEmpty() && c.to.isEmpty() ? nullptr : &c);
}

void FilterDialog::setCriterion(const QString& field, const FilterCriterion* c) {
  auto it = std::find_if(working_.begin(), working_.end(),
                         [&](const FilterCriterion& w) { return w.field.compare(field, Qt::CaseInsensitive) == 0; });
  if (!c) {
    if (it != working_.end()) working_.erase(it);
  } else if (it != working_.end()) {
    *it = *c;
  } else {
    working_.push_back(*c);
  }
  showSummary();
}

void FilterDialog::clearCriterion(const QString& field) {
  setCriterion(field, nullptr);
  if (field.compare(selectedField(), Qt::CaseInsensitive) == 0) showCriterion();
}

void FilterDialog::clearAll() {
  working_.clear();
  showSummary();
  showCriterion();
}

void FilterDialog::showSummary() {
  summary_->clear();
  for (const FilterCriterion& c : working_) {
    auto* item = new QListWidgetItem(describeCriterion(c), summary_);
    item->setData(Qt::UserRole, c.field);
  }
  clearAll_->setEnabled(!working_.empty());
}

bool FilterDialog::apply() {
  if (!dataset_ || !dataset_->isOpen()) return false;
  try {
    if (working_.empty())
      dataset_->clearFilter();
    else
      dataset_->setFilter(working_);
  } catch (const tables::TableError& e) {
    emit failed(QString::fromStdString(e.what()));
    return false;
  }
  applied_ = working_;
  emit applied();
  return true;
}

void FilterDialog::accept() {
  if (apply()) QDialog::accept();
}

}  // namespace rf::controls
