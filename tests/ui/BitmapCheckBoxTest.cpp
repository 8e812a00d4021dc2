#include "ui/BitmapCheckBox.h"
#include "ui/RenderSupport.h"
#include "ui/WindowControls.h"

#include <QApplication>
#include <QEnterEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using State = BitmapCheckBox::CheckState;
using CheckStyle = BitmapCheckBox::CheckStyle;

class CheckBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(300, 200);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // A box that counts its clicked and changed signals.
    BitmapCheckBox* box(const QString& caption = QStringLiteral("Box"), QWidget* parent = nullptr) {
        auto* b = new BitmapCheckBox(parent ? parent : &window);
        b->setCaption(caption);
        b->setGeometry(10, 10 + 30 * static_cast<int>(clicks.size()), 120, 24);
        const std::size_t i = clicks.size();
        clicks.push_back(0);
        changes.push_back(0);
        QObject::connect(b, &BitmapCheckBox::clicked, b, [this, i] { ++clicks[i]; });
        QObject::connect(b, &BitmapCheckBox::changed, b, [this, i] { ++changes[i]; });
        b->show();
        return b;
    }
    static void click(BitmapCheckBox* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, 5)); }

    QWidget window;
    std::vector<int> clicks, changes;
};

void enter(QWidget* w) {
    QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(w->mapToGlobal(QPoint(5, 5))));
    QApplication::sendEvent(w, &e);
}

void leave(QWidget* w) {
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

} // namespace

