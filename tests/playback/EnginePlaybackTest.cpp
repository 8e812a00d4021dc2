// Playing real MP3 files through the real engine (SDL's dummy driver paces in real time): the song
// list plays through in order, pause holds the position, the position bar follows and seeks.

#include "support/EngineHarness.h"
#include "support/Mp3Fixtures.h"
#include "support/PeerProcess.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class EnginePlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
        ASSERT_TRUE(audioEngine.openOutput(-1, 44100)) << "no SDL output (SDL_AUDIODRIVER=dummy?)";
        s.channel.playMode = PlayMode::Song; // queue the songs without starting them
    }
    void TearDown() override {
        player.seq.trackTimer.stop();
        audioEngine.closeOutput();
    }
    QString makeSong(const QString& name, double seconds, double frequency = 440) {
        const QString path = dir.filePath(name);
        std::string error;
        EXPECT_TRUE(
            fixtures::makeMp3(path.toStdString(), {.frequency = frequency, .seconds = seconds}, {}, &error))
            << error;
        return path;
    }
    std::int64_t position() { return audioEngine.position(s.channel.fileStream); }
    void playRow(int row) {
        s.channel.playMode = PlayMode::Idle;
        s.songList.songs.setSelected(row);
        player.seq.playSelected();
    }
    // The song list's rows played from the first one until nothing plays any more; onPoll looks on
    // while they play.
    QList<int> playThrough(const std::function<void()>& onPoll = [] {}) {
        playRow(0);
        QList<int> played{s.songList.currentIndex};
        EXPECT_TRUE(waitUntil(
            [&] {
                onPoll();
                if (played.last() != s.songList.currentIndex) played << s.songList.currentIndex;
                return s.channel.playMode == PlayMode::Idle;
            },
            15s));
        return played;
    }

    QTemporaryDir dir;
    EngineHarness h;
    audio::Engine& audioEngine = h.audioEngine;
    Player& player = h.player;
    Player& s = h.player;
};

TEST_F(EnginePlaybackTest, ThreeSongsPlayThroughInOrderToTheEnd) {
    for (const char* name : {"eins.mp3", "zwei.mp3", "drei.mp3"})
        player.songList.addSong(makeSong(name, 0.8));
    EXPECT_EQ(playThrough(), QList<int>({0, 1, 2}));
    EXPECT_EQ(s.songList.songs.selected(), 2);
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::Start);
    EXPECT_EQ(audioEngine.state(s.channel.fileStream), ChannelState::Stopped);
}

TEST_F(EnginePlaybackTest, PauseHoldsThePositionAndPlayResumesThere) {
    player.songList.addSong(makeSong("lang.mp3", 4));
    playRow(0);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("lang [00:04]"));
    // The whole file over the decoded duration: a little above 128 kbit/s for a short file with its tag.
    const int kbps = s.channel.bitrateLabel.get().toInt();
    EXPECT_GE(kbps, 128);
    EXPECT_LE(kbps, 134);
    ASSERT_TRUE(waitUntil([&] { return s.channel.positionBar.position() > 50; }, 5s))
        << "the position bar did not move";

    player.seq.playButtonClicked();
    ASSERT_EQ(audioEngine.state(s.channel.fileStream), ChannelState::Paused);
    const std::int64_t paused = position();
    waitUntil([] { return false; }, 300ms);
    EXPECT_EQ(position(), paused);

    player.seq.playButtonClicked();
    EXPECT_EQ(audioEngine.state(s.channel.fileStream), ChannelState::Playing);
    ASSERT_TRUE(waitUntil([&] { return position() > paused; }, 3s));
    EXPECT_LT(position(), paused + 44100 * 8 * 2) << "resumed far from where it paused";
}

TEST_F(EnginePlaybackTest, DraggingTheBarTo500ContinuesFromHalfTheLength) {
    player.songList.addSong(makeSong("mitte.mp3", 6));
    playRow(0);
    ASSERT_GT(s.channel.songLengthBytes, 0u);

    player.seq.onPositionBarPress();
    s.channel.positionBar.setPosition(500);
    const std::int64_t half = std::int64_t{500} * s.channel.songLengthBytes / 1000;
    EXPECT_EQ(position(), half);
    player.seq.onPositionBarRelease();
    EXPECT_EQ(audioEngine.state(s.channel.fileStream), ChannelState::Playing);
    ASSERT_TRUE(waitUntil([&] { return position() > half; }, 3s));
    EXPECT_LT(position(), half + std::int64_t{44100} * 8 * 2);
    ASSERT_TRUE(waitUntil([&] { return s.channel.positionBar.position() >= 500; }, 3s));
}

