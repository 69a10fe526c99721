#pragma once
// The main window `main`: a frame around the menu bar, the toolbar and the status line. It holds
// no data; each menu item or button hands its command to the screen or operation that owns it.

#include <QMainWindow>
#include <functional>

class QAction;
class QMenu;
class QToolButton;

namespace rf::app {

class Tmain : public QMainWindow {
  Q_OBJECT

 public:
  explicit Tmain(QWidget* parent = nullptr);

  // The menus later screens add their items to.
  QMenu* fileMenu() const { return file_; }
  QMenu* editMenu() const { return edit_; }
  QMenu* reportsMenu() const { return reports_; }
  QMenu* helpMenu() const { return help_; }

  // Adds an item before the File menu's anchor `before` (nullptr: at the end); the command runs
  // through the command runner.
  QAction* addCommand(QMenu* menu, QAction* before, const QString& objectName, const QString& caption,
                      const QString& picture, const QString& hint, std::function<void()> command);
  // The separator a group of File items is placed before.
  QAction* fileAnchor(const QString& name) const;

  QToolButton* toolButton(const QString& objectName) const;
  void setToolCommand(const QString& objectName, std::function<void()> command);
  // Whether closing may go on: asked of every screen with a change pending.
  std::function<bool()> canClose;

 public slots:
  void showHint(const QString& text);

 signals:
  // The window closed: the run ends.
  void closed();

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenus();
  void buildToolbar();

  QMenu* file_ = nullptr;
  QMenu* edit_ = nullptr;
  QMenu* reports_ = nullptr;
  QMenu* help_ = nullptr;
};

}  // namespace rf::app
