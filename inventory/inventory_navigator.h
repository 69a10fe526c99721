#pragma once
// The record navigator the inventory screens share: the thirteen moving and editing buttons, then
// Close with the red door, flat buttons of the screen's size.

#include <QSize>

#include "controls/record_navigator.h"

namespace rf::inventory {

controls::RecordNavigator* makeInventoryNavigator(QWidget* parent, QSize buttonSize);

}  // namespace rf::inventory
