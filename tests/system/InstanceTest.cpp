// The real program: one instance at a time, the hand-over from a second start, and the settings that
// survive a restart.

#include "DesktopRun.h"
#include "support/Mp3Fixtures.h"
#include "support/PeerProcess.h"
#include "support/ProgramRun.h"
#include "support/ProgramState.h"
#include "support/XdoTool.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

QList<QByteArray> iniLines(const QByteArray& bytes) {
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

// The first instance is up once it has created its settings file (start-up reads it after it has
// become findable by a second start).
bool waitForStart(ProgramRun& run) {
    return waitUntil([&] { return QFileInfo::exists(run.iniPath()) || !run.running(); }, 20s) &&
           run.running();
}

TEST(InstanceTest, SecondStartHandsItsSongOverAndEndsWithoutSettings) {
    if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
    QTemporaryDir music;
    const QString folder = music.path() + QStringLiteral("/Rock");
    QDir().mkpath(folder);
    const QString song = folder + QStringLiteral("/Lied.mp3");
    ASSERT_TRUE(fixtures::makeMp3(song.toStdString(), {.seconds = 2}));

    ProgramRun first;
    ASSERT_TRUE(first.ready());
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(waitForStart(first));

    ProgramRun second(first.runtimeDir());
    qint64 elapsed = 0;
    EXPECT_EQ(second.run({song}, 10000, &elapsed), 0);
    EXPECT_LT(elapsed, 3000) << "the hand-over took " << elapsed << " ms";
    std::cout << "hand-over: second start ended after " << elapsed << " ms\n";
    EXPECT_FALSE(QFileInfo::exists(second.iniPath()));

    // Starts without an argument (which only brings the window to the front), or with another
    // extension, end at once and hand no song over.
    for (const QStringList& args :
         {QStringList{}, QStringList{music.path() + QStringLiteral("/notiz.txt")}}) {
        ProgramRun another(first.runtimeDir());
        EXPECT_EQ(another.run(args, 10000), 0);
        EXPECT_FALSE(QFileInfo::exists(another.iniPath()));
    }

    ASSERT_TRUE(first.terminate());
    // The first instance took the song in: its folder tree moved to the song's folder.
    const QList<QByteArray> lines = iniLines(first.iniBytes());
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[0], (QFileInfo(folder).canonicalFilePath() + QStringLiteral("\r")).toUtf8());
}

// A file manager's "Open with" on several files starts the program once per file, all at once.
TEST(InstanceTest, SixStartsAtOnceLeaveOneInstanceThatHasAllSixSongs) {
    if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
    QTemporaryDir music;
    const QString first = music.filePath(QStringLiteral("Lied 1.mp3"));
    ASSERT_TRUE(fixtures::makeMp3(first.toStdString(), {.seconds = 1}));
    QStringList songs{first};
    for (int i = 2; i <= 6; ++i) {
        songs << music.filePath(QStringLiteral("Lied %1.mp3").arg(i));
        ASSERT_TRUE(QFile::copy(first, songs.last()));
    }
    // The race is lost or won at random; a few rounds make a lost one likely to show.
    for (int round = 0; round < 3; ++round) {
        ProgramRun run;
        ASSERT_TRUE(run.ready());
        ProgramState state(run);
        QList<QStringList> starts;
        for (const QString& song : songs)
            starts << QStringList{song};
        ASSERT_TRUE(run.startTogether(starts));
        EXPECT_TRUE(waitUntil([&] { return run.runningCount() <= 1; }, 30s));
        ASSERT_EQ(run.runningCount(), 1) << "round " << round;
        QStringList listed;
        EXPECT_TRUE(state.waitFor(
            [&](const ProbeState& st) {
                listed = st.values(ascii("song"));
                listed.sort();
                return listed == songs;
            },
            30s))
            << "round " << round << ": " << listed.join(u'|').toStdString();
        EXPECT_TRUE(run.terminate());
    }
}

