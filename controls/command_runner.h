#pragma once
// The one place where a user command's failure is caught: the command stops at the failing step
// (what earlier steps did stays done) and its message goes to the error box, captioned with the
// application's title, with an error icon and OK. Nothing else in the application catches.

#include <QString>
#include <functional>

class QWidget;

namespace rf::controls {

// The text the error box shows: the message with a full stop added when its last character
// sorts after "." (so "Disk full" gets one, "Disk full." and "(see log)" do not).
QString errorBoxText(const QString& message);

// Shows the error box (or hands the text to the presenter a test installed).
void showError(QWidget* parent, const QString& message);

// Runs `command`; any exception it throws ends it and is shown with showError. Returns whether
// the command ran to its end.
bool runCommand(QWidget* parent, const std::function<void()>& command);

// Tests replace the modal box; an empty function puts the box back.
using ErrorPresenter = std::function<void(QWidget* parent, const QString& text)>;
void setErrorPresenter(ErrorPresenter presenter);

}  // namespace rf::controls
