#pragma once
// The record navigator's fixed vocabulary: which buttons there are, their names and hints.

#include <QIcon>
#include <QString>
#include <array>

namespace rf::controls {

enum class NavButton { First, Prior, Next, Last, Insert, Edit, Cancel, Bookmark, GotoBookmark, Delete, Post, Refresh, Filter, Close };

inline constexpr std::array<NavButton, 14> kAllNavButtons = {
    NavButton::First,    NavButton::Prior,        NavButton::Next,   NavButton::Last, NavButton::Insert,
    NavButton::Edit,     NavButton::Cancel,       NavButton::Bookmark, NavButton::GotoBookmark,
    NavButton::Delete,   NavButton::Post,         NavButton::Refresh, NavButton::Filter, NavButton::Close};

// "First", "GotoBookmark", ...; a button's object name is "nav" followed by it.
QString navButtonName(NavButton b);
// The hint a screen shows for the button ("Move to first record", ...).
QString navButtonHint(NavButton b);
// Move buttons repeat while held.
bool isMoveButton(NavButton b);
// A small picture drawn for the button (no image files).
QIcon navButtonIcon(NavButton b);

}  // namespace rf::controls
