#include "app/main_window.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

#include "controls/command_runner.h"
#include "pictures/pictures.h"

namespace rf::app {

using pictures::picture;

Tmain::Tmain(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("main"));
  setWindowTitle(QStringLiteral("Railfolio Version 6.5"));
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("clientArea"));
  client->setAutoFillBackground(true);
  QPalette pal = client->palette();
  pal.setColor(QPalette::Window, Qt::white);
  client->setPalette(pal);
  setCentralWidget(client);
  buildMenus();
  buildToolbar();
  statusBar()->setObjectName(QStringLiteral("StatusBar"));
  statusBar()->setSizeGripEnabled(false);
}

QAction* Tmain::addCommand(QMenu* menu, QAction* before, const QString& objectName, const QString& caption,
                           const QString& pictureName, const QString& hint, std::function<void()> command) {
  auto* action = new QAction(picture(pictureName), caption, menu);
  action->setObjectName(objectName);
  // The whole hint: the hint tracker puts its long part in the status line.
  action->setStatusTip(hint);
  connect(action, &QAction::triggered, this, [this, command = std::move(command)] {
    controls::runCommand(this, command);
  });
  menu->insertAction(before, action);
  return action;
}

QAction* Tmain::fileAnchor(const QString& name) const {
  return file_->findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

void Tmain::buildMenus() {
  auto addMenu = [this](const QString& name, const QString& title, const QString& hint) {
    QMenu* m = menuBar()->addMenu(title);
    m->setObjectName(name);
    m->setSeparatorsCollapsible(true);
    m->menuAction()->setObjectName(name);
    m->menuAction()->setStatusTip(hint);
    return m;
  };
  file_ = addMenu(QStringLiteral("File1"), QStringLiteral("&File"), QStringLiteral("File related commands"));
  edit_ = addMenu(QStringLiteral("Edit1"), QStringLiteral("&Edit"), QStringLiteral("Edit commands"));
  reports_ = addMenu(QStringLiteral("Reports1"), QStringLiteral("&Reports"), {});
  help_ = addMenu(QStringLiteral("Help1"), QStringLiteral("&Help"), QStringLiteral("Help topics"));

  // The File menu's groups, each closed by a separator the screens insert their items before:
  // the inventory, the lookup tables, the preferences, the bulk delete, then E&xit.
  for (const char* name : {"sepLookups", "sepPreferences", "sepDelete", "sepExit"}) {
    QAction* sep = file_->addSeparator();
    sep->setObjectName(QString::fromLatin1(name));
  }
  addCommand(file_, nullptr, QStringLiteral("FileExitItem"), QStringLiteral("E&xit"), QStringLiteral("door.svg"),
             QStringLiteral("Exit|Exit application"), [this] { close(); });
}

void Tmain::buildToolbar() {
  auto* bar = new QToolBar(this);
  bar->setObjectName(QStringLiteral("ToolBar"));
  bar->setIconSize(QSize(32, 32));
  addToolBar(Qt::TopToolBarArea, bar);
  struct Button {
    const char* name;
    const char* picture;
  };
  for (const Button& b : {Button{"tbClose", "door.svg"}, Button{"tbInvenBrw", "crossing_signal.svg"},
                          Button{"tbRptMgr", "printer.svg"}, Button{"tbHelp", "help_page.svg"}}) {
    auto* button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(b.name));
    button->setIcon(picture(QString::fromLatin1(b.picture)));
    button->setIconSize(QSize(32, 32));
    button->setFixedSize(40, 40);
    button->setAutoRaise(true);
    button->setToolTip({});
    // Hidden until a command is attached (the report manager's arrives with the reports).
    bar->addWidget(button)->setVisible(false);
  }
  setToolCommand(QStringLiteral("tbClose"), [this] { close(); });
}

QToolButton* Tmain::toolButton(const QString& objectName) const { return findChild<QToolButton*>(objectName); }

void Tmain::setToolCommand(const QString& objectName, std::function<void()> command) {
  QToolButton* button = toolButton(objectName);
  disconnect(button, &QToolButton::clicked, this, nullptr);
  connect(button, &QToolButton::clicked, this, [this, command = std::move(command)] {
    controls::runCommand(this, command);
  });
  for (QAction* a : button->parentWidget()->actions())
    if (auto* wa = qobject_cast<QWidgetAction*>(a); wa && wa->defaultWidget() == button) wa->setVisible(true);
}

void Tmain::showHint(const QString& text) {
  if (text.isEmpty())
    statusBar()->clearMessage();
  else
    statusBar()->showMessage(text);
}

bool Tmain::event(QEvent* e) {
  // Qt's own status tips would show a "Short|Long" hint whole; the hint tracker shows them.
  if (e->type() == QEvent::StatusTip) return true;
  return QMainWindow::event(e);
}

void Tmain::closeEvent(QCloseEvent* event) {
  if (canClose && !canClose()) {
    event->ignore();
    return;
  }
  event->accept();
  emit closed();
}

}  // namespace rf::app
