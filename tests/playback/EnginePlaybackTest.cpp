// Playing real MP3 files through the real engine (SDL's dummy driver paces in real time): the song
// list plays through in order, pause holds the position, the position bar follows and seeks.

#include "support/EngineHarness.h"
#include "support/Mp3Fixtures.h"
#include "support/PeerProcess.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class EnginePlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
        ASSERT_TRUE(bass.BASS_Init(-1, 44100, 0, nullptr, nullptr))
            << "no SDL output (SDL_AUDIODRIVER=dummy?)";
        s.playMode = PLAYMODE_SONG; // queue the songs without starting them
    }
    void TearDown() override {
        player.trackTimer.stop();
        bass.BASS_Free();
    }
    QString makeSong(const QString& name, double seconds, double frequency = 440) {
        const QString path = dir.filePath(name);
        std::string error;
        EXPECT_TRUE(
            fixtures::makeMp3(path.toStdString(), {.frequency = frequency, .seconds = seconds}, {}, &error))
            << error;
        return path;
    }
    QWORD position() { return bass.BASS_ChannelGetPosition(s.fileStream); }

    QTemporaryDir dir;
    EngineHarness h;
    audio::BassEngine& bass = h.bass;
    Player& player = h.player;
    PlayerState& s = h.s;
};

TEST_F(EnginePlaybackTest, ThreeSongsPlayThroughInOrderToTheEnd) {
    for (const char* name : {"eins.mp3", "zwei.mp3", "drei.mp3"})
        player.songList.neuen_song_eintragen(makeSong(name, 0.8));
    s.playMode = PLAYMODE_IDLE;
    s.songs.setSelected(0);
    player.seq.playsong();
    QList<int> played{s.currentIndex};
    ASSERT_TRUE(waitUntil(
        [&] {
            if (played.last() != s.currentIndex) played << s.currentIndex;
            return s.playMode == PLAYMODE_IDLE;
        },
        15s));
    EXPECT_EQ(played, QList<int>({0, 1, 2}));
    EXPECT_EQ(s.songs.selected(), 2);
    EXPECT_EQ(s.display.PlayB.get(), PlayPicture::START);
    EXPECT_EQ(bass.BASS_ChannelIsActive(s.fileStream), BASS_ACTIVE_STOPPED);
}

TEST_F(EnginePlaybackTest, PauseHoldsThePositionAndPlayResumesThere) {
    player.songList.neuen_song_eintragen(makeSong("lang.mp3", 4));
    s.playMode = PLAYMODE_IDLE;
    s.songs.setSelected(0);
    player.seq.playsong();
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("lang [00:04]"));
    // The whole file over the decoded duration: a little above 128 kbit/s for a short file with its tag.
    const int kbps = s.display.bitrateL.get().toInt();
    EXPECT_GE(kbps, 128);
    EXPECT_LE(kbps, 134);
    ASSERT_TRUE(waitUntil([&] { return s.posTB.position() > 50; }, 5s)) << "the position bar did not move";

    player.seq.PlayBClick();
    ASSERT_EQ(bass.BASS_ChannelIsActive(s.fileStream), BASS_ACTIVE_PAUSED);
    const QWORD paused = position();
    waitUntil([] { return false; }, 300ms);
    EXPECT_EQ(position(), paused);

    player.seq.PlayBClick();
    EXPECT_EQ(bass.BASS_ChannelIsActive(s.fileStream), BASS_ACTIVE_PLAYING);
    ASSERT_TRUE(waitUntil([&] { return position() > paused; }, 3s));
    EXPECT_LT(position(), paused + 44100 * 8 * 2) << "resumed far from where it paused";
}

TEST_F(EnginePlaybackTest, DraggingTheBarTo500ContinuesFromHalfTheLength) {
    player.songList.neuen_song_eintragen(makeSong("mitte.mp3", 6));
    s.playMode = PLAYMODE_IDLE;
    s.songs.setSelected(0);
    player.seq.playsong();
    ASSERT_GT(s.songLengthBytes, 0u);

    player.seq.posTBMouseDown();
    s.posTB.setPosition(500);
    const QWORD half = QWORD{500} * s.songLengthBytes / 1000;
    EXPECT_EQ(position(), half);
    player.seq.posTBMouseUp();
    EXPECT_EQ(bass.BASS_ChannelIsActive(s.fileStream), BASS_ACTIVE_PLAYING);
    ASSERT_TRUE(waitUntil([&] { return position() > half; }, 3s));
    EXPECT_LT(position(), half + QWORD{44100} * 8 * 2);
    ASSERT_TRUE(waitUntil([&] { return s.posTB.position() >= 500; }, 3s));
}

} // namespace
