// The real program: one instance at a time, the hand-over from a second start, and the settings that
// survive a restart.

#include "support/Mp3Fixtures.h"
#include "support/PeerProcess.h"
#include "support/ProgramRun.h"

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

    // Starts without an argument, or with another extension, end at once and hand nothing over.
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
    const QString xdotool = findTool(QStringLiteral("xdotool"));
    if (!x.available() || xdotool.isEmpty()) GTEST_SKIP() << "*** SKIPPED: Xvfb / xdotool not installed ***";
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
            return runTool(xdotool, {"search", "--name", "RI3-VEZEZI"}, x.environment(), 5s).exitCode == 0 ||
                   !run.running();
        },
        20s));
    // The window sits at (50, 50) with a two-pixel frame; "X" is at client (821, 0), 20 x 20.
    EXPECT_EQ(runTool(xdotool, {"mousemove", "885", "62", "click", "1"}, x.environment()).exitCode, 0);
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
