#include "inventory/inventory_navigator.h"

#include <QToolButton>

#include "pictures/pictures.h"

namespace rf::inventory {

using controls::NavButton;

controls::RecordNavigator* makeInventoryNavigator(QWidget* parent, QSize buttonSize) {
  auto* navigator = new controls::RecordNavigator(parent);
  navigator->setObjectName(QStringLiteral("wwDBNavigator1"));
  navigator->setButtons({NavButton::First, NavButton::Prior, NavButton::Next, NavButton::Last, NavButton::Insert,
                         NavButton::Edit, NavButton::Cancel, NavButton::Bookmark, NavButton::GotoBookmark,
                         NavButton::Delete, NavButton::Post, NavButton::Refresh, NavButton::Filter,
                         NavButton::Close});
  navigator->button(NavButton::Close)->setIcon(pictures::picture(QStringLiteral("close_door_red.svg")));
  for (NavButton b : navigator->buttons()) {
    QToolButton* w = navigator->button(b);
    w->setAutoRaise(true);
    w->setFixedSize(buttonSize);
    w->setIconSize(QSize(16, 16));
  }
  return navigator;
}

}  // namespace rf::inventory
