#include "ui/BitmapCheckBox.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

namespace {

const QColor grayedFill(0x80, 0x80, 0x80);

// The caption as shown: "&" marks the accelerator and is not drawn, "&&" shows one "&".
QString shownText(const QString& caption) {
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (++i == caption.size()) break;
        }
        out += caption[i];
    }
    return out;
}

} // namespace

BitmapCheckBox::BitmapCheckBox(QWidget* parent) : QWidget(parent) {
    resize(90, 15);
    hoverFontColor_ = palette().color(QPalette::WindowText);
    // mouseMoved reports every move, not only drags.
    setMouseTracking(true);
}

BitmapCheckBox::~BitmapCheckBox() = default;

// --- state ---

void BitmapCheckBox::setState(CheckState s) {
    if (s == state_) return;
    state_ = s;
    if (s == CheckState::Checked)
        checked_ = true;
    else if (s == CheckState::Unchecked)
        checked_ = false;
    changeStep();
    update();
}

void BitmapCheckBox::setChecked(bool on) {
    if (on == checked_) return;
    checked_ = on;
    setState(on ? CheckState::Checked : CheckState::Unchecked);
    update();
}

void BitmapCheckBox::changeStep() {
    if (checked_ && grouped_) uncheckGroupSiblings();
    emit changed();
}

void BitmapCheckBox::uncheckGroupSiblings() {
    QWidget* parent = parentWidget();
    if (!parent) return;
    const auto siblings = parent->findChildren<BitmapCheckBox*>(Qt::FindDirectChildrenOnly);
    for (BitmapCheckBox* other : siblings)
        if (other != this && other->grouped_ && other->checked_) other->setChecked(false);
}

void BitmapCheckBox::setGrouped(bool on) {
    if (on == grouped_) return;
    grouped_ = on;
    if (on && checked_) uncheckGroupSiblings();
}

// --- look and size ---

void BitmapCheckBox::setCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    updateShortcut();
    // A new caption needs a new width just as a new font does.
    adjustSize_();
    update();
}

void BitmapCheckBox::setAlignment(CaptionAlignment a) {
    if (a == alignment_) return;
    alignment_ = a;
    update();
}

void BitmapCheckBox::setAutoSize(bool on) {
    if (on == autoSize_) return;
    autoSize_ = on;
    applyCellWidth();
    adjustSize_();
}

void BitmapCheckBox::setCheckSize(int size) {
    size = std::max(0, size);
    if (size == checkSize_) return;
    checkSize_ = size;
    adjustSize_();
    update();
}

QColor BitmapCheckBox::color() const {
    return color_.isValid() ? color_ : palette().color(QPalette::Button);
}

void BitmapCheckBox::setColor(const QColor& c) {
    if (c == color_) return;
    color_ = c;
    update();
}

void BitmapCheckBox::setGlyph(const QImage& glyph) {
    glyph_ = glyph;
    keyedGlyph_ = QImage();
    if (!glyph.isNull()) {
        keyedGlyph_ = glyph.convertToFormat(QImage::Format_ARGB32);
        const QRgb key = keyedGlyph_.pixel(0, keyedGlyph_.height() - 1);
        for (int y = 0; y < keyedGlyph_.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(keyedGlyph_.scanLine(y));
            std::replace(line, line + keyedGlyph_.width(), key, QRgb(0));
        }
    }
    applyCellWidth();
    adjustSize_();
    update();
}

void BitmapCheckBox::setNumGlyphs(int n) {
    n = std::max(1, n);
    if (n == numGlyphs_) return;
    numGlyphs_ = n;
    applyCellWidth();
    update();
}

void BitmapCheckBox::applyCellWidth() {
    if (style_ == CheckStyle::Bitmap && autoSize_ && !glyph_.isNull())
        setCheckSize(glyph_.width() / numGlyphs_);
}

void BitmapCheckBox::setHoverActive(bool on) {
    if (on == hoverActive_) return;
    hoverActive_ = on;
    repaintWhileHovering();
}

