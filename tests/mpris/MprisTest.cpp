// The player as an MPRIS2 media player on a private session bus, driven by real clients (playerctl,
// gdbus) over the fake engine: the methods act as the window's controls do, the properties follow the
// program's state, and every change a client shows is announced.

#include "mpris/Mpris.h"
#include "playback/VolumeControl.h"
#include "support/MprisParts.h"
#include "support/PlayerHarness.h"
#include "support/SessionBus.h"
#include "support/SongFiles.h"

#include <QDBusObjectPath>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

using namespace std::chrono_literals;

namespace {

const QString root = QStringLiteral("org.mpris.MediaPlayer2");
const QString playerIface = QStringLiteral("org.mpris.MediaPlayer2.Player");

class MprisTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"dbus-daemon", "playerctl", "gdbus"})
            if (findTool(QString::fromLatin1(tool)).isEmpty())
                GTEST_SKIP() << SessionBus::missing(tool).toStdString();
        ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
        recorder = std::make_unique<SignalRecorder>(bus.connect());
        mpris = std::make_unique<Mpris>(mprisParts(h.player), bus.connect());
        ASSERT_TRUE(mpris->registered());
    }
    void TearDown() override {
        mpris.reset();
        h.player.seq.trackTimer.stop();
        h.player.radio.watchdogTimer.stop();
    }
    // Three songs; the first one plays (the start rule plays a song added while nothing plays).
    void addSongs() {
        for (const QString& path : files.make({"eins.mp3", "zwei.mp3", "drei.mp3"}))
            h.player.songList.addSong(path);
        ASSERT_EQ(h.player.songList.currentIndex, 0);
    }
    QString playerctl(const QStringList& args) {
        const SessionBus::Result r = bus.playerctl(args);
        EXPECT_EQ(r.exitCode, 0) << "playerctl " << args.join(u' ').toStdString() << ": "
                                 << r.out.toStdString();
        return r.out;
    }
    bool waitFor(const std::function<bool()>& cond) { return waitUntil(cond, 10s); }

    SongFiles files;
    SessionBus bus;
    PlayerHarness h;
    std::unique_ptr<SignalRecorder> recorder;
    std::unique_ptr<Mpris> mpris;
};

TEST_F(MprisTest, PlayPauseNextAndPreviousActAsTheButtons) {
    addSongs();
    EXPECT_EQ(playerctl({"status"}), QStringLiteral("Playing"));
    EXPECT_EQ(playerctl({"metadata", "xesam:title"}), QStringLiteral("eins"));

    playerctl({"next"});
    EXPECT_EQ(h.player.songList.currentIndex, 1);
    EXPECT_EQ(playerctl({"metadata", "xesam:title"}), QStringLiteral("zwei"));
    EXPECT_EQ(playerctl({"metadata", "xesam:url"}), QUrl::fromLocalFile(files.path("zwei.mp3")).toString());
    playerctl({"previous"});
    EXPECT_EQ(h.player.songList.currentIndex, 0);
    EXPECT_EQ(bus.get(playerIface, "CanGoPrevious").out, QStringLiteral("(<false>,)"));

    playerctl({"play-pause"});
    EXPECT_EQ(h.audioEngine.state(h.player.channel.fileStream), ChannelState::Paused);
    EXPECT_EQ(h.player.channel.playButton.get(), PlayPicture::Start);
    EXPECT_EQ(playerctl({"status"}), QStringLiteral("Paused"));
    // Paused, the next button does nothing, and clients are told so.
    EXPECT_EQ(bus.get(playerIface, "CanGoNext").out, QStringLiteral("(<false>,)"));
    EXPECT_EQ(bus.call(playerIface + ".Next").exitCode, 0);
    EXPECT_EQ(h.player.songList.songs.selected(), 0);
    // Pause only pauses: a second one does not resume.
    EXPECT_EQ(bus.call(playerIface + ".Pause").exitCode, 0);
    EXPECT_EQ(h.audioEngine.state(h.player.channel.fileStream), ChannelState::Paused);

    playerctl({"play"});
    EXPECT_EQ(h.audioEngine.state(h.player.channel.fileStream), ChannelState::Playing);
    EXPECT_EQ(bus.call(playerIface + ".Play").exitCode, 0);
    EXPECT_EQ(h.audioEngine.state(h.player.channel.fileStream), ChannelState::Playing);
    // Stop pauses a song, so play goes on where it stopped.
    playerctl({"stop"});
    EXPECT_EQ(h.audioEngine.state(h.player.channel.fileStream), ChannelState::Paused);
    EXPECT_EQ(h.player.channel.playMode, PlayMode::Idle);
}

