#include "controls/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace rf::controls {

void centreOnScreen(QWidget& window) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}

}  // namespace rf::controls
