#include "ui/Pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace {

const QColor ink(0x20, 0x30, 0x50);

QPixmap blank(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPixmap triangles(bool forward, int count) {
    QPixmap pixmap = blank(16);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    const int width = 12 / count;
    for (int i = 0; i < count; ++i) {
        const qreal x0 = 2 + i * width;
        QPainterPath path;
        if (forward) {
            path.moveTo(x0, 3);
            path.lineTo(x0 + width, 8);
            path.lineTo(x0, 13);
        } else {
            path.moveTo(x0 + width, 3);
            path.lineTo(x0, 8);
            path.lineTo(x0 + width, 13);
        }
        path.closeSubpath();
        painter.drawPath(path);
    }
    return pixmap;
}

} // namespace

QPixmap startPicture() {
    return triangles(true, 1);
}

QPixmap stopPicture() {
    QPixmap pixmap = blank(16);
    QPainter painter(&pixmap);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawRect(4, 3, 3, 10);
    painter.drawRect(9, 3, 3, 10);
    return pixmap;
}

QPixmap previousPicture() {
    return triangles(false, 2);
}

QPixmap nextPicture() {
    return triangles(true, 2);
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {32, 24, 16}) {
        QPixmap pixmap = blank(size);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal u = size / 16.0;
        painter.setPen(QPen(ink, u));
        painter.setBrush(QColor(0xA6, 0xCA, 0xF0));
        painter.drawRoundedRect(QRectF(0.5 * u, 0.5 * u, 15 * u, 15 * u), 3 * u, 3 * u);
        painter.setBrush(ink);
        painter.drawEllipse(QRectF(3 * u, 9.5 * u, 4 * u, 3 * u));
        painter.drawEllipse(QRectF(9 * u, 8.5 * u, 4 * u, 3 * u));
        painter.drawLine(QPointF(6.8 * u, 11 * u), QPointF(6.8 * u, 3.5 * u));
        painter.drawLine(QPointF(12.8 * u, 10 * u), QPointF(12.8 * u, 2.5 * u));
        painter.drawLine(QPointF(6.8 * u, 3.5 * u), QPointF(12.8 * u, 2.5 * u));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