// A file that is not MPEG audio (a WAV under an .mp3 name, in which libmpg123 alone finds 15 s of
// loud noise) does not open and is skipped as a missing one is: nothing of it sounds, and the next
// song plays.
TEST_F(EnginePlaybackTest, AFileThatIsNoMp3IsSkipped) {
    player.songList.addSong(makeSong("eins.mp3", 0.8));
    const QString wave = dir.filePath("zwei.mp3");
    ASSERT_TRUE(fixtures::writeWav(
        wave.toStdString(), {.waveform = fixtures::Waveform::BrownNoise, .amplitude = 1.0, .seconds = 4.0}));
    player.songList.addSong(wave);
    player.songList.addSong(makeSong("drei.mp3", 0.8));
    bool waveOpened = false;
    EXPECT_EQ(playThrough([&] { waveOpened |= s.songList.currentIndex == 1 && s.channel.fileStream; }),
              QList<int>({0, 1, 2}));
    EXPECT_FALSE(waveOpened);
}

// A cover picture of 5 MB in the tags (made by lame) counts neither for the bitrate shown nor for
// the places whose loudness is measured: the tagged song shows and measures as the bare one.
TEST_F(EnginePlaybackTest, ACoverPictureCountsNeitherForTheBitrateNorForTheLoudness) {
    const std::string picture = dir.filePath("cover.jpg").toStdString();
    ASSERT_TRUE(fixtures::writePicture(picture, 5 << 20));
    const fixtures::Signal signal{.frequency = 440, .amplitude = 0.5, .seconds = 8};
    std::string error;
    const QString bare = dir.filePath("ohne.mp3");
    const QString tagged = dir.filePath("mit.mp3");
    ASSERT_TRUE(fixtures::makeMp3(bare.toStdString(), signal, {}, &error)) << error;
    ASSERT_TRUE(fixtures::makeMp3(tagged.toStdString(), signal,
                                  {.extraArguments = {"--ti", picture, "--tt", "Titel", "--ta", "Gruppe"}},
                                  &error))
        << error;
    ASSERT_GT(fixtures::fileSize(tagged.toStdString()), 5u << 20);
    s.volume.levellingBox = true;
    player.songList.addSong(bare);
    player.songList.addSong(tagged);
    EXPECT_GT(s.songList.songs.loudness(0).toInt(), 20);
    EXPECT_EQ(s.songList.songs.loudness(1), s.songList.songs.loudness(0));

    playRow(0);
    const QString bareBitrate = s.channel.bitrateLabel.get();
    // A little above 128 kbit/s: the whole file (with its Info frame) over the decoded duration.
    EXPECT_NEAR(bareBitrate.toInt(), 128, 2) << bareBitrate.toStdString();
    playRow(1);
    EXPECT_EQ(s.channel.bitrateLabel.get(), bareBitrate);
}

// A song of 10 hours decodes to more than 4 GiB: its length, bitrate and position bar still hold, and
// the bar seeks into its last minute. The file is the frames of a short encode repeated (144 MB).
TEST_F(EnginePlaybackTest, ATenHourSongShowsItsLengthAndSeeksToItsLastMinute) {
    const std::string source = dir.filePath("kurz.mp3").toStdString();
    std::string error;
    // 48 kHz at 32 kbit/s has frames of exactly 96 bytes; without an Info frame each repeat of the
    // encode starts with a frame that borrows no bits from the one before.
    ASSERT_TRUE(fixtures::makeMp3(source, {.amplitude = 0.3, .seconds = 30, .sampleRate = 48000},
                                  {.bitrateKbps = 32, .infoTag = false, .resampleHz = 48000}, &error))
        << error;
    std::vector<unsigned char> frames = fixtures::readFile(source);
    frames.resize(frames.size() / 96 * 96);
    ASSERT_FALSE(frames.empty());
    const QString path = dir.filePath("zehn Stunden.mp3");
    {
        std::ofstream out(path.toStdString(), std::ios::binary);
        const std::size_t total = std::size_t{10} * 3600 * 48000 / 1152 * 96;
        for (std::size_t written = 0; written < total;) {
            const std::size_t n = std::min(frames.size(), total - written);
            out.write(reinterpret_cast<const char*>(frames.data()), static_cast<std::streamsize>(n));
            written += n;
        }
        ASSERT_TRUE(out);
    }
    player.songList.addSong(path);
    playRow(0);
    const std::int64_t bytesPerSecond = 48000 * 4;
    EXPECT_EQ(s.channel.songLengthBytes, 36000 * bytesPerSecond);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("zehn Stunden [10:00:00]"));
    EXPECT_EQ(s.channel.bitrateLabel.get(), QStringLiteral("32"));

    player.seq.onPositionBarPress();
    s.channel.positionBar.setPosition(999);
    player.seq.onPositionBarRelease();
    const std::int64_t lastMinute = 35940 * bytesPerSecond;
    EXPECT_GE(position(), lastMinute);
    ASSERT_TRUE(waitUntil([&] { return position() > 35965 * bytesPerSecond; }, 5s)) << "does not play on";
    player.seq.onTrackTick();
    EXPECT_EQ(s.channel.positionBar.position(), 999);
}

} // namespace
