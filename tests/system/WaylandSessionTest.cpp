// The real program in a Wayland session (Weston, Qt's wayland platform): natively, where the compositor
// alone places the window and no key can be grabbed, and beside an X server, where it runs on X11.

#include "DesktopRun.h"
#include "support/PeerProcess.h"
#include "support/ProgramRun.h"

#include <QFile>
#include <QRgb>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QStringList savedSettings{"/", "", "60", "0", "321", "123", "0", "0", "/"};

QString waylandToolsMissing() {
    for (const char* tool : {"weston", "weston-screenshooter"})
        if (findTool(QString::fromLatin1(tool)).isEmpty())
            return QStringLiteral(
                       "*** SKIPPED: %1 is not installed (scripts/install-deps.sh installs it) ***")
                .arg(QString::fromLatin1(tool));
    return QString();
}

bool writeSettings(const ProgramRun& run) {
    QFile file(run.iniPath());
    return file.open(QIODevice::WriteOnly) && file.write(savedSettings.join("\r\n").toUtf8() + "\r\n") > 0;
}

// The top left corner of the window's client area, found by its sky-blue top row (the version label at
// x 48, then the title strip); null when the window does not show.
QPoint clientAreaOn(const QImage& screen) {
    const QRgb skyBlue = qRgb(0xA6, 0xCA, 0xF0);
    const int versionLabelLeft = 48;
    for (int y = 0; y < screen.height(); ++y) {
        int run = 0;
        for (int x = 0; x < screen.width(); ++x) {
            run = (screen.pixel(x, y) | 0xff000000) == skyBlue ? run + 1 : 0;
            if (run == 600) return {x - run + 1 - versionLabelLeft, y};
        }
    }
    return {};
}

// The window's client area once it is where wanted says (null: not shown), or where it last was.
QPoint waitForWindowOn(const WaylandCompositor& weston, const std::function<bool(QPoint)>& wanted) {
    QPoint client;
    waitUntil(
        [&] {
            client = clientAreaOn(weston.screenshot());
            return wanted(client);
        },
        30s);
    return client;
}

// The player started natively on a Wayland compositor: no X server, no session bus, stderr kept.
class NativeWaylandRun {
public:
    explicit NativeWaylandRun(const XServer* x = nullptr) : weston(x) {
        weston.addTo(run.environment());
        run.environment().remove(QStringLiteral("DISPLAY"));
        run.process().setProcessChannelMode(QProcess::SeparateChannels);
    }
    QString missing() const {
        if (!run.ready())
            return QStringLiteral("*** the program could not be copied into a folder of its own ***");
        if (!weston.available()) return QStringLiteral("*** Weston did not start ***");
        return QString();
    }
    QStringList positionLines() const { return iniLines(run).mid(4, 2); }

    WaylandCompositor weston;
    ProgramRun run;
};

TEST(WaylandSessionTest, TheWindowShowsAndTheSavedPositionGoesBackAsItWas) {
    if (!waylandToolsMissing().isEmpty()) GTEST_SKIP() << waylandToolsMissing().toStdString();
    NativeWaylandRun wayland;
    ASSERT_TRUE(wayland.missing().isEmpty()) << wayland.missing().toStdString();
    ASSERT_TRUE(writeSettings(wayland.run));
    ASSERT_TRUE(wayland.run.start());
    EXPECT_FALSE(waitForWindowOn(wayland.weston, [](QPoint at) { return !at.isNull(); }).isNull());
    ASSERT_TRUE(wayland.run.terminate());

    EXPECT_EQ(wayland.positionLines(), QStringList({"321", "123"}));
    // Without the desktop's shortcuts portal (here: without a session bus) the missing keys are named once.
    EXPECT_EQ(wayland.run.process().readAllStandardError().count("global hot keys are not available"), 1);
}

