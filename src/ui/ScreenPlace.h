#pragma once
// Keeping a window (a dialog, the hint for a long title) on the screen it is meant for.

#include <QRect>
#include <algorithm>

// rect moved, not resized, as far into area as it fits; its top left corner always ends inside.
inline QRect movedInside(QRect rect, const QRect& area) {
    rect.moveRight(std::min(rect.right(), area.right()));
    rect.moveBottom(std::min(rect.bottom(), area.bottom()));
    rect.moveLeft(std::max(rect.left(), area.left()));
    rect.moveTop(std::max(rect.top(), area.top()));
    return rect;
}
