// Radio mode with a fake engine: switching modes, starting a station (directly or through its .m3u
// playlist fetched from a server on 127.0.0.1), stations that keep the player waiting, the watchdog's
// reconnects and the play button.

#include "support/LoopbackHttpServer.h"
#include "radio/RadioTestSupport.h"
#include "support/PlayerHarness.h"
#include "support/SongFiles.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>

namespace {

const char* const oneUrl = "http://one.example/stream";
const char* const twoUrl = "http://two.example/stream";

class RadioPlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        s.radio.stations.append({QStringLiteral("Eins"), QString::fromLatin1(oneUrl)});
        s.radio.stations.append({QStringLiteral("Zwei"), QString::fromLatin1(twoUrl)});
        s.volume.volumeSetting = 50;
    }
    void startStation(int row) {
        s.radio.stations.setSelected(row);
        h.player.radio.startSelectedStation();
    }
    std::string radioUrl() {
        const FakeAudioEngine::Stream* st = h.audioEngine.stream(s.radio.radioChannel);
        return st ? st->url : std::string();
    }
    ChannelState radioActive() { return h.audioEngine.state(s.radio.radioChannel); }
    void tick() { h.player.radio.onWatchdogTick(); }
    // The calls made since the mark, without the volume changes.
    std::vector<std::string> callsSince(std::size_t mark) {
        std::vector<std::string> out;
        for (std::size_t i = mark; i < h.audioEngine.calls.size(); ++i)
            if (h.audioEngine.calls[i].rfind("setGain", 0) != 0) out.push_back(h.audioEngine.calls[i]);
        return out;
    }

    PlayerHarness h;
    Player& s = h.player;
};

TEST_F(RadioPlaybackTest, EnteringRadioModePlaysTheSelectedStation) {
    h.mixer.muted = true;
    s.radio.stations.setSelected(1);
    h.player.radio.toggleRadioMode();

    EXPECT_TRUE(s.radio.radioMode);
    EXPECT_EQ(s.radio.radioButton.get(), QStringLiteral("MP3"));
    EXPECT_EQ(s.radio.clearButton.get(), QStringLiteral("Senderliste"));
    EXPECT_TRUE(s.radio.stationListVisible.get());
    EXPECT_EQ(h.mixer.muted, std::optional<bool>(false));

    EXPECT_EQ(radioUrl(), twoUrl);
    EXPECT_EQ(h.audioEngine.stream(s.radio.radioChannel)->options, OpenOptions{});
    EXPECT_EQ(radioActive(), ChannelState::Playing);
    EXPECT_EQ(s.channel.playMode, PlayMode::Radio);
    EXPECT_EQ(s.radio.stationName, QStringLiteral("Zwei"));
    // No title yet: two blanks, "> " and the station.
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("  > Zwei"));
    EXPECT_EQ(s.channel.bitrateLabel.get(), QStringLiteral("- "));
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::Stop);
    EXPECT_EQ(s.volume.currentLoudness, 20);
    // 1.5 * 50 - 1.5 * 20
    EXPECT_EQ(h.audioEngine.volume, 45);
    EXPECT_TRUE(h.player.radio.watchdogTimer.isActive());
    EXPECT_EQ(h.player.radio.watchdogTimer.interval(), 3000);
    EXPECT_FALSE(h.player.radio.levelFollower.levelTimer.isActive());

    h.audioEngine.sendMeta(s.radio.radioChannel, "StreamTitle='Band - Lied';StreamUrl='';");
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("  > Zwei"))
        << "shown on the GUI thread, not at once";
    QCoreApplication::processEvents();
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("Band - Lied  > Zwei"));
    EXPECT_EQ(s.channel.tip.get(), QStringLiteral("Band - Lied  > Zwei"));
}

// An engine whose station sends a new title just as the player reads the current one.
class TitleChangingEngine : public FakeAudioEngine {
public:
    std::optional<std::string> metadata(ChannelHandle handle) override {
        std::optional<std::string> current = FakeAudioEngine::metadata(handle);
        if (!changed_) {
            changed_ = true;
            sendMeta(handle, "StreamTitle='Neu';");
        }
        return current;
    }

private:
    bool changed_ = false;
};

