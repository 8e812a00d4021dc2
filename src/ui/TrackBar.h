#pragma once
// The player's track bar: Qt's slider with an optional look of its own (background, channel and thumb
// painted in colours of the caller's choosing, a picture laid over the thumb), a switchable selection
// range and position tip, and mouse-button handlers whose exceptions never leave the control.

#include <QColor>
#include <QImage>
#include <QSlider>
#include <functional>

class QStyleOptionSlider;

class TrackBar : public QSlider {
    Q_OBJECT
    Q_PROPERTY(bool Enableselrange READ Enableselrange WRITE setEnableselrange)
    Q_PROPERTY(bool DrawFocusRect READ DrawFocusRect WRITE setDrawFocusRect)
    Q_PROPERTY(bool Autohint READ Autohint WRITE setAutohint)
    Q_PROPERTY(QColor thumbcolor READ thumbcolor WRITE setThumbcolor)
    Q_PROPERTY(QColor trackcolor READ trackcolor WRITE setTrackcolor)
    Q_PROPERTY(QColor lightColor READ lightColor WRITE setLightColor)
    Q_PROPERTY(QColor shadowColor READ shadowColor WRITE setShadowColor)
    Q_PROPERTY(QColor bordercolor READ bordercolor WRITE setBordercolor)
    Q_PROPERTY(QColor Color READ Color WRITE setColor)
    Q_PROPERTY(DrawStyle Drawstyle READ Drawstyle WRITE setDrawstyle)
    Q_PROPERTY(QImage Glyph READ Glyph WRITE setGlyph)

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
    MouseHandler OnMouseDown;
    MouseHandler OnMouseUp;

    bool Enableselrange() const { return enableSelRange_; }
    void setEnableselrange(bool on);
    // The highlighted part of the channel, shown while Enableselrange is on.
    int SelStart() const { return selStart_; }
    int SelEnd() const { return selEnd_; }
    void setSelStart(int v);
    void setSelEnd(int v);

    bool DrawFocusRect() const { return drawFocusRect_; }
    void setDrawFocusRect(bool on);
    // A tip with the position follows the thumb while it is dragged.
    bool Autohint() const { return autohint_; }
    void setAutohint(bool on);

    // Colours left unset follow the palette, so the defaults track the desktop theme.
    QColor thumbcolor() const;
    QColor trackcolor() const;
    QColor lightColor() const;
    QColor shadowColor() const;
    QColor bordercolor() const;
    QColor Color() const;
    void setThumbcolor(const QColor& c);
    void setTrackcolor(const QColor& c);
    void setLightColor(const QColor& c);
    void setShadowColor(const QColor& c);
    void setBordercolor(const QColor& c);
    void setColor(const QColor& c);

    DrawStyle Drawstyle() const { return drawstyle_; }
    void setDrawstyle(DrawStyle s);

    // The colour of the picture's top-left pixel is transparent over the thumb.
    QImage Glyph() const { return glyph_; }
    void setGlyph(const QImage& glyph);

    // The rectangles the custom look paints over, as the current style lays them out.
    QRect channelRect() const;
    QRect thumbRect() const;

signals:
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
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

    bool enableSelRange_ = false;
    int selStart_ = 0;
    int selEnd_ = 0;
    bool drawFocusRect_ = true;
    bool autohint_ = false;
    QColor thumbColor_, trackColor_, lightColor_, shadowColor_, borderColor_, color_;
    DrawStyle drawstyle_ = DrawStyle::Normal;
    QImage glyph_;
    QImage keyedGlyph_; // glyph_ with its key colour made transparent
};
