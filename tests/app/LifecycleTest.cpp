#include "app/Lifecycle.h"
#include "app/Version.h"
#include "platform/InstanceChannel.h"
#include "platform/ByteText.h"
#include "support/FakeFolderTree.h"
#include "support/PlayerHarness.h"
#include "support/SongFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

// Each test gets its own runtime folder, so its instance channel meets no other test's.
class LifecycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    }

    Lifecycle::Start start(PlayerHarness& h, InstanceChannel& channel, const QString& argument = QString()) {
        Lifecycle lifecycle(h.player, channel);
        QStringList args{QStringLiteral("mp3zx")};
        if (!argument.isEmpty()) args << argument;
        return startFully(lifecycle, args);
    }
    // What the program runs before showing the window and what it runs after the first paint.
    Lifecycle::Start startFully(Lifecycle& lifecycle, const QStringList& args = {QStringLiteral("mp3zx")}) {
        const Lifecycle::Start started = lifecycle.start(args, programFolder.path());
        if (started == Lifecycle::Start::Run) lifecycle.finishStart();
        return started;
    }

    QTemporaryDir runtime;
    QTemporaryDir programFolder;
};

TEST(VersionTest, JoinsMajorMinorAndRelease) {
    EXPECT_EQ(versionString(), QStringLiteral("5.4.1"));
    EXPECT_EQ(versionText(10, 0, 23), QStringLiteral("10.0.23"));
    EXPECT_EQ(versionText(0, 0, 0), QString());
}

TEST(ExtensionTest, UpperCasedAndMatchedAsSubstring) {
    EXPECT_EQ(upperExtension(QStringLiteral("/m/Liste.M3u")), QStringLiteral(".M3U"));
    EXPECT_EQ(upperExtension(QStringLiteral("/m/a.b/noext")), QString());
    EXPECT_EQ(upperExtension(QStringLiteral("/m/x.tar.gz")), QStringLiteral(".GZ"));

    for (const char* ext : {".MP3", ".M3U", ".PLS", ".XPL", ".M3", ".P"})
        EXPECT_TRUE(handsOverToRunningInstance(QString::fromLatin1(ext))) << ext;
    EXPECT_FALSE(handsOverToRunningInstance(QString()));
    EXPECT_FALSE(handsOverToRunningInstance(QStringLiteral(".TXT")));

    EXPECT_TRUE(takesArgumentIn(QStringLiteral(".M3U")));
    EXPECT_TRUE(takesArgumentIn(QStringLiteral(".PLS")));
    EXPECT_FALSE(takesArgumentIn(QStringLiteral(".XPL")));
    EXPECT_FALSE(takesArgumentIn(QString()));

    // A second start hands over what the running instance may take in, in order; without any argument
    // an empty text, which only brings the window to the front.
    EXPECT_EQ(handOverTexts({"/m/b.mp3", "/m/notiz.txt", "/m/a.M3U"}),
              QList<QByteArray>({"/m/b.mp3", "/m/a.M3U"}));
    EXPECT_EQ(handOverTexts({}), QList<QByteArray>({QByteArray()}));
    EXPECT_TRUE(handOverTexts({"/m/notiz.txt"}).isEmpty());
}

TEST_F(LifecycleTest, FirstStartShowsVersionTitleAndDefaults) {
    PlayerHarness h;
    h.audioEngine.volume = 70;
    InstanceChannel channel(QStringLiteral("RI3-VEZEZI"));
    ASSERT_EQ(start(h, channel), Lifecycle::Start::Run);

    EXPECT_EQ(h.player.startup.versionLabel.get(), QStringLiteral("MP3  ZX V5.4.1"));
    EXPECT_EQ(h.player.startup.windowTitle.get(), QStringLiteral("RI3-VEZEZI"));
    EXPECT_EQ(h.window.pos, QPoint(50, 50));
    EXPECT_EQ(h.player.channel.playMode, PlayMode::Idle);
    EXPECT_FALSE(h.player.radio.radioMode);
    EXPECT_FALSE(h.player.startup.endingEarly);
    EXPECT_EQ(h.player.volume.initialVolume, 70);
    EXPECT_EQ(h.player.volume.volumeBar.position(), 70);
    EXPECT_TRUE(h.audioEngine.called("openOutput(-1,44100)"));
    EXPECT_EQ(h.player.startup.programFolder, programFolder.path() + u'/');
    EXPECT_EQ(h.player.playlists.playlistFolder, h.player.startup.programFolder);
    EXPECT_TRUE(h.dialogs.messages.empty());
    // The master output is unmuted at start.
    EXPECT_EQ(h.mixer.muted, std::optional<bool>(false));
}