QColor BitmapCheckBox::hoverColor() const {
    return hoverColor_.isValid() ? hoverColor_ : palette().color(QPalette::Button);
}

void BitmapCheckBox::setHoverColor(const QColor& c) {
    if (c == hoverColor_) return;
    hoverColor_ = c;
    repaintWhileHovering();
}

void BitmapCheckBox::setHoverCursor(const QCursor& c) {
    hoverCursor_ = c;
    if (hovering_) setCursor(c);
}

void BitmapCheckBox::setHoverFontColor(const QColor& c) {
    if (c == hoverFontColor_) return;
    hoverFontColor_ = c;
    repaintWhileHovering();
}

void BitmapCheckBox::setUnderlineOnEnter(bool on) {
    if (on == underlineOnEnter_) return;
    underlineOnEnter_ = on;
    repaintWhileHovering();
}

void BitmapCheckBox::repaintWhileHovering() {
    if (hovering_) update();
}

void BitmapCheckBox::setCheckLayout(CheckLayout l) {
    if (l == layout_) return;
    layout_ = l;
    update();
}

void BitmapCheckBox::setSpacing(int pixels) {
    if (pixels == spacing_) return;
    spacing_ = pixels;
    adjustSize_();
    update();
}

void BitmapCheckBox::setCheckStyle(CheckStyle s) {
    if (s == CheckStyle::RadioButton) setGrouped(true);
    if (s == CheckStyle::CheckBox) setGrouped(false);
    if (s == style_) return;
    style_ = s;
    applyCellWidth();
    adjustSize_();
    update();
}

void BitmapCheckBox::setTransparent(bool on) {
    if (on == transparent_) return;
    transparent_ = on;
    update();
}

void BitmapCheckBox::setWordWrap(bool on) {
    if (on == wordWrap_) return;
    wordWrap_ = on;
    adjustSize_();
    update();
}

QSize BitmapCheckBox::autoSizeHint() const {
    const QFontMetrics fm(font());
    // An empty caption still takes the room of one blank, so the box keeps a text line's height.
    const bool blank = caption_.isEmpty() || caption_ == QLatin1String("&");
    const int textWidth = fm.horizontalAdvance(blank ? QStringLiteral(" ") : shownText(caption_));
    const int textHeight = fm.height();
    const int w = textWidth + checkSize_ + spacing_ + 1;
    int h = textHeight + 2;
    if (style_ == CheckStyle::Bitmap && glyph_.height() > textHeight) h = glyph_.height() + 1;
    return {w, h};
}

void BitmapCheckBox::adjustSize_() {
    if (autoSize_) resize(autoSizeHint());
}

QRect BitmapCheckBox::markRect() const {
    const int x = alignment_ == CaptionAlignment::Left ? 0 : width() - checkSize_;
    int y = 0;
    if (layout_ == CheckLayout::Center)
        y = (height() - checkSize_) / 2;
    else if (layout_ == CheckLayout::Bottom)
        y = height() - checkSize_;
    return {x, y, checkSize_, checkSize_};
}

// --- events ---

bool BitmapCheckBox::event(QEvent* event) {
    if (event->type() == QEvent::Shortcut) {
        auto* se = static_cast<QShortcutEvent*>(event);
        if (shortcutId_ != 0 && se->shortcutId() == shortcutId_) {
            accelerator();
            return true;
        }
    }
    return QWidget::event(event);
}

void BitmapCheckBox::updateShortcut() {
    if (shortcutId_ != 0) releaseShortcut(shortcutId_);
    shortcutId_ = 0;
    const QKeySequence key = QKeySequence::mnemonic(caption_);
    if (!key.isEmpty()) shortcutId_ = grabShortcut(key);
}

void BitmapCheckBox::accelerator() {
    // A disabled box is not the user's to change, by key no more than by mouse.
    if (!isEnabled()) return;
    if (!(state_ == CheckState::Checked && grouped_ && !allowAllUnchecked_)) {
        switch (state_) {
        case CheckState::Unchecked:
            setState(CheckState::Checked);
            break;
        case CheckState::Checked:
            setState(allowGrayed_ ? CheckState::Grayed : CheckState::Unchecked);
            break;
        case CheckState::Grayed:
            setState(CheckState::Unchecked);
            break;
        }
    }
    emit clicked();
}

