#pragma once
// Where a screen first appears.

class QWidget;

namespace rf::controls {

// Moves the window, frame included, to the middle of the primary screen's work area.
void centreOnScreen(QWidget& window);

}  // namespace rf::controls
