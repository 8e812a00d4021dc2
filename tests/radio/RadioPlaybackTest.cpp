// Radio mode with a fake engine: switching modes, starting a station (directly or through its .m3u
// playlist fetched from a server on 127.0.0.1), stations that keep the player waiting, the watchdog's
// reconnects and the play button.

#include "radio/LoopbackHttpServer.h"
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
        s.stations.append({QStringLiteral("Eins"), QString::fromLatin1(oneUrl)});
        s.stations.append({QStringLiteral("Zwei"), QString::fromLatin1(twoUrl)});
        s.volumeSetting = 50;
    }
    void startStation(int row) {
        s.stations.setSelected(row);
        h.player.radio.radiosenderLBClick();
    }
    std::string radioUrl() {
        const FakeBass::Stream* st = h.bass.stream(s.radioChannel);
        return st ? st->url : std::string();
    }
    DWORD radioActive() { return h.bass.BASS_ChannelIsActive(s.radioChannel); }
    void tick() { h.player.radio.radioTTimer(); }
    // The calls made since the mark, without the volume changes.
    std::vector<std::string> callsSince(std::size_t mark) {
        std::vector<std::string> out;
        for (std::size_t i = mark; i < h.bass.calls.size(); ++i)
            if (h.bass.calls[i].rfind("BASS_SetVolume", 0) != 0) out.push_back(h.bass.calls[i]);
        return out;
    }

    PlayerHarness h;
    PlayerState& s = h.s;
};

TEST_F(RadioPlaybackTest, EnteringRadioModePlaysTheSelectedStation) {
    h.mixer.muted = true;
    s.stations.setSelected(1);
    h.player.radio.dasRadioBClick();

    EXPECT_TRUE(s.radioMode);
    EXPECT_EQ(s.display.dasRadioB.get(), QStringLiteral("MP3"));
    EXPECT_EQ(s.display.leerenB.get(), QStringLiteral("Senderliste"));
    EXPECT_TRUE(s.display.radiosenderLBVisible.get());
    EXPECT_EQ(h.mixer.muted, std::optional<bool>(false));

    EXPECT_EQ(radioUrl(), twoUrl);
    EXPECT_EQ(h.bass.stream(s.radioChannel)->flags, BASS_STREAM_STATUS);
    EXPECT_EQ(radioActive(), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(s.playMode, PLAYMODE_RADIO);
    EXPECT_EQ(s.stationName, QStringLiteral("Zwei"));
    // No title yet: two blanks, "> " and the station.
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("  > Zwei"));
    EXPECT_EQ(s.display.bitrateL.get(), QStringLiteral("- "));
    EXPECT_EQ(s.display.PlayB.get(), PlayPicture::STOP);
    EXPECT_EQ(s.currentLoudness, 20);
    // 1.5 * 50 - 1.5 * 20
    EXPECT_EQ(h.bass.volume, 45u);
    EXPECT_TRUE(h.player.radioT.isActive());
    EXPECT_EQ(h.player.radioT.interval(), 3000);
    EXPECT_FALSE(h.player.radioLautT.isActive());

    h.bass.sendMeta(s.radioChannel, "StreamTitle='Band - Lied';StreamUrl='';");
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("  > Zwei")) << "shown on the GUI thread, not at once";
    QCoreApplication::processEvents();
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("Band - Lied  > Zwei"));
    EXPECT_EQ(s.display.tip.get(), QStringLiteral("Band - Lied  > Zwei"));
}

