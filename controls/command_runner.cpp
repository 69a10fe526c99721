#include "controls/command_runner.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <exception>

namespace rf::controls {

namespace {

ErrorPresenter& presenter() {
  static ErrorPresenter p;
  return p;
}

}  // namespace

QString errorBoxText(const QString& message) {
  if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
  return message;
}

void showError(QWidget* parent, const QString& message) {
  const QString text = errorBoxText(message);
  if (presenter()) {
    presenter()(parent, text);
    return;
  }
  QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
  box.exec();
}

bool runCommand(QWidget* parent, const std::function<void()>& command) {
  try {
    command();
    return true;
  } catch (const std::exception& e) {
    showError(parent, QString::fromUtf8(e.what()));
  } catch (...) {
    showError(parent, QStringLiteral("Unknown failure"));
  }
  return false;
}

void setErrorPresenter(ErrorPresenter p) { presenter() = std::move(p); }

}  // namespace rf::controls
