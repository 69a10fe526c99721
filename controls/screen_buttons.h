#pragma once
// Buttons that show other screens by their object name ("fmIndustry", ...), through a function the
// application gives: the screens belong to the application, not to the screen with the buttons.

#include <QList>
#include <QString>
#include <functional>
#include <vector>

class QPushButton;
class QWidget;

namespace rf::controls {

using ShowScreen = std::function<void(const QString& screenObjectName)>;

struct ScreenButton {
  const char* objectName;
  const char* caption;
  const char* screen;
};

// One button per entry, in order. A click calls `show` as it is then (it may be set after the
// buttons are made, and must outlive them); a failure goes to the error box.
QList<QPushButton*> makeScreenButtons(QWidget* parent, const std::vector<ScreenButton>& buttons,
                                      const ShowScreen& show);

}  // namespace rf::controls
