#pragma once
// The question the grids and navigators ask before a delete, in a box with OK and Cancel.

#include <QString>

class QWidget;

namespace rf::controls {

inline const QString kDeleteQuestion = QStringLiteral("Delete record?");

// A modal question captioned with the application's title; true for OK (the default button).
bool askOkCancel(QWidget* parent, const QString& question);

}  // namespace rf::controls