// An engine whose station sends a new title just as the player reads the current one.
class TitleChangingBass : public FakeBass {
public:
    const char* BASS_ChannelGetTags(DWORD handle, DWORD tags) override {
        const char* current = FakeBass::BASS_ChannelGetTags(handle, tags);
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
    TitleChangingBass bass;
    FakeMixer mixer;
    FakeHotKeys hotKeys;
    FakeDialogs dialogs;
    FakeWindow window;
    Player player{Services{bass, mixer, hotKeys, dialogs, window}};
    TestOpens opens{player.stationOpener};
    player.s.stations.append({QStringLiteral("Eins"), QString::fromLatin1(oneUrl)});
    player.s.stations.setSelected(0);
    player.radio.radiosenderLBClick();
    EXPECT_EQ(player.s.display.SongL.get(), QStringLiteral("  > Eins"));
    QCoreApplication::processEvents();
    EXPECT_EQ(player.s.display.SongL.get(), QStringLiteral("Neu  > Eins"));
}

TEST_F(RadioPlaybackTest, EnteringRadioModeWithoutAStationShowsTheListOnly) {
    h.player.radio.dasRadioBClick();
    EXPECT_TRUE(s.radioMode);
    EXPECT_TRUE(s.display.radiosenderLBVisible.get());
    EXPECT_FALSE(h.player.radioT.isActive());

    // The playlist reader enters radio mode without starting the selection.
    h.player.radio.dasRadioBClick();
    s.stations.setSelected(0);
    h.player.radio.MP3_Radio_umschalten(false);
    EXPECT_TRUE(s.radioMode);
    EXPECT_FALSE(h.bass.called("BASS_StreamCreateURL"));
}

TEST_F(RadioPlaybackTest, LeavingRadioModeStopsTheStationAndResumesThePausedSong) {
    SongFiles files;
    h.player.songList.neuen_song_eintragen(files.make({"lied.mp3"}).first());
    const HSTREAM song = s.fileStream;
    h.bass.stream(song)->position = 4711;
    const QString songLine = s.songDisplay;
    const QString bitrate = s.bitrateText;
    ASSERT_FALSE(songLine.isEmpty());

    s.stations.setSelected(0);
    h.player.radio.dasRadioBClick();
    EXPECT_EQ(h.bass.BASS_ChannelIsActive(song), BASS_ACTIVE_PAUSED);
    EXPECT_FALSE(h.player.trackTimer.isActive());
    s.lautanpassenCB = true;
    startStation(0);
    ASSERT_TRUE(h.player.radioLautT.isActive());
    const HSTREAM radio = s.radioChannel;

    h.player.radio.dasRadioBClick();
    EXPECT_FALSE(s.radioMode);
    EXPECT_EQ(s.display.dasRadioB.get(), QStringLiteral("Radio"));
    EXPECT_EQ(s.display.leerenB.get(), QStringLiteral("leeren"));
    EXPECT_FALSE(s.display.radiosenderLBVisible.get());
    EXPECT_FALSE(h.player.radioT.isActive());
    EXPECT_FALSE(h.player.radioLautT.isActive());
    EXPECT_EQ(h.bass.BASS_ChannelIsActive(radio), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(h.bass.BASS_ChannelIsActive(song), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(h.bass.stream(song)->position, 4711u);
    EXPECT_EQ(s.playMode, PLAYMODE_SONG);
    EXPECT_TRUE(h.player.trackTimer.isActive());
    EXPECT_EQ(s.display.SongL.get(), songLine);
    EXPECT_EQ(s.display.tip.get(), songLine);
    EXPECT_EQ(s.display.bitrateL.get(), bitrate);
}

TEST_F(RadioPlaybackTest, ClickingAStationAgainOpensANewStreamBeforeStoppingTheOldOne) {
    startStation(0);
    const HSTREAM first = s.radioChannel;
    const std::size_t mark = h.bass.calls.size();
    startStation(0);
    const std::vector<std::string> calls = callsSince(mark);
    const auto at = [&](const std::string& c) {
        return std::find(calls.begin(), calls.end(), c) - calls.begin();
    };
    EXPECT_LT(at(std::string("BASS_StreamCreateURL(") + oneUrl + ")"),
              at("BASS_ChannelStop(" + std::to_string(first) + ")"));
    EXPECT_NE(s.radioChannel, first);
    EXPECT_EQ(radioActive(), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(h.bass.BASS_ChannelIsActive(first), BASS_ACTIVE_STOPPED);
}

TEST_F(RadioPlaybackTest, WatchdogNoticesAStopAtTheNextTickAndReconnectsUntilTheStreamOpens) {
    startStation(0);
    tick();
    EXPECT_FALSE(s.connectionProblem);
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("  > Eins"));

    h.bass.stream(s.radioChannel)->active = BASS_ACTIVE_STALLED;
    tick();
    EXPECT_TRUE(s.connectionProblem);
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("Verbindungsproblem: Eins"));
    EXPECT_EQ(h.player.radioT.interval(), 6000);
    EXPECT_TRUE(h.player.radioT.isActive());

    // The server stays away for two attempts.
    h.bass.unreachable.push_back(oneUrl);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        const std::size_t mark = h.bass.calls.size();
        tick();
        EXPECT_EQ(callsSince(mark),
                  (std::vector<std::string>{"BASS_Free", "BASS_Init(-1,44100)",
                                            std::string("BASS_StreamCreateURL(") + oneUrl + ")"}));
        EXPECT_EQ(s.display.bitrateL.get(), QString::number(attempt));
        EXPECT_TRUE(s.connectionProblem);
        EXPECT_EQ(h.player.radioT.interval(), 6000);
    }

    h.bass.unreachable.clear();
    tick();
    EXPECT_EQ(s.display.bitrateL.get(), QStringLiteral("- "));
    EXPECT_EQ(s.reconnectCount, 0);
    EXPECT_FALSE(s.connectionProblem);
    EXPECT_EQ(h.player.radioT.interval(), 3000);
    EXPECT_EQ(radioActive(), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("  > Eins"));
}

TEST_F(RadioPlaybackTest, AStalledStreamIsStoppedWhenTheUserStartsAStationBeforeTheReconnect) {
    startStation(0);
    const HSTREAM stalled = s.radioChannel;
    h.bass.stream(stalled)->active = BASS_ACTIVE_STALLED;
    tick();
    ASSERT_TRUE(s.connectionProblem);
    startStation(0);
    EXPECT_FALSE(s.connectionProblem);
    EXPECT_NE(s.radioChannel, stalled);
    // It cannot come back beside the new stream.
    EXPECT_TRUE(h.bass.stream(stalled)->freed);
    EXPECT_EQ(h.bass.BASS_ChannelIsActive(stalled), BASS_ACTIVE_STOPPED);
}

TEST_F(RadioPlaybackTest, AStationThatCannotBeOpenedIsLeftToTheWatchdog) {
    h.bass.unreachable.push_back(twoUrl);
    startStation(1);
    EXPECT_EQ(s.radioChannel, 0u);
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("verbinde.."));
    EXPECT_TRUE(h.player.radioT.isActive());
    tick();
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("Verbindungsproblem: Zwei"));
}

