#include "app/help.h"

#include <QDesktopServices>
#include <QUrl>

namespace rf::app {

QString& helpFileName() {
  static QString name;
  return name;
}

void showHelpContents() {
  if (helpFileName().isEmpty()) return;
  QDesktopServices::openUrl(QUrl::fromLocalFile(helpFileName()));
}

}  // namespace rf::app