TEST(RadioTitle, ATitleArrivingWhileTheStationStartsIsNotLost) {
    TitleChangingEngine audioEngine;
    FakeMixer mixer;
    FakeHotKeys hotKeys;
    FakeDialogs dialogs;
    FakeWindow window;
    Player player{Services{audioEngine, mixer, hotKeys, dialogs, window}};
    TestOpens opens{player.radio.stationOpener};
    player.radio.stations.append({QStringLiteral("Eins"), QString::fromLatin1(oneUrl)});
    player.radio.stations.setSelected(0);
    player.radio.startSelectedStation();
    EXPECT_EQ(player.channel.titleStrip.get(), QStringLiteral("  > Eins"));
    QCoreApplication::processEvents();
    EXPECT_EQ(player.channel.titleStrip.get(), QStringLiteral("Neu  > Eins"));
}

TEST_F(RadioPlaybackTest, EnteringRadioModeWithoutAStationShowsTheListOnly) {
    h.player.radio.toggleRadioMode();
    EXPECT_TRUE(s.radio.radioMode);
    EXPECT_TRUE(s.radio.stationListVisible.get());
    EXPECT_FALSE(h.player.radio.watchdogTimer.isActive());

    // The playlist reader enters radio mode without starting the selection.
    h.player.radio.toggleRadioMode();
    s.radio.stations.setSelected(0);
    h.player.radio.switchMode(false);
    EXPECT_TRUE(s.radio.radioMode);
    EXPECT_FALSE(h.audioEngine.called("openUrl"));
}

TEST_F(RadioPlaybackTest, LeavingRadioModeStopsTheStationAndResumesThePausedSong) {
    SongFiles files;
    h.player.songList.addSong(files.make({"lied.mp3"}).first());
    const ChannelHandle song = s.channel.fileStream;
    h.audioEngine.stream(song)->position = 4711;
    const QString songLine = s.channel.songDisplay;
    const QString bitrate = s.channel.bitrateText;
    ASSERT_FALSE(songLine.isEmpty());

    s.radio.stations.setSelected(0);
    h.player.radio.toggleRadioMode();
    EXPECT_EQ(h.audioEngine.state(song), ChannelState::Paused);
    EXPECT_FALSE(h.player.seq.trackTimer.isActive());
    s.volume.levellingBox = true;
    startStation(0);
    ASSERT_TRUE(h.player.radio.levelFollower.levelTimer.isActive());
    const ChannelHandle radio = s.radio.radioChannel;

    h.player.radio.toggleRadioMode();
    EXPECT_FALSE(s.radio.radioMode);
    EXPECT_EQ(s.radio.radioButton.get(), QStringLiteral("Radio"));
    EXPECT_EQ(s.radio.clearButton.get(), QStringLiteral("leeren"));
    EXPECT_FALSE(s.radio.stationListVisible.get());
    EXPECT_FALSE(h.player.radio.watchdogTimer.isActive());
    EXPECT_FALSE(h.player.radio.levelFollower.levelTimer.isActive());
    EXPECT_EQ(h.audioEngine.state(radio), ChannelState::Stopped);
    EXPECT_EQ(h.audioEngine.state(song), ChannelState::Playing);
    EXPECT_EQ(h.audioEngine.stream(song)->position, 4711u);
    EXPECT_EQ(s.channel.playMode, PlayMode::Song);
    EXPECT_TRUE(h.player.seq.trackTimer.isActive());
    EXPECT_EQ(s.channel.titleStrip.get(), songLine);
    EXPECT_EQ(s.channel.tip.get(), songLine);
    EXPECT_EQ(s.channel.bitrateLabel.get(), bitrate);
}

TEST_F(RadioPlaybackTest, ClickingAStationAgainOpensANewStreamBeforeStoppingTheOldOne) {
    startStation(0);
    const ChannelHandle first = s.radio.radioChannel;
    const std::size_t mark = h.audioEngine.calls.size();
    startStation(0);
    const std::vector<std::string> calls = callsSince(mark);
    const auto at = [&](const std::string& c) {
        return std::find(calls.begin(), calls.end(), c) - calls.begin();
    };
    EXPECT_LT(at(std::string("openUrl(") + oneUrl + ")"), at("stop(" + std::to_string(first.value()) + ")"));
    EXPECT_NE(s.radio.radioChannel, first);
    EXPECT_EQ(radioActive(), ChannelState::Playing);
    EXPECT_EQ(h.audioEngine.state(first), ChannelState::Stopped);
}

