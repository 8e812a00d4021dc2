// The real program as a radio: a station on a local icecast2 (fed by ezstream), chosen with the mouse,
// shows what the station sends, outlives a restart of the server, and is on air again when the program
// starts the next time.

#include "DesktopRun.h"
#include "support/IcecastStation.h"
#include "support/Mp3Fixtures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QString stationName = QStringLiteral("Testwelle");
const QStringList titles{QStringLiteral("Bänd - Grüße aus Köln"), QStringLiteral("Bänd - Zweites Stück")};

// The title strip shows one of the station's titles followed by the station's name.
bool showsATitle(const ProbeState& st) {
    const QString strip = st.value(ascii("titleStrip"));
    for (const QString& title : titles)
        if (strip == title + ascii("  > ") + stationName) return true;
    return false;
}

bool onAir(const ProbeState& st) {
    return st.value(ascii("radioMode")) == u"1" && st.value(ascii("playMode")) == u"2" &&
           st.value(ascii("radioActive")) == u"1" && st.value(ascii("playButton")) == u"STOP" &&
           showsATitle(st);
}

TEST(RadioJourneyTest, AStationPlaysReconnectsAfterTheServerRestartsAndStartsAgainNextTime) {
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
    if (const QString missing = IcecastStation::missingTools(); !missing.isEmpty())
        GTEST_SKIP()
            << "\n*** SKIPPED: " << missing.toStdString()
            << " not installed (scripts/install-deps.sh installs it); the radio journey did not run ***\n";

    QTemporaryDir folder;
    QStringList tracks;
    for (int n = 0; n < 2; ++n) {
        const QString path = folder.path() + ascii("/track") + QString::number(n) + ascii(".mp3");
        const QString title = titles[n].section(ascii(" - "), 1);
        std::string error;
        ASSERT_TRUE(fixtures::makeMp3(
            path.toStdString(), {.frequency = 440.0 + 220 * n, .seconds = 4.0},
            {.extraArguments = {"--tt", title.toStdString(), "--ta", "Bänd", "--add-id3v2"}}, &error))
            << error;
        tracks << path;
    }
    IcecastStation station(folder.path(), tracks);
    QString error;
    ASSERT_TRUE(station.startServer(&error)) << error.toStdString();
    ASSERT_TRUE(station.startSource(&error)) << error.toStdString();
    const auto diagnostics = [&] { return desk.now().dump() + "\n" + station.diagnostics().toStdString(); };

    // Two stations: one the server does not know, and ours below it.
    const QString otherUrl =
        ascii("http://127.0.0.1:") + QString::number(station.port()) + ascii("/anderswo.mp3");
    ASSERT_TRUE(desk.writeStations({{ascii("Anderswo"), otherUrl}, {stationName, station.mountUrl()}}));
    ASSERT_TRUE(desk.start());

    // "Radio" shows the station list; nothing is chosen, so nothing plays yet.
    ASSERT_TRUE(desk.click(DesktopRun::radioButton));
    ASSERT_TRUE(desk.waitFor([](const ProbeState& st) { return st.value(ascii("radioMode")) == u"1"; }))
        << diagnostics();
    EXPECT_EQ(desk.now().value(ascii("playMode")), u"1");

    // A click on the station's row: it plays, with the station's title in the strip.
    ASSERT_TRUE(desk.click(DesktopRun::listRow(1)));
    ASSERT_TRUE(desk.waitFor(onAir, 40s)) << diagnostics();
    EXPECT_EQ(desk.now().value(ascii("streamURL")), station.mountUrl());
    EXPECT_EQ(desk.now().value(ascii("stationSelected")), u"1");

    // The server goes away: the strip says so; it comes back (with its source): the player reconnects.
    station.stopServer();
    ASSERT_TRUE(desk.waitFor(
        [](const ProbeState& st) {
            return st.value(ascii("titleStrip")) == ascii("Verbindungsproblem: ") + stationName;
        },
        40s))
        << diagnostics();
    station.stopSource();
    ASSERT_TRUE(station.startServer(&error)) << error.toStdString();
    ASSERT_TRUE(station.startSource(&error)) << error.toStdString();
    qint64 position = 0;
    ASSERT_TRUE(desk.waitFor(
        [&](const ProbeState& st) {
            position = st.number(ascii("radioPosition"));
            return onAir(st) && position > 0;
        },
        60s))
        << diagnostics();
    EXPECT_TRUE(desk.waitFor([&](const ProbeState& st) {
        return st.number(ascii("radioPosition")) > position;
    })) << "the stream does not move on after the reconnect\n"
        << diagnostics();

    // Closed in radio mode, the settings keep the mode and the station ...
    ASSERT_TRUE(desk.closeWithX()) << "the X button did not close the window";
    const QStringList lines = iniLines(desk.run());
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[6], u"1");
    EXPECT_EQ(lines[7], u"1");

    // ... and the next start is on air with that station, untouched.
    ASSERT_TRUE(desk.restart());
    EXPECT_TRUE(desk.waitFor(
        [](const ProbeState& st) { return onAir(st) && st.value(ascii("stationSelected")) == u"1"; }, 40s))
        << diagnostics();
    EXPECT_EQ(desk.now().value(ascii("streamURL")), station.mountUrl());
    EXPECT_TRUE(desk.run().terminate());
}

} // namespace