TEST_F(CheckBoxTest, ChecksOnButtonDownAndUnchecksOnButtonUp) {
    BitmapCheckBox* b = box();
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(b->isChecked());
    EXPECT_EQ(clicks[0], 1);
    EXPECT_EQ(changes[0], 1);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(b->state(), State::Checked);
    EXPECT_EQ(clicks[0], 1);

    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(b->isChecked());
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(b->isChecked());
    EXPECT_EQ(clicks[0], 2);
    EXPECT_EQ(changes[0], 2);

    // Other buttons report themselves but change nothing.
    std::vector<Qt::MouseButton> downs;
    QObject::connect(
        b, &BitmapCheckBox::mousePressed, b,
        [&](Qt::MouseButton button, Qt::KeyboardModifiers, int, int) { downs.push_back(button); });
    QTest::mouseClick(b, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_FALSE(b->isChecked());
    EXPECT_EQ(downs, std::vector<Qt::MouseButton>{Qt::RightButton});

    // A double click is two clicks: checked by the first press, unchecked by the last release. The
    // system sends press, release, double click, release.
    int doubles = 0;
    QObject::connect(b, &BitmapCheckBox::doubleClicked, b, [&] { ++doubles; });
    click(b);
    QTest::mouseDClick(b, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(doubles, 1);
    EXPECT_FALSE(b->isChecked());
    EXPECT_EQ(clicks[0], 4);

    b->setEnabled(false);
    click(b);
    EXPECT_FALSE(b->isChecked());
}

TEST_F(CheckBoxTest, AllowGrayedPassesThroughTheThirdState) {
    BitmapCheckBox* b = box();
    b->setAllowGrayed(true);
    click(b);
    click(b);
    EXPECT_EQ(b->state(), State::Grayed);
    EXPECT_TRUE(b->isChecked()); // grayed leaves Checked as it was
    click(b);
    EXPECT_EQ(b->state(), State::Unchecked);
    EXPECT_FALSE(b->isChecked());
    EXPECT_EQ(clicks[0], 3);
    EXPECT_EQ(changes[0], 3);
}

TEST_F(CheckBoxTest, GroupedBoxesOfOneParentUncheckEachOther) {
    BitmapCheckBox* a = box();
    BitmapCheckBox* b = box();
    QWidget other(&window);
    BitmapCheckBox* elsewhere = box(QStringLiteral("Other"), &other);
    for (BitmapCheckBox* x : {a, b, elsewhere})
        x->setGrouped(true);
    elsewhere->setChecked(true);

    click(a);
    EXPECT_TRUE(a->isChecked());
    click(b);
    EXPECT_TRUE(b->isChecked());
    EXPECT_FALSE(a->isChecked());
    EXPECT_EQ(changes[0], 2);
    EXPECT_TRUE(elsewhere->isChecked());

    click(b); // the checked box of a group stays checked
    EXPECT_TRUE(b->isChecked());
    EXPECT_EQ(clicks[1], 1);
    b->setAllowAllUnchecked(true);
    click(b);
    EXPECT_FALSE(b->isChecked());

    // Checking from code and joining a group act at once.
    a->setChecked(true);
    BitmapCheckBox* late = box();
    late->setChecked(true);
    EXPECT_TRUE(a->isChecked());
    late->setCheckStyle(CheckStyle::RadioButton);
    EXPECT_TRUE(late->isGrouped());
    EXPECT_FALSE(a->isChecked());
    late->setCheckStyle(CheckStyle::CheckBox);
    EXPECT_FALSE(late->isGrouped());
}

TEST_F(CheckBoxTest, SettingCheckedOrStateFromCodeRunsTheChangeStep) {
    BitmapCheckBox* b = box();
    b->setChecked(true);
    EXPECT_EQ(b->state(), State::Checked);
    b->setChecked(true);
    EXPECT_EQ(changes[0], 1);
    b->setState(State::Grayed);
    EXPECT_TRUE(b->isChecked());
    b->setChecked(false);
    EXPECT_EQ(b->state(), State::Unchecked);
    EXPECT_EQ(changes[0], 3);
    EXPECT_EQ(clicks[0], 0);
}

TEST_F(CheckBoxTest, AcceleratorKeyCyclesTheState) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    BitmapCheckBox* b = box(QStringLiteral("&Laut"));
    b->setAllowGrayed(true);
    QTest::keyClick(&window, Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(b->state(), State::Checked);
    QTest::keyClick(&window, Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(b->state(), State::Grayed);
    QTest::keyClick(&window, Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(b->state(), State::Unchecked);
    EXPECT_EQ(clicks[0], 3);
    QTest::keyClick(&window, Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(clicks[0], 3);

    b->setAllowGrayed(false);
    b->setChecked(true);
    QTest::keyClick(&window, Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(b->state(), State::Unchecked);

    b->setEnabled(false);
    QTest::keyClick(&window, Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(b->state(), State::Unchecked);
    b->setEnabled(true);

    b->setCaption(QStringLiteral("&&Laut")); // a literal "&", no accelerator
    QTest::keyClick(&window, Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(b->state(), State::Unchecked);
    b->setCaption(QStringLiteral("L&aut"));
    QTest::keyClick(&window, Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(b->state(), State::Checked);
}

TEST_F(CheckBoxTest, LevellingBoxShowsItsTwoCellsEnabledOrNot) {
    BitmapCheckBox* cb = makeLevellingBox(&window);
    EXPECT_EQ(cb->geometry(), QRect(8, 130, 116, 29));
    EXPECT_EQ(cb->caption(), QStringLiteral("Lautstärke anpassen"));
    EXPECT_EQ(cb->checkSize(), 16);
    EXPECT_EQ(cb->numGlyphs(), 2);
    EXPECT_FALSE(cb->isChecked());

    const QImage glyph = levellingCheckGlyph();
    const QRect mark = cb->markRect();
    EXPECT_EQ(mark, QRect(0, 6, 16, 16));
    // The middle of the checked cell is on the tick; the empty cell is white there.
    const QPoint tickInGlyph(16 + 7, 10);
    const QPoint tickOnScreen = mark.topLeft() + QPoint(7, 10);
    ASSERT_NE(glyph.pixel(tickInGlyph), glyph.pixel(tickInGlyph - QPoint(16, 0)));
    for (bool enabled : {true, false}) {
        cb->setEnabled(enabled);
        cb->setChecked(false);
        QImage img = renderOf(*cb);
        EXPECT_EQ(pixelAt(img, tickOnScreen), glyph.pixel(tickInGlyph - QPoint(16, 0)) | 0xFF000000u);
        EXPECT_EQ(pixelAt(img, mark.topLeft()), cb->color().rgb()); // the key colour is see-through
        cb->setChecked(true);
        img = renderOf(*cb);
        EXPECT_EQ(pixelAt(img, tickOnScreen), glyph.pixel(tickInGlyph) | 0xFF000000u);
    }
}

TEST_F(CheckBoxTest, PictureCellsForDisabledAndGrayed) {
    // Four solid cells, with the bottom-left pixel as the key colour.
    const QColor cells[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    QImage glyph(40, 10, QImage::Format_RGB32);
    for (int i = 0; i < 4; ++i)
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                glyph.setPixel(10 * i + x, y, cells[i].rgb());
    glyph.setPixel(0, 9, qRgb(255, 0, 255));
    BitmapCheckBox* b = box();
    b->setCheckSize(10);
    b->setGlyph(glyph);
    b->setNumGlyphs(4);
    const QPoint middle = b->markRect().center();
    auto shown = [&] { return pixelAt(renderOf(*b), middle); };
    EXPECT_EQ(shown(), cells[0].rgb());
    b->setState(State::Grayed);
    EXPECT_EQ(shown(), cells[3].rgb());
    b->setEnabled(false);
    EXPECT_EQ(shown(), cells[2].rgb());
    b->setNumGlyphs(3);
    b->setEnabled(true);
    EXPECT_EQ(shown(), cells[0].rgb()); // grayed without a fourth cell
}

TEST_F(CheckBoxTest, HoverChangesColourCursorAndUnderline) {
    BitmapCheckBox* b = box(QStringLiteral("Hover me"));
    QFont f = b->font();
    f.setStyleStrategy(QFont::NoAntialias);
    b->setFont(f);
    b->setColor(QColor(200, 200, 200));
    b->setHoverColor(QColor(255, 220, 0));
    b->setHoverFontColor(QColor(0, 0, 160));
    int entered = 0, exited = 0;
    QObject::connect(b, &BitmapCheckBox::mouseEntered, b, [&] { ++entered; });
    QObject::connect(b, &BitmapCheckBox::mouseLeft, b, [&] { ++exited; });

    enter(b); // without hoverActive only the signals come
    EXPECT_FALSE(b->hovering());
    EXPECT_EQ(pixelAt(renderOf(*b), b->width() - 1, 0), QColor(200, 200, 200).rgb());
    leave(b);

    // The longest run of the hover font colour in one row: an underline spans the caption.
    auto longestRun = [&] {
        const QImage img = renderOf(*b);
        int best = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0, run = 0; x < img.width(); ++x) {
                run = pixelAt(img, x, y) == QColor(0, 0, 160).rgb() ? run + 1 : 0;
                best = std::max(best, run);
            }
        return best;
    };
    const int captionWidth = QFontMetrics(f).horizontalAdvance(QStringLiteral("Hover me"));
    b->setHoverActive(true);
    enter(b);
    EXPECT_TRUE(b->hovering());
    EXPECT_EQ(b->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(pixelAt(renderOf(*b), b->width() - 1, 0), QColor(255, 220, 0).rgb());
    EXPECT_GE(longestRun(), captionWidth * 8 / 10);
    b->setUnderlineOnEnter(false);
    EXPECT_LT(longestRun(), captionWidth / 2);
    EXPECT_GT(longestRun(), 0);

    leave(b);
    EXPECT_FALSE(b->hovering());
    EXPECT_EQ(b->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(longestRun(), 0);
    EXPECT_EQ(pixelAt(renderOf(*b), b->width() - 1, 0), QColor(200, 200, 200).rgb());
    EXPECT_EQ(entered, 2);
    EXPECT_EQ(exited, 2);
}

TEST_F(CheckBoxTest, AutoSizeFollowsCaptionMarkAndPicture) {
    BitmapCheckBox* b = box(QStringLiteral("&Abc def"));
    b->setCheckStyle(CheckStyle::CheckBox);
    const QPoint topLeft = b->pos();
    const QFontMetrics fm(b->font());
    b->setAutoSize(true);
    EXPECT_EQ(b->pos(), topLeft);
    EXPECT_EQ(b->width(), fm.horizontalAdvance(QStringLiteral("Abc def")) + 13 + 4 + 1);
    EXPECT_EQ(b->height(), fm.height() + 2);
    b->setCheckSize(20);
    b->setSpacing(2);
    EXPECT_EQ(b->width(), fm.horizontalAdvance(QStringLiteral("Abc def")) + 20 + 2 + 1);
    b->setCaption(QStringLiteral("&"));
    EXPECT_EQ(b->width(), fm.horizontalAdvance(QLatin1Char(' ')) + 20 + 2 + 1);

    // A picture taller than the text sets the height; its cell width becomes the mark size.
    QImage tall(60, fm.height() + 10, QImage::Format_RGB32);
    tall.fill(Qt::red);
    b->setCheckStyle(CheckStyle::Bitmap);
    b->setNumGlyphs(2);
    b->setGlyph(tall);
    EXPECT_EQ(b->checkSize(), 30);
    EXPECT_EQ(b->height(), tall.height() + 1);
    EXPECT_EQ(b->width(), fm.horizontalAdvance(QLatin1Char(' ')) + 30 + 2 + 1);
    EXPECT_EQ(b->pos(), topLeft);
}

TEST_F(CheckBoxTest, EveryStyleRendersItsStates) {
    BitmapCheckBox* b = box();
    b->resize(120, 21);
    b->setCheckSize(13);
    QPalette pal = b->palette();
    pal.setColor(QPalette::Light, QColor(250, 250, 0));
    pal.setColor(QPalette::Dark, QColor(0, 0, 150));
    b->setPalette(pal);
    b->setColor(QColor(200, 200, 200));
    b->setAllowGrayed(true);
    const QRect r = b->markRect();
    EXPECT_EQ(r, QRect(0, 4, 13, 13));
    const QPoint middle = r.topLeft() + QPoint(6, 6);
    const QPoint upperLeftEdge = r.topLeft() + QPoint(3, 3);

    const QColor lamp[] = {QColor(0, 255, 0), QColor(255, 0, 0), QColor(255, 255, 0)};
    const QColor diamond[] = {QColor(200, 200, 200), QColor(0, 0, 0), QColor(128, 128, 128)};
    const State states[] = {State::Unchecked, State::Checked, State::Grayed};
    for (int i = 0; i < 3; ++i) {
        b->setState(states[i]);
        b->setCheckStyle(CheckStyle::TrafficLight);
        EXPECT_EQ(pixelAt(renderOf(*b), middle), lamp[i].rgb()) << i;
        b->setCheckStyle(CheckStyle::Diamond);
        const QImage img = renderOf(*b);
        EXPECT_EQ(pixelAt(img, middle), diamond[i].rgb()) << i;
        EXPECT_EQ(pixelAt(img, upperLeftEdge),
                  (i == 0 ? pal.color(QPalette::Light) : pal.color(QPalette::Dark)).rgb())
            << i;
    }

    // Right alignment moves the mark to the right edge; the layouts move it up and down.
    b->setAlignment(BitmapCheckBox::CaptionAlignment::Right);
    b->setCheckStyle(CheckStyle::TrafficLight);
    EXPECT_EQ(pixelAt(renderOf(*b), b->markRect().topLeft() + QPoint(6, 6)), lamp[2].rgb());
    EXPECT_EQ(b->markRect().left(), 120 - 13);
    b->setCheckLayout(BitmapCheckBox::CheckLayout::Top);
    EXPECT_EQ(b->markRect().top(), 0);
    b->setCheckLayout(BitmapCheckBox::CheckLayout::Bottom);
    EXPECT_EQ(b->markRect().top(), 21 - 13);

    // The styles drawn by the platform style, in every state, enabled or not, and see-through.
    for (CheckStyle s : {CheckStyle::Bitmap, CheckStyle::CheckBox, CheckStyle::PushButton,
                         CheckStyle::RadioButton, CheckStyle::Diamond, CheckStyle::TrafficLight})
        for (State st : states)
            for (bool enabled : {true, false}) {
                b->setCheckStyle(s);
                b->setState(st);
                b->setEnabled(enabled);
                b->setTransparent(!enabled);
                b->setWordWrap(enabled);
                const QImage img = renderOf(*b);
                EXPECT_EQ(img.size(), b->size());
            }
}