void BitmapCheckBox::press(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        if (state_ == CheckState::Unchecked) {
            setState(CheckState::Checked);
            justChecked_ = true;
            emit clicked();
        }
    }
    const QPoint pos = event->position().toPoint();
    emit mousePressed(event->button(), event->modifiers(), pos.x(), pos.y());
}

void BitmapCheckBox::mousePressEvent(QMouseEvent* event) {
    press(event);
}

void BitmapCheckBox::mouseDoubleClickEvent(QMouseEvent* event) {
    emit doubleClicked();
    // The second press of a double click is still a press: it checks an unchecked box.
    press(event);
}

void BitmapCheckBox::mouseReleaseEvent(QMouseEvent* event) {
    const bool left = event->button() == Qt::LeftButton;
    if (left && pressed_) {
        if (!justChecked_) {
            if (state_ == CheckState::Checked) {
                if (!grouped_ || allowAllUnchecked_) {
                    setState(allowGrayed_ ? CheckState::Grayed : CheckState::Unchecked);
                    emit clicked();
                }
            } else if (state_ == CheckState::Grayed) {
                setState(CheckState::Unchecked);
                emit clicked();
            }
        }
        justChecked_ = false;
    }
    if (left) pressed_ = false;
    const QPoint pos = event->position().toPoint();
    emit mouseReleased(event->button(), event->modifiers(), pos.x(), pos.y());
}

void BitmapCheckBox::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    emit mouseMoved(event->modifiers(), pos.x(), pos.y());
}

void BitmapCheckBox::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (isEnabled() && hoverActive_ && !hovering_) {
        hovering_ = true;
        hadCursor_ = testAttribute(Qt::WA_SetCursor);
        cursorBeforeHover_ = cursor();
        setCursor(hoverCursor_);
        update();
    }
    emit mouseEntered();
}

void BitmapCheckBox::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (hovering_) {
        hovering_ = false;
        if (hadCursor_)
            setCursor(cursorBeforeHover_);
        else
            unsetCursor();
        update();
    }
    emit mouseLeft();
}

void BitmapCheckBox::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        adjustSize_();
        update();
    } else if (event->type() == QEvent::EnabledChange) {
        update();
    }
}

// --- painting ---

void BitmapCheckBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const bool hoverLook = hovering_ && hoverActive_;
    if (!transparent_ || hoverLook) p.fillRect(rect(), hoverLook ? hoverColor() : color());
    paintMark(p, markRect());
    paintCaption(p);
}

