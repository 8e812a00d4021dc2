#pragma once
// A check box that paints itself: its mark in one of six styles (one of them a picture with a cell per
// state), its caption beside it, an optional hover look, grouping among siblings and an "&" accelerator.
// It checks when the button goes down and unchecks when it comes up, one click per change.

#include <QColor>
#include <QCursor>
#include <QImage>
#include <QWidget>
#include <functional>

class BitmapCheckBox : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(bool Checked READ Checked WRITE setChecked)

public:
    enum class CaptionAlignment { taLeftJustify, taRightJustify };
    enum class CheckLayout { clBottom, clCenter, clTop };
    enum class CheckState { cbUnchecked, cbChecked, cbGrayed };
    enum class CheckStyle { csBitmap, csCheckBox, csDiamond, csPushButton, csRadioButton, csTrafficLight };
    Q_ENUM(CaptionAlignment)
    Q_ENUM(CheckLayout)
    Q_ENUM(CheckState)
    Q_ENUM(CheckStyle)

    using NotifyHandler = std::function<void()>;
    // Button, modifiers, position in client pixels.
    using MouseHandler = std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)>;
    using MouseMoveHandler = std::function<void(Qt::KeyboardModifiers, int x, int y)>;

    explicit BitmapCheckBox(QWidget* parent = nullptr);
    ~BitmapCheckBox() override;

    // Events; an unset handler is skipped.
    NotifyHandler OnChange;
    NotifyHandler OnClick;
    NotifyHandler OnDblClick;
    MouseHandler OnMouseDown;
    MouseHandler OnMouseUp;
    MouseMoveHandler OnMouseMove;
    NotifyHandler OnMouseEnter;
    NotifyHandler OnMouseExit;

    QString Caption() const { return caption_; }
    void setCaption(const QString& caption);

    CaptionAlignment Alignment() const { return alignment_; }
    void setAlignment(CaptionAlignment a);
    bool AllowAllUnchecked() const { return allowAllUnchecked_; }
    void setAllowAllUnchecked(bool on) { allowAllUnchecked_ = on; }
    bool AllowGrayed() const { return allowGrayed_; }
    void setAllowGrayed(bool on) { allowGrayed_ = on; }
    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool on);
    // Setting Checked or State from code runs the change step (group, OnChange) like a click does.
    bool Checked() const { return checked_; }
    void setChecked(bool on);
    CheckState State() const { return state_; }
    void setState(CheckState s);
    int CheckSize() const { return checkSize_; }
    void setCheckSize(int size);
    QColor Color() const;
    void setColor(const QColor& c);
    // The picture of csBitmap: NumGlyphs cells side by side (unchecked, checked, disabled, grayed). Its
    // bottom-left pixel's colour is transparent.
    QImage Glyph() const { return glyph_; }
    void setGlyph(const QImage& glyph);
    int NumGlyphs() const { return numGlyphs_; }
    void setNumGlyphs(int n);
    bool Grouped() const { return grouped_; }
    void setGrouped(bool on);
    bool HoverActive() const { return hoverActive_; }
    void setHoverActive(bool on);
    QColor HoverColor() const;
    void setHoverColor(const QColor& c);
    QCursor HoverCursor() const { return hoverCursor_; }
    void setHoverCursor(const QCursor& c);
    QColor HoverFontColor() const { return hoverFontColor_; }
    void setHoverFontColor(const QColor& c);
    CheckLayout Layout() const { return layout_; }
    void setLayout(CheckLayout l);
    int Spacing() const { return spacing_; }
    void setSpacing(int pixels);
    CheckStyle Style() const { return style_; }
    void setStyle(CheckStyle s);
    using QWidget::setStyle; // the widget's QStyle stays reachable
    bool Transparent() const { return transparent_; }
    void setTransparent(bool on);
    bool UnderlineOnEnter() const { return underlineOnEnter_; }
    void setUnderlineOnEnter(bool on);
    bool WordWrap() const { return wordWrap_; }
    void setWordWrap(bool on);

    bool hovering() const { return hovering_; }
    // Where the mark goes inside the control.
    QRect markRect() const;
    // The size AutoSize gives the control for its caption, mark and picture.
    QSize autoSizeHint() const;
    QSize sizeHint() const override { return autoSizeHint(); }

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
    void fire(const NotifyHandler& h) const {
        if (h) h();
    }
    void press(QMouseEvent* event);
    void accelerator();
    void updateShortcut();
    void adjustSize_();
    void applyCellWidth();
    void repaintWhileHovering();
    void paintMark(QPainter& p, const QRect& r) const;
    void paintCaption(QPainter& p) const;

    QString caption_;
    CaptionAlignment alignment_ = CaptionAlignment::taLeftJustify;
    bool allowAllUnchecked_ = false;
    bool allowGrayed_ = false;
    bool autoSize_ = false;
    bool checked_ = false;
    CheckState state_ = CheckState::cbUnchecked;
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
    CheckLayout layout_ = CheckLayout::clCenter;
    int spacing_ = 4;
    CheckStyle style_ = CheckStyle::csBitmap;
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
