// The notification-area icon on a real X server. The test process runs on Qt's offscreen platform, so
// the window runs in a child: this test executable started again on the xcb platform, where an agent
// test drives it with xdotool and checks what happened. With trayer running the desktop has a
// notification area; without it, "Taskbar" minimises the window. Xvfb and trayer are stopped by pid.
#include "FormHarness.h"
#include "platform/XcbHandles.h"
#include "support/PeerProcess.h"
#include "support/XdoTool.h"
#include "ui/TrayIcon.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

using namespace std::chrono_literals;

namespace {

constexpr char agentVariable[] = "MP3ZX_TRAY_AGENT";

// ---- the agent: the window on the X server ---------------------------------------------------------

class TrayAgent : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(qGuiApp->nativeInterface<QNativeInterface::QX11Application>(), nullptr)
            << "the agent needs QT_QPA_PLATFORM=xcb";
        ASSERT_TRUE(xdotool_.available());
        ASSERT_TRUE(h.start());
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    // A real click of the pointer at a place on the screen. The server takes the move and the click in
    // order, so there is no need for xdotool's --sync (which stalls when the pointer is already there).
    void click(QPoint at, int button) {
        // Clicks of one button closer together than this would be one double click.
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        ASSERT_TRUE(xdotool_.click(at, button));
    }
    QPoint centreOf(QWidget* w) const { return w->mapToGlobal(w->rect().center()); }
    // The middle of the icon on the screen. Qt does not know where the notification area put the
    // icon's window, so the X server is asked.
    static QPoint iconCentre() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->inherits("QSystemTrayIconSys") || !w->isVisible()) continue;
            xcb_connection_t* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
            const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
            const auto window = static_cast<xcb_window_t>(w->winId());
            const XcbReply<xcb_get_window_attributes_reply_t> attributes(
                xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
            if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) return {};
            const XcbReply<xcb_translate_coordinates_reply_t> reply(xcb_translate_coordinates_reply(
                c,
                xcb_translate_coordinates(c, window, root, static_cast<int16_t>(w->width() / 2),
                                          static_cast<int16_t>(w->height() / 2)),
                nullptr));
            if (!reply) return {};
            return {reply->dst_x, reply->dst_y};
        }
        return {};
    }

    XdoTool xdotool_{QProcessEnvironment::systemEnvironment()};
    FormHarness h;
    MainWindow& form = *h.form;
};

class WithNotificationArea : public TrayAgent {
    void TestBody() override {
        ASSERT_TRUE(waitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 30s));
        click(centreOf(form.trayLabel), 1);
        ASSERT_TRUE(waitUntil([&] { return !form.isVisible(); }, 20s));
        EXPECT_TRUE(form.trayIcon->isVisible());
        EXPECT_FALSE(form.isMinimized());

        // Once trayer has embedded the icon it has a place in the notification area at the bottom.
        // It is shown and has stopped moving when three looks 200 ms apart agree.
        QPoint icon;
        int sameLooks = 0;
        ASSERT_TRUE(waitUntil(
            [&] {
                const QPoint now = iconCentre();
                sameLooks = now == icon && now.y() > 400 ? sameLooks + 1 : 0;
                icon = now;
                if (sameLooks < 3) QTest::qWait(200);
                return sameLooks >= 3;
            },
            30s));
        click(icon, 1);
        ASSERT_TRUE(waitUntil([&] { return form.isVisible(); }, 20s))
            << "icon at " << icon.x() << "," << icon.y();
        click(icon, 1);
        ASSERT_TRUE(waitUntil([&] { return !form.isVisible(); }, 20s));

        h.dialogs.answerYes = false;
        click(icon, 3);
        ASSERT_TRUE(waitUntil([&] { return h.dialogs.questions.size() == 1; }, 20s));
        EXPECT_EQ(h.dialogs.questions[0].first, QStringLiteral("MP3 verlassen?"));
        EXPECT_EQ(h.dialogs.questions[0].second, icon - QPoint(120, 150));
        click(icon, 2);
        ASSERT_TRUE(waitUntil([&] { return h.dialogs.questions.size() == 2; }, 20s));
        EXPECT_FALSE(h.audioEngine.called("closeOutput"));

        // Yes closes the window through the shutdown.
        h.dialogs.answerYes = true;
        click(icon, 3);
        ASSERT_TRUE(waitUntil([&] { return h.audioEngine.called("closeOutput"); }, 20s));
        EXPECT_EQ(h.dialogs.questions.size(), 3u);
    }
};

class WithoutNotificationArea : public TrayAgent {
    void TestBody() override {
        EXPECT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
        click(centreOf(form.trayLabel), 1);
        ASSERT_TRUE(waitUntil([&] { return form.isMinimized(); }, 20s));
        EXPECT_TRUE(form.isVisible());
        EXPECT_FALSE(form.trayIcon->isVisible());
    }
};

// The agent tests exist only in a process started as an agent, so ordinary runs do not list them.
const bool agentsRegistered = [] {
    if (std::getenv(agentVariable)) {
        ::testing::RegisterTest("TrayAgent", "WithNotificationArea", nullptr, nullptr, __FILE__, __LINE__,
                                []() -> ::testing::Test* { return new WithNotificationArea; });
        ::testing::RegisterTest("TrayAgent", "WithoutNotificationArea", nullptr, nullptr, __FILE__, __LINE__,
                                []() -> ::testing::Test* { return new WithoutNotificationArea; });
    }
    return true;
}();

// ---- the test side ----------------------------------------------------------------------------------

class TrayXvfb : public ::testing::Test {
protected:
    void SetUp() override {
        const QString xvfb = findTool(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty() || findTool(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "*** SKIPPED: Xvfb / xdotool not installed (packages xvfb, xdotool) ***";
        x_ = std::make_unique<XServer>(QStringLiteral("640x480x24"));
        ASSERT_TRUE(x_->available()) << "Xvfb did not start";
        env_ = x_->environment();
        // No session bus: Qt shows the icon through the X11 notification area, and starts no bus.
        env_.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/mp3zx-test-bus");
    }
    void TearDown() override {
        trayer_.stop();
        x_.reset();
    }

    // Runs one agent test in a child on the xcb platform; its output is shown when it fails.
    void runAgent(const QString& test) {
        QProcessEnvironment env = env_;
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert(agentVariable, "1");
        env.remove("GTEST_OUTPUT");
        const ToolResult agent =
            runTool(QCoreApplication::applicationFilePath(), {"--gtest_filter=TrayAgent." + test}, env, 180s);
        EXPECT_EQ(agent.exitCode, 0) << agent.out.toStdString();
        EXPECT_TRUE(agent.out.contains("[  PASSED  ] 1 test")) << agent.out.toStdString();
    }

    QProcessEnvironment env_;
    std::unique_ptr<XServer> x_;
    PeerProcess trayer_;
};

TEST_F(TrayXvfb, TheIconAppearsAndItsClicksReachTheWindow) {
    const QString trayer = findTool(QStringLiteral("trayer"));
    if (trayer.isEmpty()) GTEST_SKIP() << "*** SKIPPED: trayer not installed (package trayer) ***";
    ASSERT_TRUE(trayer_.start(trayer,
                              {"--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width",
                               "200", "--heighttype", "pixel", "--height", "32"},
                              env_));
    runAgent(QStringLiteral("WithNotificationArea"));
}

TEST_F(TrayXvfb, WithoutANotificationAreaTaskbarMinimises) {
    runAgent(QStringLiteral("WithoutNotificationArea"));
}

} // namespace