// A station that cannot be opened while another plays: the strip goes back to the one that plays, its
// title under its own name, and so do its later titles; the watchdog keeps watching it.
TEST_F(RadioPlaybackTest, AFailedStartGoesBackToTheStationThatPlays) {
    startStation(0);
    const HSTREAM playing = s.radioChannel;
    h.bass.sendMeta(playing, "StreamTitle='Alt';");
    h.bass.unreachable.push_back(twoUrl);
    startStation(1);
    EXPECT_EQ(s.radioChannel, playing);
    EXPECT_EQ(radioActive(), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("Alt  > Eins"));
    EXPECT_EQ(s.stationName, QStringLiteral("Eins"));
    EXPECT_EQ(s.streamURL, QString::fromLatin1(oneUrl));
    tick();
    EXPECT_FALSE(s.connectionProblem);
    h.bass.sendMeta(playing, "StreamTitle='Neu';");
    QCoreApplication::processEvents();
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("Neu  > Eins"));
}

// A station whose server keeps the player waiting: the strip says "verbinde..", the station playing
// before plays on without its titles joining the new name, the watchdog opens nothing beside it, even
// with the old stream stalled. The next choice drops it: its stream, when it comes, is freed unplayed.
TEST_F(RadioPlaybackTest, AStationStillConnectingIsDroppedByTheNextChoice) {
    startStation(0);
    const HSTREAM playing = s.radioChannel;
    h.opens.held = true;
    startStation(1);
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("verbinde.."));
    EXPECT_TRUE(h.player.radio.isStarting());
    h.bass.sendMeta(playing, "StreamTitle='Alt';");
    QCoreApplication::processEvents();
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("verbinde.."));
    h.bass.stream(playing)->active = BASS_ACTIVE_STALLED;
    for (int i = 0; i < 3; ++i)
        tick();
    EXPECT_EQ(h.opens.waiting(), 1u);
    EXPECT_FALSE(h.bass.called("BASS_Free"));
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("verbinde.."));

    startStation(0);
    h.opens.release();
    const auto dropped = std::find_if(h.bass.streams.begin(), h.bass.streams.end(),
                                      [](const auto& st) { return st.second.url == twoUrl; });
    ASSERT_NE(dropped, h.bass.streams.end());
    EXPECT_TRUE(dropped->second.freed);
    EXPECT_FALSE(h.bass.called("BASS_ChannelPlay(" + std::to_string(dropped->first) + ")"));
    EXPECT_EQ(radioUrl(), oneUrl);
    EXPECT_NE(s.radioChannel, playing);
    EXPECT_EQ(radioActive(), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("  > Eins"));
    EXPECT_FALSE(h.player.radio.isStarting());
}

