#include "ui/TrackBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionSlider>
#include <QToolTip>
#include <algorithm>

namespace {

// An outline on the pixels l..r-1, t..b-1 (right and bottom exclusive), optionally filled: the channel
// recipe is given in these terms, so keeping them makes the edges land on exactly the intended pixels.
void frameRect(QPainter& p, int l, int t, int r, int b, const QColor& pen, const QColor* fill = nullptr) {
    if (r <= l || b <= t) return;
    if (fill) p.fillRect(QRect(l, t, r - l, b - t), *fill);
    p.fillRect(QRect(l, t, r - l, 1), pen);
    p.fillRect(QRect(l, b - 1, r - l, 1), pen);
    p.fillRect(QRect(l, t, 1, b - t), pen);
    p.fillRect(QRect(r - 1, t, 1, b - t), pen);
}

// The thumb: a rectangle, or with tick marks on one side a body with a point towards the ticks. The
// points run clockwise on screen, which the edge shading below relies on.
QPolygon thumbShape(const QRect& r, QSlider::TickPosition ticks, Qt::Orientation o) {
    const int l = r.left(), t = r.top(), rr = r.right(), bb = r.bottom();
    if (ticks == QSlider::NoTicks || ticks == QSlider::TicksBothSides)
        return QPolygon({QPoint(l, t), QPoint(rr, t), QPoint(rr, bb), QPoint(l, bb)});
    if (o == Qt::Horizontal) {
        const int point = std::max(0, std::min((r.width() - 1) / 2, r.height() / 2));
        const int mid = l + (r.width() - 1) / 2;
        if (ticks == QSlider::TicksBelow)
            return QPolygon({QPoint(l, t), QPoint(rr, t), QPoint(rr, bb - point), QPoint(mid, bb),
                             QPoint(l, bb - point)});
        return QPolygon(
            {QPoint(l, bb), QPoint(l, t + point), QPoint(mid, t), QPoint(rr, t + point), QPoint(rr, bb)});
    }
    const int point = std::max(0, std::min((r.height() - 1) / 2, r.width() / 2));
    const int mid = t + (r.height() - 1) / 2;
    if (ticks == QSlider::TicksRight)
        return QPolygon(
            {QPoint(l, t), QPoint(rr - point, t), QPoint(rr, mid), QPoint(rr - point, bb), QPoint(l, bb)});
    return QPolygon(
        {QPoint(rr, t), QPoint(rr, bb), QPoint(l + point, bb), QPoint(l, mid), QPoint(l + point, t)});
}

// Edges facing up or left catch the light, the others lie in shadow, so the thumb looks raised.
void shadeEdges(QPainter& p, const QPolygon& poly, const QColor& light, const QColor& shadow) {
    for (int i = 0; i < poly.size(); ++i) {
        const QPoint a = poly[i];
        const QPoint b = poly[(i + 1) % poly.size()];
        const int nx = (b.y() > a.y()) - (b.y() < a.y()); // outward normal of a clockwise polygon
        const int ny = (a.x() > b.x()) - (a.x() < b.x());
        const bool lit = nx + ny < 0 || (nx + ny == 0 && nx < 0);
        p.setPen(lit ? light : shadow);
        p.drawLine(a, b);
    }
}

} // namespace

TrackBar::TrackBar(QWidget* parent) : QSlider(parent) {
    init();
}