TEST_F(RadioPlaybackTest, WatchdogNoticesAStopAtTheNextTickAndReconnectsUntilTheStreamOpens) {
    startStation(0);
    tick();
    EXPECT_FALSE(s.radio.connectionProblem);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("  > Eins"));

    h.audioEngine.stream(s.radio.radioChannel)->active = ChannelState::Stalled;
    tick();
    EXPECT_TRUE(s.radio.connectionProblem);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("Verbindungsproblem: Eins"));
    EXPECT_EQ(h.player.radio.watchdogTimer.interval(), 6000);
    EXPECT_TRUE(h.player.radio.watchdogTimer.isActive());

    // The server stays away for two attempts.
    h.audioEngine.unreachable.push_back(oneUrl);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        const std::size_t mark = h.audioEngine.calls.size();
        tick();
        EXPECT_EQ(callsSince(mark), (std::vector<std::string>{"closeOutput", "openOutput(-1,44100)",
                                                              std::string("openUrl(") + oneUrl + ")"}));
        EXPECT_EQ(s.channel.bitrateLabel.get(), QString::number(attempt));
        EXPECT_TRUE(s.radio.connectionProblem);
        EXPECT_EQ(h.player.radio.watchdogTimer.interval(), 6000);
    }

    h.audioEngine.unreachable.clear();
    tick();
    EXPECT_EQ(s.channel.bitrateLabel.get(), QStringLiteral("- "));
    EXPECT_EQ(s.radio.reconnectCount, 0);
    EXPECT_FALSE(s.radio.connectionProblem);
    EXPECT_EQ(h.player.radio.watchdogTimer.interval(), 3000);
    EXPECT_EQ(radioActive(), ChannelState::Playing);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("  > Eins"));
}

TEST_F(RadioPlaybackTest, AStalledStreamIsStoppedWhenTheUserStartsAStationBeforeTheReconnect) {
    startStation(0);
    const ChannelHandle stalled = s.radio.radioChannel;
    h.audioEngine.stream(stalled)->active = ChannelState::Stalled;
    tick();
    ASSERT_TRUE(s.radio.connectionProblem);
    startStation(0);
    EXPECT_FALSE(s.radio.connectionProblem);
    EXPECT_NE(s.radio.radioChannel, stalled);
    // It cannot come back beside the new stream.
    EXPECT_TRUE(h.audioEngine.stream(stalled)->freed);
    EXPECT_EQ(h.audioEngine.state(stalled), ChannelState::Stopped);
}

TEST_F(RadioPlaybackTest, AStationThatCannotBeOpenedIsLeftToTheWatchdog) {
    h.audioEngine.unreachable.push_back(twoUrl);
    startStation(1);
    EXPECT_FALSE(s.radio.radioChannel);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("verbinde.."));
    EXPECT_TRUE(h.player.radio.watchdogTimer.isActive());
    tick();
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("Verbindungsproblem: Zwei"));
}

// A station that cannot be opened while another plays: the strip goes back to the one that plays, its
// title under its own name, and so do its later titles; the watchdog keeps watching it.
TEST_F(RadioPlaybackTest, AFailedStartGoesBackToTheStationThatPlays) {
    startStation(0);
    const ChannelHandle playing = s.radio.radioChannel;
    h.audioEngine.sendMeta(playing, "StreamTitle='Alt';");
    h.audioEngine.unreachable.push_back(twoUrl);
    startStation(1);
    EXPECT_EQ(s.radio.radioChannel, playing);
    EXPECT_EQ(radioActive(), ChannelState::Playing);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("Alt  > Eins"));
    EXPECT_EQ(s.radio.stationName, QStringLiteral("Eins"));
    EXPECT_EQ(s.radio.streamUrl, QString::fromLatin1(oneUrl));
    tick();
    EXPECT_FALSE(s.radio.connectionProblem);
    h.audioEngine.sendMeta(playing, "StreamTitle='Neu';");
    QCoreApplication::processEvents();
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("Neu  > Eins"));
}