TEST_F(MprisTest, VolumeSetByAClientMovesTheVolumeBar) {
    addSongs();
    h.player.volume.currentLoudness = 30;
    playerctl({"volume", "0.6"});
    EXPECT_EQ(h.player.volume.volumeBar.position(), 60);
    EXPECT_EQ(h.player.volume.volumeSetting, 60);
    ASSERT_FALSE(h.audioEngine.volumesSet.empty());
    EXPECT_EQ(h.audioEngine.volumesSet.back(), outputVolume(60, 30));
    // The bar keeps its range.
    playerctl({"volume", "0.05"});
    EXPECT_EQ(h.player.volume.volumeBar.position(), 20);

    // The bar moved in the window: clients are told, and read it back.
    h.player.volume.volumeBar.setPosition(44);
    ASSERT_TRUE(waitFor([&] { return recorder->announced("Volume", 0.44); }));
    EXPECT_EQ(playerctl({"volume"}), QStringLiteral("0.440000"));
}

TEST_F(MprisTest, ChangesOfSongAndRadioTitleAreAnnounced) {
    addSongs();
    ASSERT_TRUE(waitFor([&] { return recorder->lastTitle() == QStringLiteral("eins"); }));

    // The song ends and the next one starts.
    h.audioEngine.finish(h.player.channel.fileStream);
    h.player.seq.onTrackTick();
    ASSERT_TRUE(waitFor([&] { return recorder->lastTitle() == QStringLiteral("zwei"); }));

    // A station plays, then sends a new title.
    h.player.radio.stations.append({QStringLiteral("Radio X"), QStringLiteral("http://127.0.0.1:9/x")});
    h.player.radio.stations.setSelected(0);
    recorder->changes.clear();
    h.player.radio.toggleRadioMode();
    ASSERT_EQ(h.player.channel.playMode, PlayMode::Radio);
    ASSERT_TRUE(waitFor([&] { return recorder->lastTitle() == QStringLiteral("Radio X"); }));
    EXPECT_TRUE(recorder->announced("CanGoNext", false));
    h.audioEngine.sendMeta(h.player.radio.radioChannel, "StreamTitle='Artist - Song';StreamUrl='';");
    ASSERT_TRUE(waitFor([&] { return recorder->lastTitle() == QStringLiteral("Artist - Song"); }));
    EXPECT_EQ(playerctl({"metadata", "xesam:artist"}), QStringLiteral("Radio X"));
    EXPECT_EQ(playerctl({"status"}), QStringLiteral("Playing"));

    // Stop stops the station as the play button does; the song stays paused.
    playerctl({"stop"});
    EXPECT_EQ(h.audioEngine.state(h.player.radio.radioChannel), ChannelState::Stopped);
    EXPECT_FALSE(h.player.radio.watchdogTimer.isActive());
    EXPECT_EQ(h.player.channel.playButton.get(), PlayPicture::Start);
    ASSERT_TRUE(waitFor([&] { return recorder->announced("PlaybackStatus", QStringLiteral("Stopped")); }));
    EXPECT_EQ(h.audioEngine.state(h.player.channel.fileStream), ChannelState::Paused);
    // Play starts the selected station again.
    playerctl({"play"});
    EXPECT_EQ(h.audioEngine.state(h.player.radio.radioChannel), ChannelState::Playing);
}

TEST_F(MprisTest, SeekAndSetPositionMoveTheSongThroughThePositionBar) {
    addSongs();
    const FakeAudioEngine::Stream& song = *h.audioEngine.stream(h.player.channel.fileStream);
    const std::int64_t length = song.decodedLength;
    ASSERT_GT(length, 0u);

    playerctl({"position", "90"});
    EXPECT_EQ(h.player.channel.positionBar.position(), 500);
    EXPECT_EQ(song.position, 500 * length / 1000);
    EXPECT_EQ(song.active, ChannelState::Playing);
    EXPECT_FALSE(h.player.channel.positionDragging);
    ASSERT_TRUE(waitFor([&] { return !recorder->seeked.isEmpty(); }));
    EXPECT_EQ(recorder->seeked.last(), 90000000);
    // playerctl adds the time since it read the position.
    EXPECT_NEAR(playerctl({"position"}).toDouble(), 90.0, 0.5);

    // Relative, while paused: the song moves and stays paused.
    playerctl({"pause"});
    playerctl({"position", "10+"});
    EXPECT_EQ(h.player.channel.positionBar.position(), 556);
    EXPECT_EQ(song.position, 556 * length / 1000);
    EXPECT_EQ(song.active, ChannelState::Paused);

    // Another track's id is ignored.
    EXPECT_EQ(bus.call(playerIface + ".SetPosition", {"'/org/mp3zx/song/999'", "1000000"}).exitCode, 0);
    EXPECT_EQ(song.position, 556 * length / 1000);
}