// Several files on one command line are taken in in their order, by the first start and by a second.
TEST(InstanceTest, SeveralFilesOnOneCommandLineArriveInTheirOrder) {
    if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
    QTemporaryDir music;
    QStringList songs;
    for (const char* name : {"d.mp3", "c.mp3", "b.mp3", "a.mp3"})
        songs << music.filePath(QString::fromLatin1(name));
    ASSERT_TRUE(fixtures::makeMp3(songs[0].toStdString(), {.seconds = 1}));
    for (const QString& path : songs.mid(1))
        ASSERT_TRUE(QFile::copy(songs[0], path));

    ProgramRun running;
    ProgramState state(running);
    ASSERT_TRUE(running.start(songs.mid(0, 2)));
    ASSERT_TRUE(state.waitFor([&](const ProbeState& st) { return st.values(ascii("song")).size() == 2; }));
    ProgramRun second(running.runtimeDir());
    EXPECT_EQ(second.run(songs.mid(2), 10000), 0);
    EXPECT_TRUE(state.waitFor([&](const ProbeState& st) { return st.values(ascii("song")) == songs; }, 10s))
        << state.read().dump();
    EXPECT_TRUE(running.terminate());
}

// Hidden in the notification area, the window cannot be reached once the area goes away; a start
// without an argument brings it back, adds nothing and ends at once.
TEST(InstanceTest, AStartWithoutArgumentBringsTheHiddenWindowBack) {
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
    const QString trayer = findTool(QStringLiteral("trayer"));
    if (trayer.isEmpty()) GTEST_SKIP() << "*** SKIPPED: trayer not installed (package trayer) ***";
    PeerProcess area;
    ASSERT_TRUE(area.start(trayer,
                           {"--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "200",
                            "--heighttype", "pixel", "--height", "32"},
                           desk.x().environment()));
    ASSERT_TRUE(desk.start());
    ASSERT_TRUE(desk.click(DesktopRun::trayLabel));
    ASSERT_TRUE(waitUntil([&] { return !desk.windowShown(); }, 10s)) << "\"Taskbar\" did not hide the window";
    area.stop();

    ProgramRun second(desk.run().runtimeDir(), &desk.x());
    qint64 elapsed = 0;
    EXPECT_EQ(second.run({}, 10000, &elapsed), 0);
    EXPECT_LT(elapsed, 3000) << "the second start took " << elapsed << " ms";
    EXPECT_TRUE(waitUntil([&] { return desk.windowShown(); }, 10s)) << "the window stayed hidden";
    EXPECT_TRUE(desk.now().values(ascii("song")).isEmpty());
    EXPECT_TRUE(desk.closeWithX());
}

TEST(InstanceTest, ACrashedInstanceDoesNotBlockTheNextStart) {
    ProgramRun crashed;
    ASSERT_TRUE(crashed.start());
    ASSERT_TRUE(waitForStart(crashed));
    crashed.process().kill();
    crashed.process().waitForFinished(5000);

    ProgramRun next(crashed.runtimeDir());
    ASSERT_TRUE(next.start());
    EXPECT_TRUE(waitForStart(next));
    EXPECT_TRUE(next.terminate());
}

TEST(InstanceTest, SettingsSurviveARestartClosedWithTheXButton) {
    XServer x;
    const XdoTool xdotool(x.environment());
    if (!x.available() || !xdotool.available())
        GTEST_SKIP() << "*** SKIPPED: Xvfb / xdotool not installed ***";
    QTemporaryDir music;
    ProgramRun run(QString(), &x);
    ASSERT_TRUE(run.ready());
    {
        QFile ini(run.iniPath());
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(music.path().toUtf8() + "\r\n\r\n64\r\n1\r\n50\r\n50\r\n-1\r\n0\r\n/listen/\r\n");
    }
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitUntil(
        [&] {
            return xdotool.run({"search", "--name", "RI3-VEZEZI"}, 5s).exitCode == 0 || !run.running();
        },
        20s));
    // The window sits at (50, 50) with a two-pixel frame; "X" is at client (821, 0), 20 x 20.
    EXPECT_TRUE(xdotool.click({885, 62}));
    EXPECT_TRUE(run.process().waitForFinished(10000)) << "the X button did not close the window";

    const QList<QByteArray> lines = iniLines(run.iniBytes());
    ASSERT_EQ(lines.size(), 9);
    for (const QByteArray& line : lines)
        EXPECT_TRUE(line.endsWith('\r'));
    EXPECT_EQ(lines[0], music.path().toUtf8() + "\r");
    EXPECT_EQ(lines[2], "64\r");
    EXPECT_EQ(lines[3], "1\r");
    EXPECT_EQ(lines[4], "50\r");
    EXPECT_EQ(lines[5], "50\r");
    EXPECT_EQ(lines[8], "/listen/\r");
}

} // namespace
