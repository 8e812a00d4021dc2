// The window shell's operations: moving by the title label, "Taskbar", and the clicks on the
// notification-area icon.

#include "app/WindowShell.h"
#include "support/Fakes.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

class FakeNotificationIcon : public INotificationIcon {
public:
    bool area = true;
    bool visible = false;
    int added = 0;

    bool isVisible() const override { return visible; }
    void setVisible(bool v) override {
        if (v && !visible && area) ++added;
        visible = v && area;
    }
    bool areaAvailable() const override { return area; }
};

class WindowShellTest : public ::testing::Test {
protected:
    struct {
        FakeWindow window;
        FakeDialogs dialogs;
    } h;
    FakeNotificationIcon icon;
    WindowShell shell{h.window, h.dialogs, icon};
};

TEST_F(WindowShellTest, DraggingTheTitleKeepsThePointerOverTheSamePlaceOfTheLabel) {
    h.window.pos = {40, 60};
    shell.onTitleStripPress(30, 7);
    // A move without the left button does nothing.
    shell.onTitleStripMove(false, {700, 400});
    EXPECT_EQ(h.window.pos, QPoint(40, 60));
    // The label starts 152 pixels into the window and at its top.
    shell.onTitleStripMove(true, {700, 400});
    EXPECT_EQ(h.window.pos, QPoint(700 - 30 - 152, 400 - 7));
    shell.onTitleStripMove(true, {100, 2});
    EXPECT_EQ(h.window.pos, QPoint(-82, -5));
    // A new press takes new offsets.
    shell.onTitleStripPress(600, 19);
    shell.onTitleStripMove(true, {800, 19});
    EXPECT_EQ(h.window.pos, QPoint(800 - 600 - 152, 0));
}

TEST_F(WindowShellTest, TaskbarHidesIntoTheNotificationAreaAndLeftClicksToggle) {
    shell.hideToTray();
    EXPECT_FALSE(h.window.shown);
    EXPECT_TRUE(icon.visible);

    shell.onTrayIconPress(Qt::LeftButton, 10, 10);
    EXPECT_TRUE(h.window.shown);
    EXPECT_EQ(h.window.raised, 1);
    shell.onTrayIconPress(Qt::LeftButton, 10, 10);
    EXPECT_FALSE(h.window.shown);
    shell.onTrayIconPress(Qt::LeftButton, 10, 10);
    EXPECT_EQ(h.window.raised, 2);

    // "Taskbar" again: the icon stays single.
    shell.hideToTray();
    EXPECT_FALSE(h.window.shown);
    EXPECT_EQ(icon.added, 1);
    EXPECT_EQ(h.window.minimized, 0);
    EXPECT_TRUE(h.dialogs.questions.empty());
}

TEST_F(WindowShellTest, WithoutANotificationAreaTaskbarMinimises) {
    icon.area = false;
    shell.hideToTray();
    EXPECT_TRUE(h.window.shown);
    EXPECT_EQ(h.window.minimized, 1);
    EXPECT_FALSE(icon.visible);
}

TEST_F(WindowShellTest, RightAndMiddleClickAskBeforeQuitting) {
    h.dialogs.answerYes = false;
    shell.onTrayIconPress(Qt::RightButton, 500, 400);
    shell.onTrayIconPress(Qt::MiddleButton, 100, 90);
    ASSERT_EQ(h.dialogs.questions.size(), 2u);
    EXPECT_EQ(h.dialogs.questions[0].first, QStringLiteral("MP3 verlassen?"));
    EXPECT_EQ(h.dialogs.questions[0].second, QPoint(380, 250));
    // Near the screen's corner both come out negative: the dialog centres itself.
    EXPECT_EQ(h.dialogs.questions[1].second, QPoint(-20, -60));
    EXPECT_EQ(h.window.closed, 0);
    EXPECT_TRUE(h.window.shown);

    h.dialogs.answerYes = true;
    shell.onTrayIconPress(Qt::RightButton, 500, 400);
    EXPECT_EQ(h.window.closed, 1);
}

} // namespace
