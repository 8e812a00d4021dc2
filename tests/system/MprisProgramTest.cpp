// The real program on a private session bus: it offers itself to the desktop's media controls, and
// their Quit ends it through the normal shutdown.

#include "support/ProgramRun.h"
#include "support/SessionBus.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

bool haveBusClients() {
    return !findTool(QStringLiteral("dbus-daemon")).isEmpty() &&
           !findTool(QStringLiteral("playerctl")).isEmpty() && !findTool(QStringLiteral("gdbus")).isEmpty();
}

TEST(MprisProgramTest, TheProgramOffersItselfAndQuitsThroughItsShutdown) {
    if (!haveBusClients())
        GTEST_SKIP() << SessionBus::missing("dbus-daemon, playerctl or gdbus").toStdString();
    SessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    ProgramRun program;
    ASSERT_TRUE(program.ready());
    program.environment().insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(waitUntil([&] { return bus.get("org.mpris.MediaPlayer2", "Identity").exitCode == 0; }, 20s))
        << "the program did not appear on the bus";
    EXPECT_EQ(bus.playerctl({"status"}).out, QStringLiteral("Stopped"));
    EXPECT_EQ(bus.playerctl({"volume"}).exitCode, 0);

    EXPECT_EQ(bus.call(QStringLiteral("org.mpris.MediaPlayer2.Quit")).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return !program.running(); }, 20s)) << "Quit did not end the program";
    EXPECT_EQ(program.process().exitCode(), 0);
    // The normal shutdown wrote the settings.
    EXPECT_TRUE(QFileInfo::exists(program.iniPath()));
}

} // namespace
