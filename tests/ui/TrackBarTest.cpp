#include "ui/TrackBar.h"
#include "ui/RenderSupport.h"
#include "ui/WindowControls.h"

#include <QPaintEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace {

using Style = TrackBar::DrawStyle;

class TrackBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(300, 260);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QWidget window;
};

// Distinct colours, so every pixel tells which part of the recipe painted it.
struct Colours {
    QColor background{10, 20, 30}, border{200, 0, 0}, shadow{0, 0, 200}, light{230, 230, 0}, track{0, 160, 0},
        thumb{0, 200, 200};
    void apply(TrackBar& bar) const {
        bar.setColor(background);
        bar.setBorderColor(border);
        bar.setShadowColor(shadow);
        bar.setLightColor(light);
        bar.setTrackColor(track);
        bar.setThumbColor(thumb);
    }
};

} // namespace

TEST_F(TrackBarTest, WindowBarsAreConfiguredAndClampTheirValues) {
    TrackBar* pos = makePositionBar(&window);
    TrackBar* volume = makeVolumeBar(&window);
    EXPECT_EQ(pos->geometry(), QRect(0, 72, 150, 25));
    EXPECT_EQ(volume->geometry(), QRect(0, 168, 150, 25));
    EXPECT_EQ(volume->value(), 30);

    QSignalSpy volumeChanges(volume, &QSlider::valueChanged);
    volume->setValue(21);
    volume->setValue(5); // below the range: the bar stops at 20
    volume->setValue(20);
    volume->setValue(250);
    ASSERT_EQ(volumeChanges.count(), 3); // 21, 20, 100; setting 20 again changed nothing
    EXPECT_EQ(volumeChanges[1][0].toInt(), 20);
    EXPECT_EQ(volume->value(), 100);

    pos->setValue(-1);
    EXPECT_EQ(pos->value(), 0);
    pos->setValue(1001);
    EXPECT_EQ(pos->value(), 1000);
}

// A song's position moves the thumb by a pixel now and then: a new value that leaves the thumb on its
// pixels repaints nothing, one that moves it repaints only the stretch it crossed, and the screen then
// shows what a bar painted whole at that value shows.
TEST_F(TrackBarTest, ANewValueRepaintsOnlyWhereTheThumbMoves) {
    struct PaintLog : QObject {
        int paints = 0;
        QRegion region;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                ++paints;
                region += static_cast<QPaintEvent*>(event)->region();
            }
            return false;
        }
    } log;
    TrackBar* bar = makePositionBar(&window);
    TrackBar* whole = makePositionBar(&window);
    whole->move(0, 120);
    bar->show();
    whole->show();
    bar->installEventFilter(&log);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.paints > 0; }));
    const auto screenOf = [this](TrackBar* b) {
        QCoreApplication::processEvents();
        return window.screen()->grabWindow(window.winId(), b->x(), b->y(), b->width(), b->height()).toImage();
    };

    for (int value : {1, 2, 900, 901, 908, 300}) {
        SCOPED_TRACE(value);
        log.paints = 0;
        log.region = QRegion();
        const QRect before = bar->thumbRect();
        bar->setValue(value);
        whole->setValue(value);
        const QImage shown = screenOf(bar);
        if (bar->thumbRect() == before) {
            EXPECT_EQ(log.paints, 0);
        } else {
            EXPECT_EQ(log.paints, 1);
            // The stretch between the two places, and a few pixels for the thumb's outline.
            const QRect crossed = before.united(bar->thumbRect());
            EXPECT_LE(log.region.boundingRect().width(), crossed.width() + 6);
        }
        whole->update();
        EXPECT_EQ(shown, screenOf(whole));
    }
}

TEST_F(TrackBarTest, UserChangesByKeyAndDragFireTheChangeEvent) {
    TrackBar* volume = makeVolumeBar(&window);
    volume->setValue(21);
    volume->setFocus();
    QSignalSpy changes(volume, &QSlider::valueChanged);
    QTest::keyClick(volume, Qt::Key_Left);
    QTest::keyClick(volume, Qt::Key_Left); // already at the bottom
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(volume->value(), 20);

    const QPoint grip = volume->thumbRect().center();
    QTest::mousePress(volume, Qt::LeftButton, {}, grip);
    QTest::mouseMove(volume, QPoint(volume->width() - 1, grip.y()));
    QTest::mouseRelease(volume, Qt::LeftButton, {}, QPoint(volume->width() - 1, grip.y()));
    EXPECT_EQ(volume->value(), 100);
    EXPECT_GT(changes.count(), 1);
    EXPECT_EQ(changes.last()[0].toInt(), 100);
}