// A station whose server keeps the player waiting: the strip says "verbinde..", the station playing
// before plays on without its titles joining the new name, the watchdog opens nothing beside it, even
// with the old stream stalled. The next choice drops it: its stream, when it comes, is freed unplayed.
TEST_F(RadioPlaybackTest, AStationStillConnectingIsDroppedByTheNextChoice) {
    startStation(0);
    const ChannelHandle playing = s.radio.radioChannel;
    h.opens.held = true;
    startStation(1);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("verbinde.."));
    EXPECT_TRUE(h.player.radio.isStarting());
    h.audioEngine.sendMeta(playing, "StreamTitle='Alt';");
    QCoreApplication::processEvents();
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("verbinde.."));
    h.audioEngine.stream(playing)->active = ChannelState::Stalled;
    for (int i = 0; i < 3; ++i)
        tick();
    EXPECT_EQ(h.opens.waiting(), 1u);
    EXPECT_FALSE(h.audioEngine.called("closeOutput"));
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("verbinde.."));

    startStation(0);
    h.opens.release();
    const auto dropped = std::find_if(h.audioEngine.streams.begin(), h.audioEngine.streams.end(),
                                      [](const auto& st) { return st.second.url == twoUrl; });
    ASSERT_NE(dropped, h.audioEngine.streams.end());
    EXPECT_TRUE(dropped->second.freed);
    EXPECT_FALSE(h.audioEngine.called("play(" + std::to_string(dropped->first.value()) + ")"));
    EXPECT_EQ(radioUrl(), oneUrl);
    EXPECT_NE(s.radio.radioChannel, playing);
    EXPECT_EQ(radioActive(), ChannelState::Playing);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("  > Eins"));
    EXPECT_FALSE(h.player.radio.isStarting());
}

// A song that ends while a station connects leaves the list where it is: the station is not cut off
// by the next song, and plays once it answers.
TEST_F(RadioPlaybackTest, ASongEndingWhileAStationConnectsDoesNotDropTheStation) {
    SongFiles files;
    for (const QString& path : files.make({"eins.mp3", "zwei.mp3"}))
        h.player.songList.addSong(path);
    const ChannelHandle song = s.channel.fileStream;
    h.player.radio.toggleRadioMode();
    h.opens.held = true;
    startStation(0);
    h.audioEngine.stream(song)->active = ChannelState::Stopped;
    h.player.seq.onTrackTick();
    EXPECT_EQ(s.channel.fileStream, song);
    EXPECT_TRUE(h.player.radio.isStarting());
    h.opens.release();
    EXPECT_EQ(radioUrl(), oneUrl);
    EXPECT_EQ(radioActive(), ChannelState::Playing);
}

// Leaving radio mode drops a station still connecting the same way.
TEST_F(RadioPlaybackTest, LeavingRadioModeDropsAStationStillConnecting) {
    s.radio.stations.setSelected(0);
    h.opens.held = true;
    h.player.radio.toggleRadioMode();
    h.player.radio.toggleRadioMode();
    EXPECT_FALSE(h.player.radio.isStarting());
    h.opens.release();
    ASSERT_EQ(h.audioEngine.count("openUrl"), 1);
    EXPECT_TRUE(h.audioEngine.stream(h.audioEngine.lastHandle)->freed);
    EXPECT_FALSE(s.radio.radioChannel);
    EXPECT_NE(s.channel.playMode, PlayMode::Radio);
    EXPECT_FALSE(h.player.radio.watchdogTimer.isActive());
}

// A reconnect restarts the engine's output, which takes every stream with it: the song paused for the
// radio is opened again where it was, after any number of attempts, and resumes there in MP3 mode.
TEST_F(RadioPlaybackTest, ASongPausedForTheRadioSurvivesReconnects) {
    SongFiles files;
    const QString path = files.make({"lied.mp3"}).first();
    h.player.songList.addSong(path);
    h.audioEngine.stream(s.channel.fileStream)->position = 4711;
    s.radio.stations.setSelected(0);
    h.player.radio.toggleRadioMode();
    ASSERT_EQ(h.audioEngine.state(s.channel.fileStream), ChannelState::Paused);
    h.audioEngine.stream(s.radio.radioChannel)->active = ChannelState::Stalled;
    tick();
    h.audioEngine.unreachable.push_back(oneUrl);
    tick();
    tick();
    ASSERT_EQ(h.audioEngine.count("closeOutput"), 2);

    h.player.radio.toggleRadioMode();
    const FakeAudioEngine::Stream* song = h.audioEngine.stream(s.channel.fileStream);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->path, QFile::encodeName(path).toStdString());
    EXPECT_EQ(song->position, 4711u);
    EXPECT_EQ(h.audioEngine.state(s.channel.fileStream), ChannelState::Playing);
    EXPECT_EQ(s.channel.playMode, PlayMode::Song);
}

