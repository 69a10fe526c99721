#include "controls/screen_buttons.h"

#include <QPushButton>

#include "controls/command_runner.h"

namespace rf::controls {

QList<QPushButton*> makeScreenButtons(QWidget* parent, const std::vector<ScreenButton>& buttons,
                                      const ShowScreen& show) {
  QList<QPushButton*> made;
  for (const ScreenButton& b : buttons) {
    auto* button = new QPushButton(QString::fromLatin1(b.caption), parent);
    button->setObjectName(QString::fromLatin1(b.objectName));
    const QString screen = QString::fromLatin1(b.screen);
    QObject::connect(button, &QPushButton::clicked, button, [button, screen, &show] {
      if (show) runCommand(button->window(), [&] { show(screen); });
    });
    made << button;
  }
  return made;
}

}  // namespace rf::controls