TrackBar::TrackBar(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {
    init();
}

TrackBar::~TrackBar() = default;

void TrackBar::init() {
    connect(this, &QSlider::sliderMoved, this, [this] {
        if (autoHint_) showPositionTip();
    });
}

void TrackBar::setSelectionRangeEnabled(bool on) {
    if (on == selectionRangeEnabled_) return;
    selectionRangeEnabled_ = on;
    update();
}

void TrackBar::setSelectionStart(int v) {
    v = std::clamp(v, minimum(), maximum());
    if (v == selectionStart_) return;
    selectionStart_ = v;
    update();
}

void TrackBar::setSelectionEnd(int v) {
    v = std::clamp(v, minimum(), maximum());
    if (v == selectionEnd_) return;
    selectionEnd_ = v;
    update();
}

void TrackBar::setDrawFocusRect(bool on) {
    if (on == drawFocusRect_) return;
    drawFocusRect_ = on;
    update();
}

void TrackBar::setAutoHint(bool on) {
    autoHint_ = on;
    if (!on) QToolTip::hideText();
}

QColor TrackBar::thumbColor() const {
    return thumbColor_.isValid() ? thumbColor_ : palette().color(QPalette::Button);
}
QColor TrackBar::trackColor() const {
    return trackColor_.isValid() ? trackColor_ : palette().color(QPalette::Button);
}
QColor TrackBar::lightColor() const {
    return lightColor_.isValid() ? lightColor_ : palette().color(QPalette::Light);
}
QColor TrackBar::shadowColor() const {
    return shadowColor_.isValid() ? shadowColor_ : palette().color(QPalette::Dark);
}
QColor TrackBar::borderColor() const {
    return borderColor_.isValid() ? borderColor_ : QColor(Qt::black);
}
QColor TrackBar::color() const {
    return color_.isValid() ? color_ : palette().color(QPalette::Button);
}

void TrackBar::setColorSlot(QColor& slot, const QColor& c) {
    if (slot == c) return;
    slot = c;
    update();
}
void TrackBar::setThumbColor(const QColor& c) {
    setColorSlot(thumbColor_, c);
}
void TrackBar::setTrackColor(const QColor& c) {
    setColorSlot(trackColor_, c);
}
void TrackBar::setLightColor(const QColor& c) {
    setColorSlot(lightColor_, c);
}
void TrackBar::setShadowColor(const QColor& c) {
    setColorSlot(shadowColor_, c);
}
void TrackBar::setBorderColor(const QColor& c) {
    setColorSlot(borderColor_, c);
}
void TrackBar::setColor(const QColor& c) {
    setColorSlot(color_, c);
}

void TrackBar::setDrawStyle(DrawStyle s) {
    if (s == drawStyle_) return;
    drawStyle_ = s;
    update();
}

void TrackBar::setGlyph(const QImage& glyph) {
    glyph_ = glyph;
    keyedGlyph_ = QImage();
    if (!glyph.isNull()) {
        keyedGlyph_ = glyph.convertToFormat(QImage::Format_ARGB32);
        const QRgb key = keyedGlyph_.pixel(0, 0);
        for (int y = 0; y < keyedGlyph_.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(keyedGlyph_.scanLine(y));
            std::replace(line, line + keyedGlyph_.width(), key, QRgb(0));
        }
    }
    update();
}

QRect TrackBar::channelRect() const {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
}

QRect TrackBar::thumbRect() const {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
}

void TrackBar::showPositionTip() {
    const QRect thumb = thumbRect();
    const QPoint at = orientation() == Qt::Horizontal ? thumb.topLeft() - QPoint(0, thumb.height())
                                                      : thumb.topLeft() - QPoint(thumb.width() * 2, 0);
    QToolTip::showText(mapToGlobal(at), QString::number(value()), this);
}

void TrackBar::fireMouse(const MouseHandler& handler, bool down, QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    // A handler that fails must not take the control's own mouse handling with it.
    try {
        if (handler) handler(event->button(), event->modifiers(), pos.x(), pos.y());
    } catch (...) {
    }
    try {
        if (down)
            emit mouseDown(event->button(), event->modifiers(), pos.x(), pos.y());
        else
            emit mouseUp(event->button(), event->modifiers(), pos.x(), pos.y());
    } catch (...) {
    }
}

void TrackBar::mousePressEvent(QMouseEvent* event) {
    QSlider::mousePressEvent(event);
    // Keep every button's press, so its release comes back here for onMouseUp.
    event->accept();
    if (autoHint_ && isSliderDown()) showPositionTip();
    fireMouse(onMouseDown, true, event);
}

void TrackBar::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    event->accept();
    if (autoHint_) QToolTip::hideText();
    fireMouse(onMouseUp, false, event);
}

void TrackBar::paintSelection(QPainter& p, const QStyleOptionSlider& opt) const {
    if (selectionEnd_ <= selectionStart_) return;
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    const bool horizontal = opt.orientation == Qt::Horizontal;
    const int len = horizontal ? handle.width() : handle.height();
    const int span = (horizontal ? groove.width() : groove.height()) - len;
    auto at = [&](int v) {
        return (horizontal ? groove.left() : groove.top()) + len / 2 +
               QStyle::sliderPositionFromValue(opt.minimum, opt.maximum, v, span, opt.upsideDown);
    };
    const int a = std::min(at(selectionStart_), at(selectionEnd_));
    const int b = std::max(at(selectionStart_), at(selectionEnd_));
    const QRect band = horizontal ? QRect(a, groove.top() + 2, b - a + 1, groove.height() - 4)
                                  : QRect(groove.left() + 2, a, groove.width() - 4, b - a + 1);
    p.fillRect(band, palette().color(QPalette::Highlight));
}

