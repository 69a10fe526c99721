#pragma once
// Closing the application with a change still pending in a table: the user is asked whether to
// save it (Yes saves, No drops, Cancel keeps the application open) instead of losing it quietly.

#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace rf::dataset {
class Dataset;
}

namespace rf::app {

enum class PendingAnswer { Save, Discard, Keep };

inline const QString kPendingQuestion =
    QStringLiteral("Some changes have not been saved yet. Save them before Railfolio closes?");

PendingAnswer askAboutPendingChanges(QWidget* parent);

// True when the application may close. Saving goes through the command runner: a refused save
// keeps the application open with the change still pending.
bool resolvePendingChanges(QWidget* parent, const std::vector<dataset::Dataset*>& tables,
                           const std::function<PendingAnswer(QWidget*)>& ask = askAboutPendingChanges);

}  // namespace rf::app
