#include "app/pending_changes.h"

#include <QGuiApplication>
#include <QMessageBox>

#include "controls/command_runner.h"
#include "dataset/dataset.h"

namespace rf::app {

namespace {

bool pending(const dataset::Dataset* t) {
  return t->state() == dataset::DatasetState::Edit || t->state() == dataset::DatasetState::Insert;
}

}  // namespace

PendingAnswer askAboutPendingChanges(QWidget* parent) {
  auto answer = QMessageBox::question(parent, QGuiApplication::applicationDisplayName(), kPendingQuestion,
                                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
  if (answer == QMessageBox::Yes) return PendingAnswer::Save;
  if (answer == QMessageBox::No) return PendingAnswer::Discard;
  return PendingAnswer::Keep;
}

bool resolvePendingChanges(QWidget* parent, const std::vector<dataset::Dataset*>& tables,
                           const std::function<PendingAnswer(QWidget*)>& ask) {
  std::vector<dataset::Dataset*> open;
  for (auto* t : tables)
    if (t && pending(t)) open.push_back(t);
  if (open.empty()) return true;
  switch (ask(parent)) {
    case PendingAnswer::Keep:
      return false;
    case PendingAnswer::Discard:
      for (auto* t : open) t->cancel();
      return true;
    case PendingAnswer::Save:
      for (auto* t : open)
        if (pending(t) && !controls::runCommand(parent, [t] { t->post(); })) return false;
      return true;
  }
  return false;
}

}  // namespace rf::app
