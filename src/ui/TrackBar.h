#pragma once
// The player's track bar: Qt's slider with an optional look of its own (background, channel and thumb
// painted in colours of the caller's choosing, a picture laid over the thumb), a switchable selection
// range and position tip, and mouse-button handlers whose exceptions never leave the control.

#include <QColor>
#include <QImage>
#include <QSlider>
#include <functional>
#include <memory>

class QStyleOptionSlider;

class TrackBar : public QSlider {
    Q_OBJECT
    Q_PROPERTY(bool selectionRangeEnabled READ selectionRangeEnabled WRITE setSelectionRangeEnabled)
    Q_PROPERTY(bool drawsFocusRect READ drawsFocusRect WRITE setDrawFocusRect)
    Q_PROPERTY(bool autoHint READ autoHint WRITE setAutoHint)
    Q_PROPERTY(QColor thumbColor READ thumbColor WRITE setThumbColor)
    Q_PROPERTY(QColor trackColor READ trackColor WRITE setTrackColor)
    Q_PROPERTY(QColor lightColor READ lightColor WRITE setLightColor)
    Q_PROPERTY(QColor shadowColor READ shadowColor WRITE setShadowColor)
    Q_PROPERTY(QColor borderColor READ borderColor WRITE setBorderColor)
    Q_PROPERTY(QColor color READ color WRITE setColor)
    Q_PROPERTY(DrawStyle drawStyle READ drawStyle WRITE setDrawStyle)
    Q_PROPERTY(QImage glyph READ glyph WRITE setGlyph)

public:
    enum class DrawStyle { Normal, Special, Flat };
    Q_ENUM(DrawStyle)

    // Button, modifiers, position in client pixels.
    using MouseHandler = std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)>;

    explicit TrackBar(QWidget* parent = nullptr);
    explicit TrackBar(Qt::Orientation orientation, QWidget* parent = nullptr);
    ~TrackBar() override;

    // Called after the slider has handled the button; anything they throw is dropped, so a failing
    // handler can never leave the bar half-dragged.
    MouseHandler onMouseDown;
    MouseHandler onMouseUp;

    bool selectionRangeEnabled() const { return selectionRangeEnabled_; }
    void setSelectionRangeEnabled(bool on);
    // The highlighted part of the channel, shown while selectionRangeEnabled is on.
    int selectionStart() const { return selectionStart_; }
    int selectionEnd() const { return selectionEnd_; }
    void setSelectionStart(int v);
    void setSelectionEnd(int v);

    bool drawsFocusRect() const { return drawFocusRect_; }
    void setDrawFocusRect(bool on);
    // A tip with the position follows the thumb while it is dragged.
    bool autoHint() const { return autoHint_; }
    void setAutoHint(bool on);

    // Colours left unset follow the palette, so the defaults track the desktop theme.
    QColor thumbColor() const;
    QColor trackColor() const;
    QColor lightColor() const;
    QColor shadowColor() const;
    QColor borderColor() const;
    QColor color() const;
    void setThumbColor(const QColor& c);
    void setTrackColor(const QColor& c);
    void setLightColor(const QColor& c);
    void setShadowColor(const QColor& c);
    void setBorderColor(const QColor& c);
    void setColor(const QColor& c);

    DrawStyle drawStyle() const { return drawStyle_; }
    void setDrawStyle(DrawStyle s);

    // The colour of the picture's top-left pixel is transparent over the thumb.
    QImage glyph() const { return glyph_; }
    void setGlyph(const QImage& glyph);

    // The rectangles the custom look paints over, as the current style lays them out.
    QRect channelRect() const;
    QRect thumbRect() const;

signals:
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    // A new value repaints only the stretch between where the thumb was painted and where it goes, and
    // nothing while it stays on the same pixels: a song's position moves it by a pixel every second
    // or two, and each repaint costs the window a round trip to the display.
    void sliderChange(SliderChange change) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void init();
    void setColorSlot(QColor& slot, const QColor& c);
    void fireMouse(const MouseHandler& handler, bool down, QMouseEvent* event);
    void showPositionTip();
    void paintSelection(QPainter& p, const QStyleOptionSlider& opt) const;
    void paintChannel(QPainter& p, const QRect& r) const;
    void paintThumb(QPainter& p, const QRect& r) const;

    bool selectionRangeEnabled_ = false;
    int selectionStart_ = 0;
    int selectionEnd_ = 0;
    bool drawFocusRect_ = true;
    bool autoHint_ = false;
    QColor thumbColor_, trackColor_, lightColor_, shadowColor_, borderColor_, color_;
    DrawStyle drawStyle_ = DrawStyle::Normal;
    QImage glyph_;
    QImage keyedGlyph_; // glyph_ with its key colour made transparent
    // What the last paint laid out (none before the first), and where it put the thumb.
    std::unique_ptr<QStyleOptionSlider> paintedOption_;
    QRect paintedThumb_;
};
