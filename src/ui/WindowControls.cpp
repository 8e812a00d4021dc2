#include "ui/WindowControls.h"

#include "ui/BitmapCheckBox.h"
#include "ui/TrackBar.h"

#include <QPainter>

namespace {

TrackBar* makeBar(QWidget* parent, const char* name, const QRect& geometry, int min, int max, int value) {
    auto* bar = new TrackBar(Qt::Horizontal, parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setRange(min, max);
    bar->setValue(value);
    bar->setTickPosition(QSlider::NoTicks);
    bar->setGeometry(geometry);
    return bar;
}

} // namespace

TrackBar* makePositionBar(QWidget* parent) {
    return makeBar(parent, "positionBar", QRect(0, 72, 150, 25), 0, 1000, 0);
}

TrackBar* makeVolumeBar(QWidget* parent) {
    return makeBar(parent, "volumeBar", QRect(0, 168, 150, 25), 20, 100, 30);
}

BitmapCheckBox* makeLevellingBox(QWidget* parent) {
    auto* box = new BitmapCheckBox(parent);
    box->setObjectName(QStringLiteral("levellingBox"));
    box->setCaption(QStringLiteral("Lautstärke anpassen"));
    box->setCheckStyle(BitmapCheckBox::CheckStyle::Bitmap);
    box->setGlyph(levellingCheckGlyph());
    box->setNumGlyphs(2);
    box->setCheckSize(16);
    box->setCheckLayout(BitmapCheckBox::CheckLayout::Center);
    box->setSpacing(4);
    box->setGeometry(8, 130, 116, 29);
    return box;
}

QImage levellingCheckGlyph() {
    constexpr int cell = 16;
    QImage img(2 * cell, cell, QImage::Format_ARGB32);
    img.fill(QColor(0xFF, 0x00, 0xFF));
    QPainter p(&img);
    for (int c = 0; c < 2; ++c) {
        const int x = c * cell;
        p.fillRect(x + 1, 1, cell - 2, cell - 2, QColor(0x40, 0x40, 0x40));
        p.fillRect(x + 2, 2, cell - 4, cell - 4, Qt::white);
    }
    // The tick of the checked cell, drawn hard-edged so no pixel blends into the key colour.
    QPen tick(QColor(0x10, 0x70, 0x20), 2);
    p.setPen(tick);
    p.drawPolyline(QPolygon({QPoint(cell + 4, 8), QPoint(cell + 7, 11), QPoint(cell + 12, 4)}));
    return img;
}
