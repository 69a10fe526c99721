#include "controls/lookup_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/db_grid.h"
#include "dataset/field_conversion.h"
#include "tables/error.h"

namespace rf::controls {

using dataset::Dataset;

LookupDialog::LookupDialog(Dataset* lookup, const QString& lookupField, const ColumnList& columns, QWidget* parent)
    : QDialog(parent), lookup_(lookup), source_(lookup), lookupField_(lookup->field(lookupField).index()),
      grid_(new DbGrid(this)), searchColumn_(new QComboBox(this)), search_(new QLineEdit(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
  setWindowTitle(kTitle);
  setModal(true);
  setObjectName(QStringLiteral("LookupDialog"));
  source_.setAutoEdit(false);

  grid_->setObjectName(QStringLiteral("lookupGrid"));
  grid_->setReadOnly(true);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setDataSource(&source_, columns);
  searchColumn_->setObjectName(QStringLiteral("lookupSearchColumn"));
  searchColumn_->setEditable(false);
  // The code is what users mostly type: its column is searched by until another is chosen.
  int codeColumn = 0;
  for (int c = 0; c < grid_->model()->columnCount(); ++c) {
    searchColumn_->addItem(grid_->model()->headerData(c, Qt::Horizontal).toString());
    if (grid_->gridModel()->fieldOf(c).index() == lookupField_ && codeColumn == 0) codeColumn = c;
  }
  searchColumn_->setCurrentIndex(codeColumn);
  search_->setObjectName(QStringLiteral("lookupSearch"));
  search_->installEventFilter(this);
  buttons_->button(QDialogButtonBox::Ok)->setDefault(true);

  auto* bar = new QHBoxLayout;
  bar->addWidget(new QLabel(tr("Search by:"), this));
  bar->addWidget(searchColumn_);
  bar->addWidget(search_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(grid_, 1);
  layout->addWidget(buttons_);

  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(grid_, &DbGrid::doubleClicked, this, &QDialog::accept);
  connect(grid_, &DbGrid::failed, this, &LookupDialog::failed);
  connect(search_, &QLineEdit::textEdited, this, [this](const QString& text) { search(text); });
  // Another column searched by: the text typed so far is looked for in it.
  connect(searchColumn_, &QComboBox::currentIndexChanged, this, [this] {
    if (!search_->text().isEmpty()) search(search_->text());
  });

  int width = 0;
  for (int c = 0; c < grid_->model()->columnCount(); ++c) width += grid_->columnWidth(c);
  resize(std::max(width + 60, 320), 360);
  search_->setFocus();
}

LookupDialog::~LookupDialog() = default;

bool LookupDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == search_ && event->type() == QEvent::KeyPress) {
    // The moving keys go on to the list, so the user can type and then step from there.
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
      case Qt::Key_Up:
      case Qt::Key_Down:
      case Qt::Key_PageUp:
      case Qt::Key_PageDown:
        QCoreApplication::sendEvent(grid_, event);
        return true;
      default:
        break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

int LookupDialog::searchColumn() const { return searchColumn_->currentIndex(); }

void LookupDialog::setSearchColumn(int column) { searchColumn_->setCurrentIndex(column); }

bool LookupDialog::search(const QString& text) {
  const int column = searchColumn();
  if (text.isEmpty() || column < 0) return false;
  return find(grid_->gridModel()->fieldOf(column).index(), text, Match::Prefix);
}

bool LookupDialog::locate(const QString& value) {
  if (value.isEmpty()) return false;
  return find(lookupField_, value, Match::Equal);
}

std::optional<QString> LookupDialog::pickedValue() const {
  if (!lookup_->isOpen() || lookup_->isEmpty()) return std::nullopt;
  return lookup_->fields()[static_cast<std::size_t>(lookupField_)]->asText();
}

bool LookupDialog::leadsCurrentIndex(int fieldIndex) const {
  const QString order = lookup_->indexName();
  const std::string name = order.toStdString();
  for (const auto& info : lookup_->table().indexes()) {
    const bool current = order.isEmpty() || order.compare(Dataset::kPrimaryKey, Qt::CaseInsensitive) == 0
                             ? info.primary
                             : tables::equalsNoCase(info.name, name);
    if (current) return info.usable && !info.descending && !info.fields.empty() && info.fields.front() == fieldIndex;
  }
  return false;
}

bool LookupDialog::find(int fieldIndex, const QString& text, Match match) {
  if (!lookup_->isOpen()) return false;
  tables::Table& table = lookup_->table();
  auto matches = [&](const tables::Record& r) {
    const QString v = dataset::textFromValue(table.get(r, fieldIndex));
    return match == Match::Prefix ? v.startsWith(text, Qt::CaseInsensitive) : v.compare(text, Qt::CaseInsensitive) == 0;
  };
  try {
    const QString order = lookup_->indexName();
    auto cursor = table.openCursor(order.compare(Dataset::kPrimaryKey, Qt::CaseInsensitive) == 0 ? std::string()
                                                                                              : order.toStdString());
    const bool textual = table.schema().fields()[static_cast<std::size_t>(fieldIndex)].type == tables::FieldType::Text;
    if (textual && leadsCurrentIndex(fieldIndex)) {
      // Upper case sorts before lower case in byte order, so the upper-case text is at or before
      // every case variant of it; landing on a match there means it is the first one.
      cursor->seek({tables::Value::text(text.toUpper().toStdString())});
      if (cursor->valid() && matches(cursor->record()) && lookup_->gotoBookmark(cursor->bookmark())) return true;
    }
    for (bool ok = cursor->first(); ok; ok = cursor->next())
      if (matches(cursor->record()) && lookup_->gotoBookmark(cursor->bookmark())) return true;
  } catch (const tables::TableError& e) {
    emit failed(QString::fromStdString(e.what()));
  }
  return false;
}

}  // namespace rf::controls