// A song that ends while a station connects leaves the list where it is: the station is not cut off
// by the next song, and plays once it answers.
TEST_F(RadioPlaybackTest, ASongEndingWhileAStationConnectsDoesNotDropTheStation) {
    SongFiles files;
    for (const QString& path : files.make({"eins.mp3", "zwei.mp3"}))
        h.player.songList.neuen_song_eintragen(path);
    const HSTREAM song = s.fileStream;
    h.player.radio.dasRadioBClick();
    h.opens.held = true;
    startStation(0);
    h.bass.stream(song)->active = BASS_ACTIVE_STOPPED;
    h.player.seq.trackTimerTimer();
    EXPECT_EQ(s.fileStream, song);
    EXPECT_TRUE(h.player.radio.isStarting());
    h.opens.release();
    EXPECT_EQ(radioUrl(), oneUrl);
    EXPECT_EQ(radioActive(), BASS_ACTIVE_PLAYING);
}

// Leaving radio mode drops a station still connecting the same way.
TEST_F(RadioPlaybackTest, LeavingRadioModeDropsAStationStillConnecting) {
    s.stations.setSelected(0);
    h.opens.held = true;
    h.player.radio.dasRadioBClick();
    h.player.radio.dasRadioBClick();
    EXPECT_FALSE(h.player.radio.isStarting());
    h.opens.release();
    ASSERT_EQ(h.bass.count("BASS_StreamCreateURL"), 1);
    EXPECT_TRUE(h.bass.stream(h.bass.lastHandle)->freed);
    EXPECT_EQ(s.radioChannel, 0u);
    EXPECT_NE(s.playMode, PLAYMODE_RADIO);
    EXPECT_FALSE(h.player.radioT.isActive());
}

// A reconnect restarts the engine's output, which takes every stream with it: the song paused for the
// radio is opened again where it was, after any number of attempts, and resumes there in MP3 mode.
TEST_F(RadioPlaybackTest, ASongPausedForTheRadioSurvivesReconnects) {
    SongFiles files;
    const QString path = files.make({"lied.mp3"}).first();
    h.player.songList.neuen_song_eintragen(path);
    h.bass.stream(s.fileStream)->position = 4711;
    s.stations.setSelected(0);
    h.player.radio.dasRadioBClick();
    ASSERT_EQ(h.bass.BASS_ChannelIsActive(s.fileStream), BASS_ACTIVE_PAUSED);
    h.bass.stream(s.radioChannel)->active = BASS_ACTIVE_STALLED;
    tick();
    h.bass.unreachable.push_back(oneUrl);
    tick();
    tick();
    ASSERT_EQ(h.bass.count("BASS_Free"), 2);

    h.player.radio.dasRadioBClick();
    const FakeBass::Stream* song = h.bass.stream(s.fileStream);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->path, QFile::encodeName(path).toStdString());
    EXPECT_EQ(song->position, 4711u);
    EXPECT_EQ(h.bass.BASS_ChannelIsActive(s.fileStream), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(s.playMode, PLAYMODE_SONG);
}

TEST_F(RadioPlaybackTest, PlayButtonStopsThePlayingStationAndStartsTheSelectedOne) {
    s.lautanpassenCB = true;
    s.stations.setSelected(0);
    h.player.radio.dasRadioBClick();
    const HSTREAM first = s.radioChannel;
    EXPECT_TRUE(h.player.radioLautT.isActive());
    s.hotKeyDoublePress = true;

    h.player.seq.PlayBClick();
    EXPECT_EQ(h.bass.BASS_ChannelIsActive(first), BASS_ACTIVE_STOPPED);
    EXPECT_FALSE(h.player.radioT.isActive());
    EXPECT_FALSE(h.player.radioLautT.isActive());
    EXPECT_EQ(s.display.PlayB.get(), PlayPicture::START);
    EXPECT_EQ(s.playMode, PLAYMODE_RADIO);
    EXPECT_EQ(h.mixer.muted, std::optional<bool>(true));

    s.hotKeyDoublePress = false;
    s.stations.setSelected(1);
    h.player.seq.PlayBClick();
    EXPECT_EQ(radioUrl(), twoUrl);
    EXPECT_EQ(radioActive(), BASS_ACTIVE_PLAYING);
    EXPECT_TRUE(h.player.radioT.isActive());
    EXPECT_TRUE(h.player.radioLautT.isActive());
    EXPECT_EQ(s.levelWarmup, 0);
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
        s.stations.append({name, server->url(path)});
    }
    bool waitForFetch() {
        return QTest::qWaitFor([this] { return !h.player.HTTPGet1.isDownloading(); }, 20000);
    }

    ScopedCurrentFolder folder;
    std::atomic<bool> gated{false};
    QByteArray playlist = "#EXTM3U\r\nhttp://stream.example/live\r\nhttp://stream.example/other\r\n";
    std::unique_ptr<LoopbackHttpServer> server;
};