void TrackBar::paintChannel(QPainter& p, const QRect& r) const {
    const int l = r.left(), t = r.top(), rr = r.left() + r.width(), b = r.top() + r.height();
    const QColor track = trackColor();
    if (drawStyle_ == DrawStyle::Special) {
        // Dark outline, then a shadow ring whose bottom-right is relit, so the groove looks sunken.
        frameRect(p, l, t, rr, b, borderColor());
        frameRect(p, l + 1, t + 1, rr - 1, b - 1, shadowColor());
        frameRect(p, l + 2, t + 2, rr - 1, b - 1, lightColor());
        frameRect(p, l + 2, t + 2, rr - 2, b - 2, track, &track);
    } else {
        frameRect(p, l, t, rr - 1, b, shadowColor());
        frameRect(p, l + 1, t + 1, rr - 1, b, lightColor());
        frameRect(p, l + 1, t + 1, rr - 2, b - 1, track, &track);
    }
}

void TrackBar::paintThumb(QPainter& p, const QRect& r) const {
    const QPolygon outer = thumbShape(r, tickPosition(), orientation());
    p.setPen(thumbColor());
    p.setBrush(thumbColor());
    p.drawPolygon(outer);
    if (drawStyle_ == DrawStyle::Special) {
        if (r.width() > 2 && r.height() > 2)
            shadeEdges(p, thumbShape(r.adjusted(1, 1, -1, -1), tickPosition(), orientation()), lightColor(),
                       shadowColor());
        p.setPen(borderColor());
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(outer);
    } else {
        shadeEdges(p, outer, lightColor(), shadowColor());
    }
}

void TrackBar::sliderChange(SliderChange change) {
    if (change != SliderValueChange || !paintedOption_) {
        QSlider::sliderChange(change);
        return;
    }
    // The painted layout with the new value: anything else that changed since has asked for a whole
    // repaint of its own.
    paintedOption_->sliderPosition = sliderPosition();
    paintedOption_->sliderValue = value();
    const QRect thumb = style()->subControlRect(QStyle::CC_Slider, paintedOption_.get(), QStyle::SC_SliderHandle, this);
    if (thumb == paintedThumb_) return;
    // Styles may fill the groove up to the thumb and draw its outline a little outside its rectangle,
    // so the whole stretch between the two places is repainted, across the bar, with a margin.
    constexpr int margin = 3;
    const QRect span = thumb.united(paintedThumb_);
    update(orientation() == Qt::Horizontal
               ? QRect(span.left() - margin, 0, span.width() + 2 * margin, height())
               : QRect(0, span.top() - margin, width(), span.height() + 2 * margin));
}

void TrackBar::paintEvent(QPaintEvent* event) {
    if (!paintedOption_) paintedOption_ = std::make_unique<QStyleOptionSlider>();
    initStyleOption(paintedOption_.get());
    paintedThumb_ = style()->subControlRect(QStyle::CC_Slider, paintedOption_.get(), QStyle::SC_SliderHandle, this);
    if (drawStyle_ == DrawStyle::Normal && !selectionRangeEnabled_) {
        QSlider::paintEvent(event);
        return;
    }
    QPainter p(this);
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const bool ticks = tickPosition() != QSlider::NoTicks;

    if (drawStyle_ == DrawStyle::Normal) {
        // The style's own slider, with the selection band between groove and handle.
        opt.subControls = QStyle::SC_SliderGroove;
        if (ticks) opt.subControls |= QStyle::SC_SliderTickmarks;
        style()->drawComplexControl(QStyle::CC_Slider, &opt, &p, this);
        paintSelection(p, opt);
        opt.subControls = QStyle::SC_SliderHandle;
        style()->drawComplexControl(QStyle::CC_Slider, &opt, &p, this);
        return;
    }

    p.fillRect(rect(), color());
    if (ticks) {
        // The tick marks stay visible over the own background; they tell where the thumb points.
        opt.subControls = QStyle::SC_SliderTickmarks;
        style()->drawComplexControl(QStyle::CC_Slider, &opt, &p, this);
    }
    paintChannel(p, style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this));
    if (selectionRangeEnabled_) paintSelection(p, opt);
    const QRect thumb = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    paintThumb(p, thumb);
    if (drawStyle_ == DrawStyle::Flat && drawFocusRect_ && hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect();
        focus.backgroundColor = color();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
    if (!keyedGlyph_.isNull()) p.drawImage(thumb, keyedGlyph_);
}
