#include "ui/FocusFrame.h"

#include <QPainter>
#include <QWidget>

void FocusFrame::set(QWidget* viewport, const QRect& rect, const QColor& color) {
    rect_ = rect;
    color_ = color;
    viewport->update();
}

void FocusFrame::clear(QWidget* viewport) {
    if (rect_.isNull()) return;
    rect_ = QRect();
    viewport->update();
}

void FocusFrame::paint(QWidget* viewport) const {
    if (rect_.isNull()) return;
    QPainter painter(viewport);
    painter.setPen(color_);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect_.adjusted(0, 0, -1, -1));
}