TEST_F(StationPlaylistTest, PlaylistStationPlaysTheSecondLineOfTheFetchedFile) {
    addStation(QStringLiteral("Liste"), QStringLiteral("/station.M3U"));
    startStation(2);
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("verbinde.."));
    EXPECT_FALSE(h.bass.called("BASS_StreamCreateURL"));
    // The station chosen while the fetch runs names the stream that starts.
    s.stations.setSelected(1);
    ASSERT_TRUE(waitForFetch());

    ASSERT_EQ(server->requests().size(), 1);
    EXPECT_EQ(server->requests()[0].target, "/station.M3U");
    EXPECT_EQ(s.streamURL, QStringLiteral("http://stream.example/live"));
    EXPECT_EQ(radioUrl(), "http://stream.example/live");
    EXPECT_EQ(s.stationName, QStringLiteral("Zwei"));
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("  > Zwei"));
    EXPECT_FALSE(folder.exists(QStringLiteral("temp.tmp")));
}

TEST_F(StationPlaylistTest, OnlyM3uUrlsAreFetched) {
    addStation(QStringLiteral("Pls"), QStringLiteral("/station.pls"));
    startStation(2);
    EXPECT_EQ(radioUrl(), server->url(QStringLiteral("/station.pls")).toStdString());
    EXPECT_TRUE(server->requests().isEmpty());

    // A one-line playlist gives an empty stream URL, which cannot open: the watchdog takes over.
    addStation(QStringLiteral("Kurz"), QStringLiteral("/one-line.m3u"));
    const HSTREAM playing = s.radioChannel;
    h.bass.finish(playing);
    h.bass.unreachable.push_back("");
    startStation(3);
    ASSERT_TRUE(waitForFetch());
    EXPECT_EQ(s.streamURL, QString());
    EXPECT_EQ(s.radioChannel, playing);
    h.player.radio.radioTTimer();
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("Verbindungsproblem: Kurz"));
}

TEST_F(StationPlaylistTest, FailedFetchNamesTheStationAndLeavesThePlayingOneOn) {
    startStation(0);
    const HSTREAM playing = s.radioChannel;
    addStation(QStringLiteral("Weg"), QStringLiteral("/missing.m3u"));
    startStation(2);
    ASSERT_TRUE(waitForFetch());
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("Radio: Weg: nicht gefunden"));
    EXPECT_EQ(s.radioChannel, playing);
    EXPECT_EQ(radioActive(), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(h.bass.count("BASS_StreamCreateURL"), 1);
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
    EXPECT_FALSE(h.player.HTTPGet1.isDownloading());
    server->openGate();
    ASSERT_TRUE(QTest::qWaitFor([this] { return server->closedConnections() == 1; }, 10000));
    QTest::qWait(200);
    EXPECT_EQ(h.bass.count("BASS_StreamCreateURL"), 1);
    EXPECT_EQ(radioUrl(), oneUrl);
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("  > Eins"));
}

// Nothing is written to the current folder, which may be any folder, or none: here it was removed.
TEST_F(StationPlaylistTest, APlaylistStationPlaysWhateverTheCurrentFolder) {
    addStation(QStringLiteral("Liste"), QStringLiteral("/station.m3u"));
    ASSERT_TRUE(QDir(folder.path()).removeRecursively());
    startStation(2);
    ASSERT_TRUE(waitForFetch());
    EXPECT_EQ(radioUrl(), "http://stream.example/live");
}

} // namespace
