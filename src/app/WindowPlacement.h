#pragma once
// Where the borderless window goes at start: it can only be moved by its title strip, so a saved
// position that leaves the strip on no screen (a monitor since unplugged, a smaller screen) would put
// it out of reach.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// The window's size with its two-pixel frame; its top titleStripHeight pixels are the strip it is
// dragged by.
constexpr QSize windowOuterSize{844, 224};
constexpr int titleStripHeight = 20;

// saved, when some of the title strip of a window of this size lies in one of areas; else the place
// nearest to saved inside the first area (the primary screen's). No areas: saved.
QPoint reachablePosition(QPoint saved, QSize window, const QList<QRect>& areas);
