#include "app/WindowPlacement.h"

#include <algorithm>

QPoint reachablePosition(QPoint saved, QSize window, const QList<QRect>& areas) {
    const QRect strip(saved, QSize(window.width(), titleStripHeight));
    for (const QRect& area : areas)
        if (area.intersects(strip)) return saved;
    if (areas.isEmpty()) return saved;
    // Wholly inside the primary area where it fits; a window larger than the area keeps its top left
    // corner in it.
    const QRect& primary = areas.constFirst();
    const auto inside = [](int value, int low, int high) {
        return std::clamp(value, low, std::max(low, high));
    };
    return {inside(saved.x(), primary.left(), primary.right() + 1 - window.width()),
            inside(saved.y(), primary.top(), primary.bottom() + 1 - window.height())};
}
