#pragma once
// Rendering widgets into images and reading their pixels, for tests of what a control paints.

#include <QColor>
#include <QImage>
#include <QWidget>

inline QImage renderOf(QWidget& w) {
    QImage img(w.size(), QImage::Format_RGB32);
    img.fill(Qt::white);
    w.render(&img);
    return img;
}

// The pixel as 0xAARRGGBB with full alpha, comparable with QColor::rgb().
inline QRgb pixelAt(const QImage& img, int x, int y) {
    return img.pixel(x, y) | 0xFF000000u;
}
inline QRgb pixelAt(const QImage& img, QPoint p) {
    return pixelAt(img, p.x(), p.y());
}

inline int countColour(const QImage& img, const QColor& c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += pixelAt(img, x, y) == c.rgb();
    return n;
}
