#pragma once
// The modal filter dialog over any dataset. The user picks a field from the fields the screen
// offers (listed by field number or by name, as the user chooses), and gives it either a value
// criterion (the "smart" kind: the words "or" and "and" combine conditions, "null" stands for an
// empty field; the value matched at the start, exactly or anywhere, with or without regard to
// case) or a range (from / to, either end open). Dates are typed month/day/year. A summary lists
// every criterion set; a criterion is cleared by emptying it or with Clear.
//
// OK sets the criteria as the dataset's record filter (none left: the filter is removed) and
// closes; a criterion the dataset refuses (a value that is no number or date for its field) is
// announced by failed() and the dialog stays open. Cancel drops the changes made since opening.
// The dialog remembers the criteria it set and shows them the next time it opens, unless the
// dataset's filter went meanwhile (the table was closed or the filter cleared elsewhere).

#include <QDialog>
#include <QPointer>
#include <vector>

#include "controls/filter_settings.h"
#include "dataset/dataset.h"

class QCheckBox;
class QDialogButtonBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace rf::controls {

class FilterDialog : public QDialog {
  Q_OBJECT

 public:
  explicit FilterDialog(QWidget* parent = nullptr);

  dataset::Dataset* dataset() const { return dataset_; }
  void setDataset(dataset::Dataset* dataset);
  const FilterSettings& settings() const { return settings_; }
  void setSettings(const FilterSettings& settings);

  // What opening does: the criteria last set (if the dataset still has its filter), the
  // field list in the settings' order and the settings' field selected.
  void prepare();
  // The fields listed, in the list's order.
  QStringList listedFields() const;
  QString selectedField() const;
  void selectField(const QString& name);
  void setFieldOrder(FilterSettings::FieldOrder order);
  // The criteria as they stand in the dialog, in the order they were first set.
  const std::vector<dataset::FilterCriterion>& criteria() const { return working_; }
  void clearCriterion(const QString& field);
  void clearAll();
  // Sets the criteria on the dataset; false (and failed()) when it refuses them.
  bool apply();

  void accept() override;

  // The parts, for screens and tests.
  QListWidget* fieldList() const { return fieldList_; }
  QRadioButton* orderByNumberButton() const { return byNumber_; }
  QRadioButton* orderByNameButton() const { return byName_; }
  QTabWidget* pages() const { return pages_; }
  QLineEdit* valueEdit() const { return value_; }
  QRadioButton* startsWithButton() const { return startsWith_; }
  QRadioButton* exactButton() const { return exact_; }
  QRadioButton* anywhereButton() const { return anywhere_; }
  QCheckBox* caseSensitiveBox() const { return caseSensitive_; }
  QLineEdit* fromEdit() const { return from_; }
  QLineEdit* toEdit() const { return to_; }
  QListWidget* summary() const { return summary_; }
  QPushButton* clearButton() const { return clear_; }
  QPushButton* clearAllButton() const { return clearAll_; }
  QDialogButtonBox* buttons() const { return buttons_; }

  static constexpr int kValuePage = 0;
  static constexpr int kRangePage = 1;

 signals:
  void failed(const QString& message);
  // The dataset's filter changed (or went): grids over it show their rows afresh.
  void applied();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* makeValuePage();
  QWidget* makeRangePage();
  void fillFieldList(const QString& keepSelected);
  void showCriterion();
  void valueEdited();
  void rangeEdited();
  void setCriterion(const QString& field, const dataset::FilterCriterion* c);
  void showSummary();
  dataset::FilterCriterion::Match chosenMatch() const;
  void chooseMatch(dataset::FilterCriterion::Match m);

  QPointer<dataset::Dataset> dataset_;
  FilterSettings settings_;
  std::vector<dataset::FilterCriterion> working_;
  std::vector<dataset::FilterCriterion> applied_;
  bool loading_ = false;

  QListWidget* fieldList_;
  QRadioButton* byNumber_;
  QRadioButton* byName_;
  QTabWidget* pages_;
  QLineEdit* value_;
  QRadioButton* startsWith_;
  QRadioButton* exact_;
  QRadioButton* anywhere_;
  QCheckBox* caseSensitive_;
  QLineEdit* from_;
  QLineEdit* to_;
  QListWidget* summary_;
  QPushButton* clear_;
  QPushButton* clearAll_;
  QDialogButtonBox* buttons_;
};

}  // namespace rf::controls