TEST_F(RadioPlaybackTest, PlayButtonStopsThePlayingStationAndStartsTheSelectedOne) {
    s.volume.levellingBox = true;
    s.radio.stations.setSelected(0);
    h.player.radio.toggleRadioMode();
    const ChannelHandle first = s.radio.radioChannel;
    EXPECT_TRUE(h.player.radio.levelFollower.levelTimer.isActive());
    s.mute.hotKeyDoublePress = true;

    h.player.seq.playButtonClicked();
    EXPECT_EQ(h.audioEngine.state(first), ChannelState::Stopped);
    EXPECT_FALSE(h.player.radio.watchdogTimer.isActive());
    EXPECT_FALSE(h.player.radio.levelFollower.levelTimer.isActive());
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::Start);
    EXPECT_EQ(s.channel.playMode, PlayMode::Radio);
    EXPECT_EQ(h.mixer.muted, std::optional<bool>(true));

    s.mute.hotKeyDoublePress = false;
    s.radio.stations.setSelected(1);
    h.player.seq.playButtonClicked();
    EXPECT_EQ(radioUrl(), twoUrl);
    EXPECT_EQ(radioActive(), ChannelState::Playing);
    EXPECT_TRUE(h.player.radio.watchdogTimer.isActive());
    EXPECT_TRUE(h.player.radio.levelFollower.levelTimer.isActive());
    EXPECT_EQ(s.radio.levelFollower.levelWarmup, 0);
    EXPECT_EQ(h.mixer.muted, std::optional<bool>(false));
}

// Stations whose playlist is fetched first, from a server on 127.0.0.1.
class StationPlaylistTest : public RadioPlaybackTest {
protected:
    void SetUp() override {
        RadioPlaybackTest::SetUp();
        server = std::make_unique<LoopbackHttpServer>([this](const LoopbackHttpServer::Request& r) {
            LoopbackHttpServer::Reply reply;
            const QByteArray body =
                r.target == "/one-line.m3u" ? QByteArray("http://ignored.example/\r\n") : playlist;
            reply.bytes = r.target == "/missing.m3u"
                              ? LoopbackHttpServer::response("", "<html>not found</html>")
                              : LoopbackHttpServer::response(
                                    "Content-Length: " + QByteArray::number(body.size()) + "\r\n", body);
            // A gated reply waits until the test opens the gate.
            if (gated) {
                reply.afterGate = reply.bytes;
                reply.bytes.clear();
                reply.waitForGate = true;
            }
            return reply;
        });
        ASSERT_NE(server->port(), 0) << "the test server could not listen on 127.0.0.1";
    }
    void addStation(const QString& name, const QString& path) {
        s.radio.stations.append({name, server->url(path)});
    }
    bool waitForFetch() {
        return QTest::qWaitFor([this] { return !h.player.radio.playlistDownload.isDownloading(); }, 20000);
    }

    ScopedCurrentFolder folder;
    std::atomic<bool> gated{false};
    QByteArray playlist = "#EXTM3U\r\nhttp://stream.example/live\r\nhttp://stream.example/other\r\n";
    std::unique_ptr<LoopbackHttpServer> server;
};

TEST_F(StationPlaylistTest, PlaylistStationPlaysTheSecondLineOfTheFetchedFile) {
    addStation(QStringLiteral("Liste"), QStringLiteral("/station.M3U"));
    startStation(2);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("verbinde.."));
    EXPECT_FALSE(h.audioEngine.called("openUrl"));
    // The station chosen while the fetch runs names the stream that starts.
    s.radio.stations.setSelected(1);
    ASSERT_TRUE(waitForFetch());

    ASSERT_EQ(server->requests().size(), 1);
    EXPECT_EQ(server->requests()[0].target, "/station.M3U");
    EXPECT_EQ(s.radio.streamUrl, QStringLiteral("http://stream.example/live"));
    EXPECT_EQ(radioUrl(), "http://stream.example/live");
    EXPECT_EQ(s.radio.stationName, QStringLiteral("Zwei"));
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("  > Zwei"));
    EXPECT_FALSE(folder.exists(QStringLiteral("temp.tmp")));
}

