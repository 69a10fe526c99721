#pragma once
// What the lookup screen tests share: the running application on a copy of the delivered data
// with the error box captured, the screens by name, and the tables as another program reads them.

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QStringList>
#include <memory>
#include <vector>

#include "app/application.h"
#include "app/main_window.h"
#include "controls/command_runner.h"
#include "controls/db_grid.h"
#include "controls/record_navigator.h"
#include "controls/record_view_panel.h"
#include "data/table_catalogue.h"
#include "data/table_opener.h"
#include "lookups/lookup_screen.h"
#include "tests/app/app_fixture.h"

namespace rf::testing {

// The next control Tab goes to from `origin`: the next focusable widget of the focus chain that
// is not inside `origin`; a control whose focus goes to an inner widget (its focus proxy) stands
// for it.
inline QWidget* nextTabStop(QWidget* origin) {
  QWidget* from = origin;
  while (from->focusProxy()) from = from->focusProxy();
  for (QWidget* n = from->nextInFocusChain(); n && n != from; n = n->nextInFocusChain()) {
    if (n == origin || origin->isAncestorOf(n) || n->focusProxy()) continue;
    if (!n->isVisibleTo(from->window()) || !n->isEnabled() || !(n->focusPolicy() & Qt::TabFocus)) continue;
    for (QWidget* up = n->parentWidget(); up && up != from->window(); up = up->parentWidget())
      if (up->focusProxy() == n) return up;
    return n;
  }
  return nullptr;
}

class LookupApp : public ::testing::Test {
 protected:
  void SetUp() override {
    controls::setErrorPresenter([this](QWidget*, const QString& text) { errors << text; });
    app = std::make_unique<rf::app::Application>(collection.engine());
    app->main().show();
  }
  void TearDown() override {
    app.reset();
    controls::setErrorPresenter({});
  }

  lookups::Tlookup& screen(const QString& name) const {
    for (lookups::Tlookup* s : app->lookupScreens())
      if (s->objectName() == name) return *s;
    throw std::out_of_range(name.toStdString());
  }

  // Shows the screen with its navigator and grid asking their question of the test, which
  // answers with `answer`.
  lookups::Tlookup& open(const QString& name) {
    lookups::Tlookup& s = screen(name);
    auto confirm = [this](QWidget*, const QString& q) {
      questions << q;
      return answer;
    };
    s.navigator()->setConfirm(confirm);
    s.grid()->setConfirm(confirm);
    rf::app::Application::showModeless(&s);
    return s;
  }

  // One field of every record of a table, read by another program in the table's own order.
  QStringList stored(const QString& tableObject, const QString& field) const {
    auto engine = collection.otherEngine();
    const data::TableEntry& entry = data::catalogueEntry(tableObject);
    auto table = engine->open(data::openRequestFor(entry));
    std::unique_ptr<tables::Cursor> cursor;
    if (entry.orderKind == data::OrderKind::IndexName) {
      cursor = table->openCursor(entry.order.front().toStdString());
    } else if (entry.orderKind == data::OrderKind::KeyFields) {
      std::vector<std::string> fields;
      for (const QString& f : entry.order) fields.push_back(f.toStdString());
      cursor = table->openCursorOnFields(fields);
    } else {
      cursor = table->openCursor();
    }
    QStringList out;
    for (bool on = cursor->first(); on; on = cursor->next())
      out << QString::fromStdString(table->get(cursor->record(), field.toStdString()).asText());
    return out;
  }

  // Both fields of every stored record, "key=value".
  QStringList storedPairs(const QString& tableObject, const QString& key, const QString& value) const {
    const QStringList keys = stored(tableObject, key);
    const QStringList values = stored(tableObject, value);
    QStringList out;
    for (qsizetype i = 0; i < keys.size(); ++i) out << keys[i] + QLatin1Char('=') + values[i];
    return out;
  }

  // A column of the grid as shown, every row.
  static QStringList shown(const lookups::Tlookup& s, int column) {
    QAbstractItemModel* m = s.grid()->model();
    while (m->canFetchMore({})) m->fetchMore({});
    QStringList out;
    for (int r = 0; r < m->rowCount(); ++r) out << m->index(r, column).data().toString();
    return out;
  }

  Collection collection;
  std::unique_ptr<rf::app::Application> app;
  QStringList errors;
  QStringList questions;
  bool answer = true;
};

}  // namespace rf::testing