void BitmapCheckBox::paintMark(QPainter& p, const QRect& r) const {
    const bool enabled = isEnabled();
    const bool on = state_ == CheckState::Checked;
    const bool grayed = state_ == CheckState::Grayed;
    const QColor light = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);

    switch (style_) {
    case CheckStyle::Bitmap: {
        if (keyedGlyph_.isNull()) return;
        const int cellWidth = keyedGlyph_.width() / numGlyphs_;
        if (cellWidth <= 0) return;
        int cell = 0;
        if (enabled || numGlyphs_ < 3) {
            if (on && numGlyphs_ >= 2) cell = 1;
            if (grayed && numGlyphs_ >= 4) cell = 3;
        } else {
            cell = 2;
        }
        const QPoint at(r.left(), r.top() + (r.height() - keyedGlyph_.height()) / 2);
        p.drawImage(at, keyedGlyph_, QRect(cell * cellWidth, 0, cellWidth, keyedGlyph_.height()));
        return;
    }
    case CheckStyle::CheckBox: {
        QStyleOptionButton opt;
        opt.initFrom(this);
        opt.rect = r;
        opt.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
        opt.state |= on ? QStyle::State_On : QStyle::State_Off;
        if (grayed) opt.state &= ~QStyle::State_Enabled;
        style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &opt, &p, this);
        return;
    }
    case CheckStyle::PushButton: {
        QStyleOptionButton opt;
        opt.initFrom(this);
        opt.rect = r;
        opt.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
        if (on)
            opt.state |= QStyle::State_Sunken | QStyle::State_On;
        else
            opt.state |= QStyle::State_Raised;
        if (grayed) opt.features |= QStyleOptionButton::Flat;
        style()->drawControl(QStyle::CE_PushButtonBevel, &opt, &p, this);
        return;
    }
    case CheckStyle::RadioButton: {
        QStyleOptionButton opt;
        opt.initFrom(this);
        opt.rect = r;
        opt.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
        opt.state |= (on || grayed) ? QStyle::State_On : QStyle::State_Off;
        if (grayed) opt.state &= ~QStyle::State_Enabled;
        style()->drawPrimitive(QStyle::PE_IndicatorRadioButton, &opt, &p, this);
        return;
    }
    case CheckStyle::Diamond: {
        const int half = r.width() / 2;
        const int l = r.left(), t = r.top(), rr = r.right(), b = r.bottom();
        const QPoint top(l + half, t), right(rr, t + half), bottom(l + half, b), left(l, t + half);
        if (on || grayed) {
            const QColor fill = on ? QColor(Qt::black) : grayedFill;
            p.setPen(fill);
            p.setBrush(fill);
            p.drawPolygon(QPolygon({QPoint(l + half, t + 1), QPoint(rr - 1, t + half),
                                    QPoint(l + half, b - 1), QPoint(l + 1, t + half)}));
        }
        // Raised while unchecked: lit from the top left; sunken otherwise.
        const bool sunken = on || grayed;
        p.setPen(sunken ? shadow : light);
        p.drawLine(left, top);
        p.drawLine(left, bottom);
        p.setPen(sunken ? light : shadow);
        p.drawLine(top, right);
        p.drawLine(bottom, right);
        return;
    }
    case CheckStyle::TrafficLight: {
        const QColor lamp = on ? QColor(0xFF, 0, 0) : grayed ? QColor(0xFF, 0xFF, 0) : QColor(0, 0xFF, 0);
        const QRect rim(r.left(), r.top(), r.width() - 1, r.height() - 1);
        // The lamp sits in a hollow: its rim is dark at the top left and lit at the bottom right.
        p.setBrush(Qt::NoBrush);
        p.setPen(shadow);
        p.drawArc(rim, 45 * 16, 180 * 16);
        p.setPen(light);
        p.drawArc(rim, 225 * 16, 180 * 16);
        p.setPen(Qt::black);
        p.setBrush(lamp);
        p.drawEllipse(QRect(r.left() + 1, r.top() + 1, r.width() - 3, r.height() - 3));
        return;
    }
    }
}

void BitmapCheckBox::paintCaption(QPainter& p) const {
    QRect area = rect();
    const bool left = alignment_ == CaptionAlignment::Left;
    if (left)
        area.setLeft(area.left() + checkSize_ + spacing_);
    else
        area.setRight(area.right() - checkSize_ - spacing_);
    const int flags = Qt::AlignVCenter | Qt::TextShowMnemonic | Qt::TextExpandTabs |
                      (left ? Qt::AlignLeft : Qt::AlignRight) |
                      (wordWrap_ ? Qt::TextWordWrap : Qt::TextSingleLine);
    QFont f = font();
    QColor colour = palette().color(QPalette::WindowText);
    if (hovering_ && hoverActive_) {
        colour = hoverFontColor_;
        if (underlineOnEnter_) f.setUnderline(true);
    }
    p.setFont(f);
    p.setBrush(Qt::NoBrush);
    if (!isEnabled()) {
        // Engraved: a light copy one pixel down and right under the greyed text.
        p.setPen(palette().color(QPalette::Light));
        p.drawText(area.translated(1, 1), flags, caption_);
        p.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
        p.drawText(area, flags, caption_);
        return;
    }
    p.setPen(colour);
    p.drawText(area, flags, caption_);
}