TEST_F(LifecycleTest, WrongEngineVersionEndsTheProcessWithItsMessage) {
    PlayerHarness h;
    h.audioEngine.versionAnswer = 0x02040000;
    InstanceChannel channel(QStringLiteral("RI3-VEZEZI"));
    EXPECT_EQ(start(h, channel), Lifecycle::Start::EndProcess);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].text, QStringLiteral("An incorrect version of BASS.DLL was loaded"));
    EXPECT_EQ(h.dialogs.messages[0].icon, MessageIcon::Error);
    EXPECT_TRUE(h.player.startup.endingEarly);
    EXPECT_FALSE(h.audioEngine.called("openOutput"));
}

TEST_F(LifecycleTest, FailedInitialisationIsReportedAndStartGoesOn) {
    PlayerHarness h;
    h.audioEngine.initResult = 0;
    InstanceChannel channel(QStringLiteral("RI3-VEZEZI"));
    EXPECT_EQ(start(h, channel), Lifecycle::Start::Run);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].text, QStringLiteral("Error initializing audio"));
    EXPECT_EQ(h.player.startup.windowTitle.get(), QStringLiteral("RI3-VEZEZI"));
}

// Before the window's first paint only what the first picture needs runs; the rest follows in
// finishStart, with the command-line song first, and a second start's song that came meanwhile waits
// for it.
TEST_F(LifecycleTest, BeforeTheFirstPaintOnlyThePictureIsMadeAndTheRestFollowsInOrder) {
    SongFiles files;
    const QStringList songs = files.make({"eins.mp3", "zwei.mp3"});
    QFile ini(programFolder.filePath(QStringLiteral("mp3.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("\r\n\r\n60\r\n0\r\n120\r\n80\r\n1\r\n0\r\n");
    ini.close();
    QFile stations(programFolder.filePath(QStringLiteral("mp3.snd")));
    ASSERT_TRUE(stations.open(QIODevice::WriteOnly));
    stations.write("Eins\r\nhttp://127.0.0.1:9/eins\r\nZwei\r\nhttp://127.0.0.1:9/zwei\r\n");
    stations.close();
    PlayerHarness h;
    FakeFolderTree tree{{"bin", "home"}};
    h.player.browser.attachTree(tree);
    InstanceChannel channel(QStringLiteral("RI3-VEZEZI"));
    Lifecycle lifecycle(h.player, channel);
    ASSERT_EQ(lifecycle.start({QStringLiteral("mp3zx"), songs[0]}, programFolder.path()), Lifecycle::Start::Run);

    EXPECT_EQ(h.window.pos, QPoint(120, 80));
    EXPECT_EQ(h.player.volume.volumeBar.position(), 60);
    EXPECT_TRUE(h.hotKeys.registered.empty());
    EXPECT_EQ(h.mixer.sets, 0);
    EXPECT_EQ(h.player.radio.stations.count(), 0);
    EXPECT_TRUE(tree.pathsSet.isEmpty());
    EXPECT_EQ(h.player.songList.songs.count(), 0);

    // The instance is findable already; the song waits until the start has finished.
    std::atomic<bool> sent{false};
    std::thread sender([&] {
        InstanceChannel second(QStringLiteral("RI3-VEZEZI"));
        sent = second.send(textToBytes(songs[1]));
    });
    QTest::qWait(50);
    EXPECT_EQ(h.player.songList.songs.count(), 0);
    lifecycle.finishStart();
    (void)QTest::qWaitFor([&] { return sent.load(); }, 5000);
    sender.join();
    EXPECT_TRUE(sent);

    ASSERT_EQ(h.player.songList.songs.count(), 2);
    EXPECT_EQ(h.player.songList.songs.path(0), songs[0]);
    EXPECT_EQ(h.player.songList.songs.path(1), songs[1]);
    EXPECT_EQ(h.audioEngine.state(h.player.channel.fileStream), ChannelState::Playing);
    EXPECT_EQ(h.hotKeys.registered.size(), 3u);
    EXPECT_EQ(h.mixer.muted, std::optional<bool>(false));
    EXPECT_EQ(h.player.radio.stations.count(), 2);
    EXPECT_EQ(h.player.radio.stations.selected(), 1);
    EXPECT_EQ(tree.pathsSet.value(0), QStringLiteral("/"));
    EXPECT_TRUE(h.dialogs.messages.empty());
}

TEST_F(LifecycleTest, SecondStartHandsItsMp3OverAndEndsEarly) {
    PlayerHarness first;
    InstanceChannel firstChannel(QStringLiteral("RI3-VEZEZI"));
    ASSERT_EQ(start(first, firstChannel), Lifecycle::Start::Run);

    // The second start runs in this process too; the first instance answers from the event loop, so the
    // hand-over is driven from a second thread here.
    PlayerHarness second;
    InstanceChannel secondChannel(QStringLiteral("RI3-VEZEZI"));
    Lifecycle secondLifecycle(second.player, secondChannel);
    second.player.startup.commandArguments = QStringList{QStringLiteral("/musik/Titel.mp3")};
    ASSERT_TRUE(secondChannel.findRunning());

    std::atomic<bool> sent{false};
    std::thread sender([&] {
        InstanceChannel channel(QStringLiteral("RI3-VEZEZI"));
        sent = channel.send(QByteArray("/musik/Titel.mp3"));
    });
    (void)QTest::qWaitFor([&] { return first.player.intake.text() == QStringLiteral("/musik/Titel.mp3"); },
                          5000);
    sender.join();
    EXPECT_TRUE(sent);
    EXPECT_EQ(first.player.intake.text(), QStringLiteral("/musik/Titel.mp3"));
    EXPECT_EQ(first.window.raised, 1);
    EXPECT_TRUE(secondLifecycle.findRunningInstance());
    EXPECT_TRUE(second.player.startup.endingEarly);
}

TEST_F(LifecycleTest, SecondStartWithoutArgumentOnlyRaisesTheWindow) {
    PlayerHarness first;
    InstanceChannel firstChannel(QStringLiteral("RI3-VEZEZI"));
    ASSERT_EQ(start(first, firstChannel), Lifecycle::Start::Run);

    // Another extension: the second start ends and hands nothing over.
    PlayerHarness other;
    InstanceChannel otherChannel(QStringLiteral("RI3-VEZEZI"));
    Lifecycle otherLifecycle(other.player, otherChannel);
    other.player.startup.commandArguments = QStringList{QStringLiteral("/tmp/notes.txt")};
    EXPECT_FALSE(otherLifecycle.findRunningInstance());
    EXPECT_TRUE(other.player.startup.endingEarly);

    // No argument: an empty hand-over, which brings the window to the front and adds nothing.
    PlayerHarness second;
    InstanceChannel secondChannel(QStringLiteral("RI3-VEZEZI"));
    Lifecycle secondLifecycle(second.player, secondChannel);
    EXPECT_TRUE(secondLifecycle.findRunningInstance());
    EXPECT_TRUE(second.player.startup.endingEarly);
    std::atomic<bool> sent{false};
    std::thread sender([&] {
        InstanceChannel channel(QStringLiteral("RI3-VEZEZI"));
        sent = channel.send(QByteArray());
    });
    (void)QTest::qWaitFor([&] { return first.window.raised == 1; }, 5000);
    sender.join();
    EXPECT_TRUE(sent);
    EXPECT_EQ(first.window.raised, 1);
    EXPECT_TRUE(first.player.intake.text().isEmpty());
    EXPECT_EQ(first.player.songList.songs.count(), 0);
}

TEST_F(LifecycleTest, TheClaimIsExclusiveAndPassesOnWhenItsHolderGoes) {
    auto holder = std::make_unique<InstanceChannel>(QStringLiteral("RI3-VEZEZI"));
    ASSERT_TRUE(holder->listen());
    InstanceChannel other(QStringLiteral("RI3-VEZEZI"));
    EXPECT_FALSE(other.listen());
    // The holder's socket was left alone.
    EXPECT_TRUE(other.findRunning());

    // A hand-over to an instance that goes away meanwhile (it receives nothing any more, as while it
    // closes) claims the instance instead.
    std::atomic<int> result{-1};
    // A QThread: the claimed instance listens there.
    std::unique_ptr<QThread> late(QThread::create([&] {
        InstanceChannel channel(QStringLiteral("RI3-VEZEZI"));
        result = static_cast<int>(channel.handOver({QByteArray("/musik/a.mp3")}));
    }));
    late->start();
    holder.reset();
    ASSERT_TRUE(late->wait(QDeadlineTimer(20000)));
    EXPECT_EQ(result, static_cast<int>(InstanceChannel::HandOver::Claimed));
}

TEST_F(LifecycleTest, StaleSocketOfACrashedInstanceDoesNotBlockTheStart) {
    InstanceChannel channel(QStringLiteral("RI3-VEZEZI"));
    QFile stale(channel.socketPath());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    EXPECT_FALSE(channel.findRunning(200));
    PlayerHarness h;
    ASSERT_EQ(start(h, channel), Lifecycle::Start::Run);
    InstanceChannel probe(QStringLiteral("RI3-VEZEZI"));
    EXPECT_TRUE(probe.findRunning());
}

TEST_F(LifecycleTest, ShutdownStopsStreamsRestoresVolumeAndFreesTheEngine) {
    PlayerHarness h;
    h.audioEngine.volume = 64;
    InstanceChannel channel(QStringLiteral("RI3-VEZEZI"));
    Lifecycle lifecycle(h.player, channel);
    ASSERT_EQ(startFully(lifecycle), Lifecycle::Start::Run);
    // A station still connecting when the window closes.
    h.player.radio.stations.append({QStringLiteral("Langsam"), QStringLiteral("http://127.0.0.1:9/langsam")});
    h.player.radio.stations.setSelected(0);
    h.opens.held = true;
    h.player.radio.startSelectedStation();
    h.player.channel.fileStream = ChannelHandle(7);
    h.player.radio.radioChannel = ChannelHandle(9);
    h.player.seq.trackTimer.start();
    h.player.radio.watchdogTimer.start();
    h.audioEngine.calls.clear();

    lifecycle.shutDown();
    EXPECT_FALSE(h.player.seq.trackTimer.isActive());
    EXPECT_FALSE(h.player.radio.watchdogTimer.isActive());
    const std::vector<std::string> expected{"stop(7)", "stop(9)", "setGain(64)", "stopOutput", "closeOutput"};
    EXPECT_EQ(h.audioEngine.calls, expected);
    // Its stream, should it still come, is freed and never played.
    h.opens.release();
    ASSERT_EQ(h.audioEngine.count("openUrl"), 1);
    EXPECT_TRUE(h.audioEngine.called("release(" + std::to_string(h.audioEngine.lastHandle.value()) + ")"));
    EXPECT_EQ(h.player.radio.radioChannel, ChannelHandle(9));
}

// On Wayland the window can neither be placed nor learn its place: a saved place, even one on no screen
// here, is neither applied nor replaced, so the next X11 run finds it as it was.
TEST_F(LifecycleTest, WhereTheCompositorPlacesTheWindowTheSavedPlaceGoesBackUnchanged) {
    PlayerHarness h;
    h.window.knowsPosition = false;
    h.window.pos = {0, 0};
    QFile ini(programFolder.filePath(QStringLiteral("mp3.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("/\r\n\r\n60\r\n0\r\n3000\r\n-70\r\n");
    ini.close();
    InstanceChannel channel(QStringLiteral("RI3-VEZEZI"));
    Lifecycle lifecycle(h.player, channel);
    ASSERT_EQ(startFully(lifecycle), Lifecycle::Start::Run);
    EXPECT_EQ(h.window.pos, QPoint(0, 0));
    lifecycle.shutDown();
    lifecycle.writeSettingsAtExit();
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = ini.readAll().split('\n');
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines[4], "3000\r");
    EXPECT_EQ(lines[5], "-70\r");
}

} // namespace