TEST_F(TrackBarTest, MouseHandlersSeeButtonAndPositionAndTheirExceptionsAreSwallowed) {
    TrackBar* pos = makePositionBar(&window);
    std::vector<std::tuple<bool, Qt::MouseButton, int, int>> calls;
    int valueAtDown = -1;
    pos->onMouseDown = [&](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
        calls.emplace_back(true, b, x, y);
        valueAtDown = pos->value();
        throw std::runtime_error("handler failed");
    };
    pos->onMouseUp = [&](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
        calls.emplace_back(false, b, x, y);
        throw 42;
    };
    QSignalSpy downs(pos, &TrackBar::mouseDown);
    QSignalSpy ups(pos, &TrackBar::mouseUp);
    QObject::connect(pos, &TrackBar::mouseUp, pos, [] { throw std::runtime_error("slot failed"); });

    const QPoint grip = pos->thumbRect().center();
    QTest::mousePress(pos, Qt::LeftButton, {}, grip);
    EXPECT_TRUE(pos->isSliderDown());
    QTest::mouseMove(pos, QPoint(pos->width() / 2, grip.y()));
    QTest::mouseRelease(pos, Qt::LeftButton, {}, QPoint(pos->width() / 2, grip.y()));

    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], std::make_tuple(true, Qt::LeftButton, grip.x(), grip.y()));
    EXPECT_EQ(calls[1], std::make_tuple(false, Qt::LeftButton, pos->width() / 2, grip.y()));
    EXPECT_EQ(valueAtDown, 0);
    // The signals still went out after the handlers threw, and the drag ended normally.
    EXPECT_EQ(downs.count(), 1);
    EXPECT_EQ(ups.count(), 1);
    EXPECT_FALSE(pos->isSliderDown());
    const int dragged = pos->value();
    EXPECT_GT(dragged, 300);
    EXPECT_LT(dragged, 700);

    // Still usable: the next drag works, and a right click reaches the handlers too.
    const QPoint grip2 = pos->thumbRect().center();
    QTest::mousePress(pos, Qt::LeftButton, {}, grip2);
    QTest::mouseMove(pos, QPoint(0, grip2.y()));
    QTest::mouseRelease(pos, Qt::LeftButton, {}, QPoint(0, grip2.y()));
    EXPECT_EQ(pos->value(), 0);
    QTest::mouseClick(pos, Qt::RightButton, {}, QPoint(5, 5));
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(std::get<1>(calls[5]), Qt::RightButton);
}

TEST_F(TrackBarTest, SwitchingTheStyleKeepsPositionAndRange) {
    TrackBar* volume = makeVolumeBar(&window);
    volume->setValue(57);
    QSignalSpy changes(volume, &QSlider::valueChanged);
    for (Style s : {Style::Special, Style::Flat, Style::Normal, Style::Flat}) {
        volume->setDrawStyle(s);
        renderOf(*volume);
        EXPECT_EQ(volume->drawStyle(), s);
        EXPECT_EQ(volume->value(), 57);
        EXPECT_EQ(volume->minimum(), 20);
        EXPECT_EQ(volume->maximum(), 100);
    }
    EXPECT_EQ(changes.count(), 0);
}

TEST_F(TrackBarTest, SpecialPaintsASunkenChannelAndARaisedThumb) {
    TrackBar bar(Qt::Horizontal, &window);
    bar.setGeometry(0, 0, 150, 25);
    const Colours c;
    c.apply(bar);
    bar.setDrawStyle(Style::Special);
    const QImage img = renderOf(bar);
    const QRect ch = bar.channelRect();
    const QRect th = bar.thumbRect();
    ASSERT_GE(ch.height(), 5);
    const int x = ch.right() - 5; // right of the thumb, which sits at the left end
    ASSERT_GT(x, th.right());

    EXPECT_EQ(pixelAt(img, 0, 0), c.background.rgb());
    EXPECT_EQ(pixelAt(img, x, ch.top()), c.border.rgb());
    EXPECT_EQ(pixelAt(img, x, ch.top() + 1), c.shadow.rgb());
    EXPECT_EQ(pixelAt(img, x, ch.top() + 2), c.track.rgb());
    EXPECT_EQ(pixelAt(img, x, ch.bottom() - 1), c.light.rgb());
    EXPECT_EQ(pixelAt(img, x, ch.bottom()), c.border.rgb());
    const int y = ch.center().y();
    EXPECT_EQ(pixelAt(img, ch.right(), y), c.border.rgb());
    EXPECT_EQ(pixelAt(img, ch.right() - 1, y), c.light.rgb());

    EXPECT_EQ(pixelAt(img, th.center()), c.thumb.rgb());
    EXPECT_EQ(pixelAt(img, th.left(), th.center().y()), c.border.rgb());
    EXPECT_EQ(pixelAt(img, th.left() + 1, th.center().y()), c.light.rgb());
    EXPECT_EQ(pixelAt(img, th.right() - 1, th.center().y()), c.shadow.rgb());
}