TEST_F(MprisTest, OpenUriTakesFilesThroughTheIntakeAndPlaysStreams) {
    const QString path = files.make({"neu.mp3"}).first();
    playerctl({"open", QUrl::fromLocalFile(path).toString()});
    ASSERT_EQ(h.player.songList.songs.count(), 1);
    EXPECT_EQ(h.player.songList.songs.path(0), path);
    EXPECT_EQ(h.player.channel.playMode, PlayMode::Song);

    const QString url = QStringLiteral("http://127.0.0.1:9/stream");
    playerctl({"open", url});
    EXPECT_TRUE(h.audioEngine.called("openUrl(" + url.toStdString() + ")"));
    EXPECT_EQ(h.player.radio.stationName, url);
    EXPECT_EQ(h.player.channel.playMode, PlayMode::Radio);
    EXPECT_EQ(playerctl({"metadata", "xesam:url"}), url);
    EXPECT_EQ(h.audioEngine.state(h.player.channel.fileStream), ChannelState::Paused);

    const SessionBus::Result refused = bus.call(playerIface + ".OpenUri", {"'ftp://127.0.0.1/x.mp3'"});
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_TRUE(refused.out.contains(QStringLiteral("NotSupported"))) << refused.out.toStdString();
}

TEST_F(MprisTest, RootInterfaceRaisesQuitsAndNamesTheDesktopFile) {
    EXPECT_EQ(bus.get(root, "Identity").out, QStringLiteral("(<'MP3 ZX'>,)"));
    EXPECT_EQ(bus.get(root, "HasTrackList").out, QStringLiteral("(<false>,)"));
    // Desktops find the program's name and icon through DesktopEntry.
    const QString entry = bus.get(root, "DesktopEntry").out;
    ASSERT_EQ(entry, QStringLiteral("(<'mp3zx'>,)"));
    QFile desktopFile(QStringLiteral(MP3ZX_SOURCE_DIR "/resources/mp3zx.desktop"));
    ASSERT_TRUE(desktopFile.open(QIODevice::ReadOnly));
    const QByteArray text = desktopFile.readAll();
    EXPECT_TRUE(text.contains("\nIcon=mp3zx\n"));
    EXPECT_TRUE(text.contains("\nExec=mp3zx "));

    EXPECT_EQ(bus.call(root + ".Raise").exitCode, 0);
    EXPECT_EQ(h.window.raised, 1);
    EXPECT_EQ(bus.call(root + ".Quit").exitCode, 0);
    EXPECT_TRUE(waitFor([&] { return h.window.closed == 1; }));
    // Nothing plays yet: nothing to play, pause or seek.
    EXPECT_EQ(bus.get(playerIface, "PlaybackStatus").out, QStringLiteral("(<'Stopped'>,)"));
    EXPECT_EQ(bus.get(playerIface, "CanPlay").out, QStringLiteral("(<false>,)"));
    EXPECT_EQ(
        bus.get(playerIface, "Metadata").out,
        QStringLiteral("(<{'mpris:trackid': <objectpath '/org/mpris/MediaPlayer2/TrackList/NoTrack'>}>,)"));
}

TEST_F(MprisTest, WithoutABusOrWithItsNameTakenThePlayerRunsOn) {
    // A second player on the same bus cannot have the name.
    PlayerHarness other;
    Mpris second(mprisParts(other.player), bus.connect());
    EXPECT_FALSE(second.registered());
    // No bus at all.
    Mpris none(mprisParts(other.player), QDBusConnection(QStringLiteral("no-such-connection")));
    EXPECT_FALSE(none.registered());
    // A session without a bus: none is started for the player.
    {
        QTemporaryDir runtime;
        const QProcessEnvironment saved = QProcessEnvironment::systemEnvironment();
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        EXPECT_FALSE(Mpris::sessionBus().isConnected());
        for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"}) {
            if (saved.contains(name))
                qputenv(name, saved.value(name).toUtf8());
            else
                qunsetenv(name);
        }
    }
    const QStringList paths = files.make({"a.mp3", "b.mp3"});
    for (const QString& path : paths)
        other.player.songList.addSong(path);
    other.player.volume.volumeBar.setPosition(70);
    other.player.seq.playButtonClicked();
    EXPECT_EQ(other.player.channel.playMode, PlayMode::Idle);
    // The first player still has the name.
    EXPECT_EQ(playerctl({"status"}), QStringLiteral("Stopped"));
}

} // namespace
