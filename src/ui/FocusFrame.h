#pragma once
// A one-pixel frame drawn over a view's viewport to mark where the keyboard focus came from. It
// stays until the view's contents move or it is cleared.

#include <QColor>
#include <QRect>

class QWidget;

class FocusFrame {
public:
    void set(QWidget* viewport, const QRect& rect, const QColor& color);
    void clear(QWidget* viewport);
    // Call at the end of the view's paintEvent.
    void paint(QWidget* viewport) const;

private:
    QRect rect_;
    QColor color_;
};