TEST_F(StationPlaylistTest, OnlyM3uUrlsAreFetched) {
    addStation(QStringLiteral("Pls"), QStringLiteral("/station.pls"));
    startStation(2);
    EXPECT_EQ(radioUrl(), server->url(QStringLiteral("/station.pls")).toStdString());
    EXPECT_TRUE(server->requests().isEmpty());

    // A one-line playlist gives an empty stream URL, which cannot open: the watchdog takes over.
    addStation(QStringLiteral("Kurz"), QStringLiteral("/one-line.m3u"));
    const ChannelHandle playing = s.radio.radioChannel;
    h.audioEngine.finish(playing);
    h.audioEngine.unreachable.push_back("");
    startStation(3);
    ASSERT_TRUE(waitForFetch());
    EXPECT_EQ(s.radio.streamUrl, QString());
    EXPECT_EQ(s.radio.radioChannel, playing);
    h.player.radio.onWatchdogTick();
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("Verbindungsproblem: Kurz"));
}

TEST_F(StationPlaylistTest, FailedFetchNamesTheStationAndLeavesThePlayingOneOn) {
    startStation(0);
    const ChannelHandle playing = s.radio.radioChannel;
    addStation(QStringLiteral("Weg"), QStringLiteral("/missing.m3u"));
    startStation(2);
    ASSERT_TRUE(waitForFetch());
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("Radio: Weg: nicht gefunden"));
    EXPECT_EQ(s.radio.radioChannel, playing);
    EXPECT_EQ(radioActive(), ChannelState::Playing);
    EXPECT_EQ(h.audioEngine.count("openUrl"), 1);
    EXPECT_FALSE(folder.exists(QStringLiteral("temp.tmp")));
}

// A new choice while a station's playlist is still coming abandons the fetch: no message, and the
// playlist's stream never opens; the new station plays.
TEST_F(StationPlaylistTest, ANewChoiceAbandonsAPlaylistStillComing) {
    gated = true;
    addStation(QStringLiteral("Langsam"), QStringLiteral("/slow.m3u"));
    startStation(2);
    ASSERT_TRUE(QTest::qWaitFor([this] { return server->requests().size() == 1; }, 10000));
    EXPECT_TRUE(h.player.radio.isStarting());
    startStation(0);
    EXPECT_FALSE(h.player.radio.playlistDownload.isDownloading());
    server->openGate();
    ASSERT_TRUE(QTest::qWaitFor([this] { return server->closedConnections() == 1; }, 10000));
    QTest::qWait(200);
    EXPECT_EQ(h.audioEngine.count("openUrl"), 1);
    EXPECT_EQ(radioUrl(), oneUrl);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("  > Eins"));
}

// Nothing is written to the current folder, which may be any folder, or none: here it was removed.
TEST_F(StationPlaylistTest, APlaylistStationPlaysWhateverTheCurrentFolder) {
    addStation(QStringLiteral("Liste"), QStringLiteral("/station.m3u"));
    ASSERT_TRUE(QDir(folder.path()).removeRecursively());
    startStation(2);
    ASSERT_TRUE(waitForFetch());
    EXPECT_EQ(radioUrl(), "http://stream.example/live");
}

// The player's title handler goes with the player, whatever the engine does after: a title the
// engine's thread sends later, or one still queued for the window's thread, reaches nothing.
TEST(RadioShutdownTest, FreeingThePlayerRemovesItsTitleHandler) {
    FakeAudioEngine audioEngine;
    FakeMixer mixer;
    FakeHotKeys hotKeys;
    FakeDialogs dialogs;
    FakeWindow window;
    auto player = std::make_unique<Player>(Services{audioEngine, mixer, hotKeys, dialogs, window});
    TestOpens opens{player->radio.stationOpener};
    player->radio.stations.append({QStringLiteral("Eins"), QString::fromLatin1(oneUrl)});
    player->radio.stations.setSelected(0);
    player->radio.startSelectedStation();
    const ChannelHandle radio = player->radio.radioChannel;
    ASSERT_TRUE(radio);
    ASSERT_TRUE(audioEngine.stream(radio)->metadataHandler);
    // A title already handed over and waiting for the window's thread goes with the player too.
    audioEngine.sendMeta(radio, "StreamTitle='Unterwegs';");

    player.reset();
    EXPECT_FALSE(audioEngine.stream(radio)->metadataHandler);
    audioEngine.sendMeta(radio, "StreamTitle='Nach dem Ende';");
    QCoreApplication::processEvents();
}

} // namespace
