#pragma once
// The application's own pictures (menus, toolbar, navigator buttons, about box): SVG drawings,
// crisp at any scale, compiled into the program.

#include <QIcon>
#include <QString>

namespace rf::pictures {

// By file name, e.g. "door.svg"; an empty name gives no picture.
QIcon picture(const QString& name);

}  // namespace rf::pictures
