#pragma once
// A check box that paints itself: its mark in one of six styles (one of them a picture with a cell per
// state), its caption beside it, an optional hover look, grouping among siblings and an "&" accelerator.
// It checks when the button goes down and unchecks when it comes up, one click per change.

#include <QColor>
#include <QCursor>
#include <QImage>
#include <QWidget>

class BitmapCheckBox : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(bool checked READ isChecked WRITE setChecked)

public:
    enum class CaptionAlignment { Left, Right };
    enum class CheckLayout { Bottom, Center, Top };
    enum class CheckState { Unchecked, Checked, Grayed };
    enum class CheckStyle { Bitmap, CheckBox, Diamond, PushButton, RadioButton, TrafficLight };
    Q_ENUM(CaptionAlignment)
    Q_ENUM(CheckLayout)
    Q_ENUM(CheckState)
    Q_ENUM(CheckStyle)

    explicit BitmapCheckBox(QWidget* parent = nullptr);
    ~BitmapCheckBox() override;

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

    CaptionAlignment alignment() const { return alignment_; }
    void setAlignment(CaptionAlignment a);
    bool allowAllUnchecked() const { return allowAllUnchecked_; }
    void setAllowAllUnchecked(bool on) { allowAllUnchecked_ = on; }
    bool allowGrayed() const { return allowGrayed_; }
    void setAllowGrayed(bool on) { allowGrayed_ = on; }
    bool autoSize() const { return autoSize_; }
    void setAutoSize(bool on);
    // Setting the check or the state from code runs the change step (group, changed()) like a click does.
    bool isChecked() const { return checked_; }
    void setChecked(bool on);
    CheckState state() const { return state_; }
    void setState(CheckState s);
    int checkSize() const { return checkSize_; }
    void setCheckSize(int size);
    QColor color() const;
    void setColor(const QColor& c);
    // The picture of the Bitmap style: numGlyphs cells side by side (unchecked, checked, disabled, grayed).
    // Its bottom-left pixel's colour is transparent.
    QImage glyph() const { return glyph_; }
    void setGlyph(const QImage& glyph);
    int numGlyphs() const { return numGlyphs_; }
    void setNumGlyphs(int n);
    bool isGrouped() const { return grouped_; }
    void setGrouped(bool on);
    bool hoverActive() const { return hoverActive_; }
    void setHoverActive(bool on);
    QColor hoverColor() const;
    void setHoverColor(const QColor& c);
    QCursor hoverCursor() const { return hoverCursor_; }
    void setHoverCursor(const QCursor& c);
    QColor hoverFontColor() const { return hoverFontColor_; }
    void setHoverFontColor(const QColor& c);
    CheckLayout checkLayout() const { return layout_; }
    void setCheckLayout(CheckLayout l);
    int spacing() const { return spacing_; }
    void setSpacing(int pixels);
    CheckStyle checkStyle() const { return style_; }
    void setCheckStyle(CheckStyle s);
    bool isTransparent() const { return transparent_; }
    void setTransparent(bool on);
    bool underlineOnEnter() const { return underlineOnEnter_; }
    void setUnderlineOnEnter(bool on);
    bool wordWrap() const { return wordWrap_; }
    void setWordWrap(bool on);

    bool hovering() const { return hovering_; }
    // Where the mark goes inside the control.
    QRect markRect() const;
    // The size autoSize gives the control for its caption, mark and picture.
    QSize autoSizeHint() const;
    QSize sizeHint() const override { return autoSizeHint(); }

signals:
    void changed();
    void clicked();
    void doubleClicked();
    // Button, modifiers, position in client pixels.
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseMoved(Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseEntered();
    void mouseLeft();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void changeStep();
    void uncheckGroupSiblings();
    void press(QMouseEvent* event);
    void accelerator();
    void updateShortcut();
    void adjustSize_();
    void applyCellWidth();
    void repaintWhileHovering();
    void paintMark(QPainter& p, const QRect& r) const;
    void paintCaption(QPainter& p) const;

    QString caption_;
    CaptionAlignment alignment_ = CaptionAlignment::Left;
    bool allowAllUnchecked_ = false;
    bool allowGrayed_ = false;
    bool autoSize_ = false;
    bool checked_ = false;
    CheckState state_ = CheckState::Unchecked;
    int checkSize_ = 13;
    QColor color_;      // unset: the button face of the palette
    QColor hoverColor_; // unset: the button face of the palette
    QImage glyph_;
    QImage keyedGlyph_; // glyph_ with its transparent colour cleared
    int numGlyphs_ = 1;
    bool grouped_ = false;
    bool hoverActive_ = false;
    QCursor hoverCursor_{Qt::PointingHandCursor};
    QColor hoverFontColor_;
    CheckLayout layout_ = CheckLayout::Center;
    int spacing_ = 4;
    CheckStyle style_ = CheckStyle::Bitmap;
    bool transparent_ = false;
    bool underlineOnEnter_ = true;
    bool wordWrap_ = false;

    bool hovering_ = false;
    bool pressed_ = false;
    bool justChecked_ = false;
    bool hadCursor_ = false;
    QCursor cursorBeforeHover_;
    int shortcutId_ = 0;
};
