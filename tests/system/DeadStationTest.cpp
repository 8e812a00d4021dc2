// The real program and a station whose server accepts the connection and never answers (the dead
// station users meet), next to a working one on a local icecast2. The program starts in radio mode on
// the dead station and is chosen there again; the window answers every click on the levelling box
// within a second (a window held by the station's open waits seconds; a busy machine delays some
// answers by a tenth of that), timed through the state probe, while the strip says "verbinde..", the
// open runs into its time-out and the watchdog connects anew. Then the working station, chosen with
// the mouse, plays.

#include "DesktopRun.h"
#include "support/IcecastStation.h"
#include "support/LoopbackServer.h"
#include "support/Mp3Fixtures.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QString stationName = QStringLiteral("Testwelle");

bool onAir(const ProbeState& st) {
    return st.value(ascii("playMode")) == u"2" && st.value(ascii("radioActive")) == u"1" &&
           st.value(ascii("titleStrip")) == ascii("Band - Lied  > ") + stationName;
}

bool connecting(const ProbeState& st) {
    return st.value(ascii("radioMode")) == u"1" && st.value(ascii("titleStrip")) == ascii("verbinde..");
}

TEST(DeadStationTest, TheWindowAnswersWhileAStationNeverAnswersAndTheNextStationPlays) {
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
    if (const QString missing = IcecastStation::missingTools(); !missing.isEmpty())
        GTEST_SKIP() << "\n*** SKIPPED: " << missing.toStdString()
                     << " not installed (scripts/install-deps.sh installs it); the dead station test did not"
                        " run ***\n";

    QTemporaryDir folder;
    const QString track = folder.path() + ascii("/track.mp3");
    std::string error;
    ASSERT_TRUE(fixtures::makeMp3(track.toStdString(), {.seconds = 4.0},
                                  {.extraArguments = {"--tt", "Lied", "--ta", "Band", "--add-id3v2"}},
                                  &error))
        << error;
    IcecastStation station(folder.path(), {track});
    QString failure;
    ASSERT_TRUE(station.startServer(&failure)) << failure.toStdString();
    ASSERT_TRUE(station.startSource(&failure)) << failure.toStdString();
    LoopbackServer dead([](LoopbackServer::Connection& c) {
        c.readRequestHead();
        // Nothing is ever answered; the read ends when the player gives up and closes.
        c.readSome(1, 60s);
    });
    const auto diagnostics = [&] { return desk.now().dump() + "\n" + station.diagnostics().toStdString(); };

    ASSERT_TRUE(desk.writeStations(
        {{ascii("Stumm"), QString::fromStdString(dead.url("/live"))}, {stationName, station.mountUrl()}}));
    // Left in radio mode on the dead station: the start opens it.
    ASSERT_TRUE(desk.writeIni({folder.path(), QString(), ascii("30"), ascii("0"), ascii("50"), ascii("50"),
                               ascii("0"), ascii("1")}));
    desk.run().environment().insert(ascii("MP3ZX_TEST_STATE_MS"), ascii("10"));
    QElapsedTimer started;
    started.start();
    ASSERT_TRUE(desk.start());
    const qint64 startMs = started.elapsed();
    EXPECT_LT(startMs, 4500) << "the window came only after the station's open time-out";
    EXPECT_TRUE(desk.waitFor(connecting, 5s)) << diagnostics();
    ASSERT_TRUE(waitUntil([&] { return dead.connectionCount() >= 1; }, 10s));

    // Chosen again with the mouse.
    const int before = dead.connectionCount();
    ASSERT_TRUE(desk.click(DesktopRun::listRow(0)));
    ASSERT_TRUE(waitUntil([&] { return dead.connectionCount() > before; }, 10s)) << diagnostics();
    EXPECT_TRUE(desk.waitFor(connecting, 5s)) << diagnostics();

    // Every click on the levelling box shows in the probe within a second, until the watchdog has given
    // up on the open and connected again (a new connection to the dead station).
    const int chosen = dead.connectionCount();
    std::vector<qint64> answers;
    QElapsedTimer window;
    window.start();
    bool ticked = desk.now().value(ascii("levellingBox")) == u"1";
    while ((dead.connectionCount() <= chosen || answers.size() < 20) && window.elapsed() < 40000) {
        ticked = !ticked;
        const QString wanted = ticked ? ascii("1") : ascii("0");
        ASSERT_TRUE(desk.click(DesktopRun::levellingBox));
        // Timed from the moment the click is with the X server, when xdotool has returned.
        QElapsedTimer answer;
        answer.start();
        ASSERT_TRUE(waitUntil([&] { return desk.now().value(ascii("levellingBox")) == wanted; }, 10s))
            << "the click was not taken\n"
            << diagnostics();
        answers.push_back(answer.elapsed());
    }
    const qint64 slowest = *std::max_element(answers.begin(), answers.end());
    std::printf("[ measured ] start-up to the window %lld ms; %zu clicks in %lld ms, slowest answer %lld ms, "
                "%d connections to the dead station\n",
                static_cast<long long>(startMs), answers.size(), static_cast<long long>(window.elapsed()),
                static_cast<long long>(slowest), dead.connectionCount());
    EXPECT_LE(slowest, 1000) << "the window stood still";
    EXPECT_GT(dead.connectionCount(), chosen) << "the watchdog never connected again";
    EXPECT_GE(answers.size(), 20u);

    // The working station, chosen with the mouse, plays under its name.
    ASSERT_TRUE(desk.click(DesktopRun::listRow(1)));
    EXPECT_TRUE(desk.waitFor(onAir, 40s)) << diagnostics();
    EXPECT_EQ(desk.now().value(ascii("streamURL")), station.mountUrl());
    EXPECT_TRUE(desk.run().terminate());
}

} // namespace
