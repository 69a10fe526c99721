#pragma once
// The help commands. The application names no help file, so asking for the contents shows and
// reports nothing; a help file named later would be opened by the desktop.

#include <QString>

namespace rf::app {

QString& helpFileName();
void showHelpContents();

}  // namespace rf::app