// Weston as a window on an X server, so xdotool's pointer reaches the player: the strip drags the window
// through the compositor, and a window minimised by "Taskbar" (no notification area here) comes back with
// a second start.
TEST(WaylandSessionTest, TheStripMovesTheWindowAndASecondStartBringsItBack) {
    if (!waylandToolsMissing().isEmpty()) GTEST_SKIP() << waylandToolsMissing().toStdString();
    const QString xdotool = findTool(QStringLiteral("xdotool"));
    if (xdotool.isEmpty()) GTEST_SKIP() << "*** SKIPPED: xdotool is not installed ***";
    XServer x;
    ASSERT_TRUE(x.available());
    NativeWaylandRun wayland(&x);
    ASSERT_TRUE(wayland.missing().isEmpty()) << wayland.missing().toStdString();
    ASSERT_TRUE(writeSettings(wayland.run));
    ASSERT_TRUE(wayland.run.start());
    const QPoint client = waitForWindowOn(wayland.weston, [](QPoint at) { return !at.isNull(); });
    ASSERT_FALSE(client.isNull());

    const auto pointer = [&](const QStringList& steps) {
        return runTool(xdotool, steps, x.environment(), 10s).exitCode == 0;
    };
    const auto arg = [](int value) { return QString::number(value); };
    const QPoint grip = client + DesktopRun::songStrip.center();
    const int down = 200;
    // At a hand's pace: the compositor takes over only once the program has passed the press on, and
    // refuses a drag whose button is up by then. How much of the way the window follows depends on when
    // that is; a busy machine may take most of a second.
    QStringList drag{"mousemove", arg(grip.x()), arg(grip.y()), "mousedown", "1", "sleep", "1"};
    for (int step = 1; step <= 4; ++step)
        drag += {"mousemove", arg(grip.x()), arg(grip.y() + down * step / 4), "sleep", "0.1"};
    drag += {"mouseup", "1"};
    ASSERT_TRUE(pointer(drag));
    const QPoint moved = waitForWindowOn(wayland.weston, [&](QPoint at) {
        return at.x() == client.x() && at.y() > client.y() + down / 2 && at.y() <= client.y() + down;
    });
    ASSERT_GT(moved.y(), client.y() + down / 2) << "the window stayed at " << client.y();

    const QPoint taskbar = moved + DesktopRun::trayLabel;
    ASSERT_TRUE(pointer({"mousemove", arg(taskbar.x()), arg(taskbar.y()), "click", "1"}));
    ASSERT_TRUE(waitForWindowOn(wayland.weston, [](QPoint at) { return at.isNull(); }).isNull());
    ProgramRun second(wayland.run.runtimeDir());
    second.environment() = wayland.run.environment();
    EXPECT_EQ(second.run({}, 10000), 0);
    EXPECT_FALSE(waitForWindowOn(wayland.weston, [](QPoint at) { return !at.isNull(); }).isNull());

    ASSERT_TRUE(wayland.run.terminate());
    EXPECT_EQ(wayland.positionLines(), QStringList({"321", "123"}));
}

// DISPLAY beside WAYLAND_DISPLAY, as XWayland gives it, and no platform named: the player runs on X11,
// where it places its window itself and writes where it was.
TEST(WaylandSessionTest, WithAnXServerBesideItThePlayerRunsOnX11) {
    if (!waylandToolsMissing().isEmpty()) GTEST_SKIP() << waylandToolsMissing().toStdString();
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
    WaylandCompositor weston;
    ASSERT_TRUE(weston.available());
    weston.addTo(desk.run().environment());
    ASSERT_TRUE(desk.writeIni(savedSettings));
    ASSERT_TRUE(desk.start());
    EXPECT_EQ(desk.windowPosition(), QPoint(321, 123));
    EXPECT_TRUE(clientAreaOn(weston.screenshot()).isNull());
    ASSERT_TRUE(desk.closeWithX());
    EXPECT_EQ(iniLines(desk.run()).mid(4, 2), QStringList({"321", "123"}));
}

} // namespace