TEST_F(TrackBarTest, FlatLeavesOutTheBorderAndTheGlyphLetsTheThumbShowThrough) {
    TrackBar bar(Qt::Horizontal, &window);
    bar.setGeometry(0, 0, 150, 25);
    bar.setRange(0, 10);
    bar.setValue(10); // thumb at the right end
    const Colours c;
    c.apply(bar);
    bar.setDrawStyle(Style::Flat);
    const QImage img = renderOf(bar);
    const QRect ch = bar.channelRect();
    const QRect th = bar.thumbRect();
    const int x = ch.left() + 5;
    ASSERT_LT(x, th.left());
    EXPECT_EQ(pixelAt(img, x, ch.top()), c.shadow.rgb());
    EXPECT_EQ(pixelAt(img, ch.left(), ch.center().y()), c.shadow.rgb());
    EXPECT_EQ(pixelAt(img, x, ch.top() + 1), c.track.rgb());
    EXPECT_EQ(pixelAt(img, x, ch.bottom()), c.light.rgb());
    EXPECT_EQ(pixelAt(img, th.center()), c.thumb.rgb());
    EXPECT_EQ(pixelAt(img, th.left(), th.center().y()), c.light.rgb());
    EXPECT_EQ(pixelAt(img, th.right(), th.center().y()), c.shadow.rgb());
    EXPECT_EQ(countColour(img, c.border), 0);

    // A 3 x 3 glyph, magenta but for a blue middle: stretched over the thumb, its magenta is see-through.
    QImage glyph(3, 3, QImage::Format_RGB32);
    glyph.fill(QColor(255, 0, 255));
    glyph.setPixel(1, 1, qRgb(0, 0, 255));
    bar.setGlyph(glyph);
    const QImage withGlyph = renderOf(bar);
    EXPECT_EQ(pixelAt(withGlyph, th.center()), qRgb(0, 0, 255));
    EXPECT_EQ(pixelAt(withGlyph, th.left() + 2, th.top() + 2), c.thumb.rgb());
    EXPECT_EQ(countColour(withGlyph, QColor(255, 0, 255)), 0);

    // The platform look shows no glyph.
    bar.setDrawStyle(Style::Normal);
    EXPECT_EQ(countColour(renderOf(bar), QColor(0, 0, 255)), 0);
}

TEST_F(TrackBarTest, VerticalAndPointedThumbsFollowTheSameRecipe) {
    TrackBar bar(Qt::Vertical, &window);
    bar.setGeometry(0, 0, 25, 150);
    const Colours c;
    c.apply(bar);
    bar.setDrawStyle(Style::Special);
    const QImage img = renderOf(bar);
    const QRect ch = bar.channelRect();
    const QRect th = bar.thumbRect();
    const int y = ch.top() + 5; // the thumb of a vertical bar starts at the bottom
    ASSERT_LT(y, th.top());
    EXPECT_EQ(pixelAt(img, ch.left(), y), c.border.rgb());
    EXPECT_EQ(pixelAt(img, ch.left() + 1, y), c.shadow.rgb());
    EXPECT_EQ(pixelAt(img, ch.right() - 1, y), c.light.rgb());
    EXPECT_EQ(pixelAt(img, th.center()), c.thumb.rgb());

    // Ticks on one side: the thumb points at them, so its far corners stay free.
    for (auto ticks : {QSlider::TicksLeft, QSlider::TicksRight, QSlider::TicksBothSides}) {
        bar.setTickPosition(ticks);
        const QImage pointed = renderOf(bar);
        const QRect t = bar.thumbRect();
        EXPECT_EQ(pixelAt(pointed, t.center()), c.thumb.rgb());
        const QPoint corner = ticks == QSlider::TicksLeft ? t.topLeft() : t.topRight();
        if (ticks == QSlider::TicksBothSides)
            EXPECT_EQ(pixelAt(pointed, corner), c.border.rgb());
        else
            EXPECT_NE(pixelAt(pointed, corner), c.border.rgb());
    }
    bar.setOrientation(Qt::Horizontal);
    bar.resize(150, 30);
    for (auto ticks : {QSlider::TicksAbove, QSlider::TicksBelow}) {
        bar.setTickPosition(ticks);
        bar.setDrawStyle(Style::Flat);
        const QImage pointed = renderOf(bar);
        EXPECT_EQ(pixelAt(pointed, bar.thumbRect().center()), c.thumb.rgb());
    }
}

TEST_F(TrackBarTest, SelectionRangeAndPositionTip) {
    TrackBar bar(Qt::Horizontal, &window);
    bar.setGeometry(0, 0, 150, 25);
    bar.setRange(0, 100);
    bar.setValue(100);
    bar.setSelectionStart(0);
    bar.setSelectionEnd(40);
    const QColor highlight = bar.palette().color(QPalette::Highlight);
    const QRect ch = bar.channelRect();
    const QPoint inside(ch.left() + ch.width() / 5, ch.center().y());
    const QPoint outside(ch.left() + ch.width() * 3 / 5, ch.center().y());
    EXPECT_NE(pixelAt(renderOf(bar), inside), highlight.rgb());
    bar.setSelectionRangeEnabled(true);
    for (Style s : {Style::Normal, Style::Special}) {
        bar.setDrawStyle(s);
        const QImage img = renderOf(bar);
        EXPECT_EQ(pixelAt(img, inside), highlight.rgb());
        EXPECT_NE(pixelAt(img, outside), highlight.rgb());
    }

    bar.setAutoHint(true);
    QTest::mousePress(&bar, Qt::LeftButton, {}, bar.thumbRect().center());
    EXPECT_EQ(QToolTip::text(), QStringLiteral("100"));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, bar.thumbRect().center());
}
