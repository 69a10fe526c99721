#pragma once
// What the editor tests share: a window over a pieces table with a navigator bound to the same
// data source, and a look at the file as another reader sees it.

#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>
#include <string>
#include <vector>

#include "controls/record_navigator.h"
#include "dataset/field_conversion.h"
#include "tests/dataset/dataset_fixtures.h"

namespace rf::test {

struct EditorWindow {
  dataset::Dataset ds;
  dataset::DataSource source{&ds};
  QWidget window;
  QVBoxLayout* layout = new QVBoxLayout(&window);
  controls::RecordNavigator* nav = new controls::RecordNavigator;
  std::vector<QString> failures;  // what the navigator announced

  explicit EditorWindow(PiecesTable& t) {
    ds.open(t.engine, t.request());
    nav->setDataSource(&source);
    nav->setConfirm([](QWidget*, const QString&) { return true; });
    QObject::connect(nav, &controls::RecordNavigator::failed, [this](const QString& m) { failures.push_back(m); });
    layout->addWidget(nav);
  }
  template <class W>
  W* add(W* w) {
    layout->addWidget(w);
    return w;
  }
  // Shown and active, so that focus moves as it does for a user.
  bool show() {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
  }
  void click(controls::NavButton b) { QTest::mouseClick(nav->button(b), Qt::LeftButton); }
};

// Field `name` of every record as another reader of the file sees it, in record order.
inline std::vector<std::string> onDisk(PiecesTable& t, const char* name) {
  auto table = t.engine.openPath(t.path);
  auto c = table->openCursor();
  std::vector<std::string> out;
  for (bool ok = c->first(); ok; ok = c->next())
    out.push_back(dataset::textFromValue(table->get(c->record(), name)).toStdString());
  return out;
}

}  // namespace rf::test
