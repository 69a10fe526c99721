#pragma once
// "Delete Records": after the question, empties the inventory table and then the waybill table,
// each closed, emptied by file name (the engine takes exclusive use meanwhile) and opened again.
// The counters are left alone, so numbering goes on.

#include <QString>
#include <functional>

class QWidget;

namespace rf::inventory {
class TfmInvenBrw;
}

namespace rf::app {

inline const QString kBulkDeleteQuestion =
    QStringLiteral("Would you like to delete all of the information in the Inventory and Waybill file?");

// Asks the "Confirm" question (Yes is the default, Esc answers No); true for Yes.
bool confirmBulkDelete(QWidget* parent);

// The emptying itself. A refused step stops there with the engine's error; the table whose
// emptying was refused is opened again, so its screens keep working.
void deleteAllRecords(inventory::TfmInvenBrw& browse);

// The command: question, then the emptying. Tests replace the question.
void DeleteRecords1Click(QWidget* parent, inventory::TfmInvenBrw& browse,
                         const std::function<bool(QWidget*)>& confirm = confirmBulkDelete);

}  // namespace rf::app
