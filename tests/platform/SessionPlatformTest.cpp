// Which window system the player asks Qt for: X11 on a Wayland session that also has an X server,
// unless the user named a platform.

#include "platform/SessionPlatform.h"

#include <QMap>
#include <gtest/gtest.h>

namespace {

QByteArray choiceIn(const QMap<QByteArray, QByteArray>& environment,
                    std::vector<const char*> args = {"mp3zx"}) {
    return preferredPlatform([&](const char* name) { return environment.value(name); }, int(args.size()),
                             args.data());
}

TEST(SessionPlatformTest, AWaylandSessionWithAnXServerRunsOnX11UnlessTheUserChose) {
    const QMap<QByteArray, QByteArray> plasma{{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}};
    EXPECT_EQ(choiceIn(plasma), "xcb;wayland");
    EXPECT_EQ(choiceIn({{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":1"}}), "xcb;wayland");

    // Qt's own choice stands: the user named a platform, there is no X server, or it is an X11 session.
    QMap<QByteArray, QByteArray> chosen = plasma;
    chosen.insert("QT_QPA_PLATFORM", "wayland");
    EXPECT_EQ(choiceIn(chosen), QByteArray());
    EXPECT_EQ(choiceIn(plasma, {"mp3zx", "-platform", "wayland", "lied.mp3"}), QByteArray());
    EXPECT_EQ(choiceIn(plasma, {"mp3zx", "--platform", "wayland"}), QByteArray());
    EXPECT_EQ(choiceIn({{"WAYLAND_DISPLAY", "wayland-0"}}), QByteArray());
    EXPECT_EQ(choiceIn({{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "x11"}}), QByteArray());
    // A song named like the option is no choice of platform.
    EXPECT_EQ(choiceIn(plasma, {"mp3zx", "/musik/-platform"}), "xcb;wayland");
}

} // namespace
