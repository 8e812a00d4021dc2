// Playing the song list with a fake engine: start, pause, next/previous, the end-of-song tick, seeking,
// the ending preview and what the title strip shows.

#include "support/PlayerHarness.h"
#include "support/SongFiles.h"

#include <gtest/gtest.h>

namespace {

class PlaySequencerTest : public ::testing::Test {
protected:
    void SetUp() override {
        s.channel.playMode = PLAYMODE_SONG;
        for (const QString& path : songs)
            h.player.songList.addSong(path);
        s.channel.playMode = PLAYMODE_IDLE;
    }
    void play(int i) {
        s.songList.songs.setSelected(i);
        h.player.seq.playSelected();
    }
    QString playingPath() {
        const FakeAudioEngine::Stream* st = h.audioEngine.stream(s.channel.fileStream);
        return st ? QString::fromStdString(st->path) : QString();
    }
    ChannelState active() { return h.audioEngine.state(s.channel.fileStream); }

    PlayerHarness h;
    Player& s = h.player;
    SongFiles files;
    QStringList songs = files.make({"eins.mp3", "zwei.mp3", "drei.mp3"});
};

TEST_F(PlaySequencerTest, PlaysongStartsTheSelectedSongAndShowsIt) {
    h.audioEngine.lengths[songs[1].toStdString()] = 4'000'000;
    h.audioEngine.secondsOf[songs[1].toStdString()] = 185.0;
    h.audioEngine.defaultFileSize = 2'960'000;
    play(1);
    EXPECT_EQ(playingPath(), songs[1]);
    EXPECT_EQ(s.channel.playMode, PLAYMODE_SONG);
    EXPECT_EQ(s.songList.currentIndex, 1);
    EXPECT_EQ(s.channel.songLengthBytes, 4'000'000u);
    EXPECT_EQ(s.channel.songSeconds, 185);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("zwei [03:05]"));
    EXPECT_EQ(s.channel.tip.get(), QStringLiteral("zwei [03:05]"));
    EXPECT_EQ(s.channel.bitrateLabel.get(), QStringLiteral("128"));
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::STOP);
    EXPECT_TRUE(h.player.seq.trackTimer.isActive());
    EXPECT_EQ(h.audioEngine.stream(s.channel.fileStream)->options, OpenOptions{.autoFree = true});
    // Loudness 30 with the bar at 30 plays at the lowest output volume.
    EXPECT_EQ(h.audioEngine.volume, 1u);
}

TEST_F(PlaySequencerTest, UnknownDurationShowsZeroAndNoBitrate) {
    h.audioEngine.secondsOf[songs[0].toStdString()] = 0;
    play(0);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("eins [00:00]"));
    EXPECT_EQ(s.channel.bitrateLabel.get(), QStringLiteral(" - "));
    EXPECT_EQ(s.channel.songSeconds, 0);
}

TEST_F(PlaySequencerTest, AMissingFileIsNotPlayedAndTheSongGoesOn) {
    play(0);
    QFile::remove(songs[1]);
    s.songList.songs.setSelected(1);
    h.player.seq.playSelected();
    EXPECT_EQ(playingPath(), songs[0]);
    EXPECT_EQ(s.songList.currentIndex, 0);
}

TEST_F(PlaySequencerTest, PlayButtonPausesAndResumesAtTheSamePlace) {
    play(0);
    h.audioEngine.stream(s.channel.fileStream)->position = 12345;
    h.player.seq.playButtonClicked();
    EXPECT_EQ(active(), ChannelState::Paused);
    EXPECT_EQ(s.channel.playMode, PLAYMODE_IDLE);
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::START);
    EXPECT_FALSE(h.player.seq.trackTimer.isActive());

    s.channel.titleStrip = QStringLiteral("something else");
    h.player.seq.playButtonClicked();
    EXPECT_EQ(active(), ChannelState::Playing);
    EXPECT_EQ(h.audioEngine.stream(s.channel.fileStream)->position, 12345u);
    EXPECT_EQ(s.channel.playMode, PLAYMODE_SONG);
    EXPECT_EQ(s.channel.titleStrip.get(), s.channel.songDisplay);
    EXPECT_TRUE(h.player.seq.trackTimer.isActive());
}

// While the sound output is away the engine holds the song (stalled); the button, showing it as playing,
// pauses it, and the next click plays it again (which has the engine try the output at once).
TEST_F(PlaySequencerTest, PlayButtonPausesASongHeldForTheOutput) {
    play(0);
    h.audioEngine.stream(s.channel.fileStream)->active = ChannelState::Stalled;
    h.player.seq.playButtonClicked();
    EXPECT_EQ(active(), ChannelState::Paused);
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::START);
    h.player.seq.playButtonClicked();
    EXPECT_EQ(active(), ChannelState::Playing);
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::STOP);
}

TEST_F(PlaySequencerTest, NextAndPreviousStopAtTheEndsAndOnlyActWhilePlaying) {
    play(0);
    h.player.seq.previousButtonClicked();
    EXPECT_EQ(playingPath(), songs[0]);
    h.player.seq.nextButtonClicked();
    h.player.seq.nextButtonClicked();
    EXPECT_EQ(playingPath(), songs[2]);
    h.player.seq.nextButtonClicked();
    EXPECT_EQ(playingPath(), songs[2]);
    h.player.seq.previousButtonClicked();
    EXPECT_EQ(playingPath(), songs[1]);

    h.player.seq.playButtonClicked();
    h.player.seq.nextButtonClicked();
    h.player.seq.previousButtonClicked();
    EXPECT_EQ(playingPath(), songs[1]);
    EXPECT_EQ(active(), ChannelState::Paused);
}

TEST_F(PlaySequencerTest, EndOfSongTickPlaysOnAndStopsAfterTheLastRow) {
    play(0);
    for (int i = 1; i < 3; ++i) {
        h.audioEngine.finish(s.channel.fileStream);
        h.player.seq.onTrackTick();
        EXPECT_EQ(playingPath(), songs[i]);
        EXPECT_EQ(s.channel.playMode, PLAYMODE_SONG);
    }
    h.audioEngine.finish(s.channel.fileStream);
    h.player.seq.onTrackTick();
    h.player.seq.onTrackTick();
    EXPECT_EQ(s.channel.playMode, PLAYMODE_IDLE);
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::START);
    EXPECT_EQ(s.songList.songs.selected(), 2);
    EXPECT_EQ(s.songList.currentIndex, 2);
    EXPECT_TRUE(h.player.seq.trackTimer.isActive());
    // Play after the end: the ended stream is gone; the next tick brings the button back.
    h.player.seq.playButtonClicked();
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::STOP);
    h.player.seq.onTrackTick();
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::START);
    EXPECT_EQ(s.channel.playMode, PLAYMODE_IDLE);
}

TEST_F(PlaySequencerTest, MissingFilesAreSkippedOnePerTick) {
    play(0);
    QFile::remove(songs[1]);
    h.audioEngine.finish(s.channel.fileStream);
    h.player.seq.onTrackTick();
    EXPECT_EQ(s.songList.songs.selected(), 1);
    EXPECT_EQ(s.songList.currentIndex, 0);
    h.player.seq.onTrackTick();
    EXPECT_EQ(playingPath(), songs[2]);
    EXPECT_EQ(s.songList.currentIndex, 2);
}

TEST_F(PlaySequencerTest, AFileTheEngineCannotOpenCountsAsEnded) {
    h.audioEngine.unopenable.push_back(songs[0].toStdString());
    play(0);
    EXPECT_FALSE(s.channel.fileStream);
    h.player.seq.onTrackTick();
    EXPECT_EQ(playingPath(), songs[1]);
}

// Lengths past 4 GiB (a 10-hour song) keep all their bits.
TEST_F(PlaySequencerTest, PositionBarFollowsAndSeeksWith64BitTruncation) {
    h.audioEngine.lengths[songs[0].toStdString()] = 7'000'000'001ull;
    h.audioEngine.secondsOf[songs[0].toStdString()] = 36'000.0;
    play(0);
    ASSERT_EQ(s.channel.songLengthBytes, 7'000'000'001u);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("eins [10:00:00]"));
    h.audioEngine.stream(s.channel.fileStream)->position = 3'500'000'000;
    h.player.seq.onTrackTick();
    EXPECT_EQ(s.channel.positionBar.position(), 499);

    for (const auto& [value, expected] :
         {std::pair{0, 0ull}, {500, 3'500'000'000ull}, {1000, 7'000'000'001ull}}) {
        h.player.seq.onPositionBarPress();
        EXPECT_EQ(active(), ChannelState::Paused);
        s.channel.positionBar.setPosition(value == 0 ? 1 : 0);
        s.channel.positionBar.setPosition(value);
        EXPECT_EQ(h.audioEngine.stream(s.channel.fileStream)->position, expected) << value;
        h.player.seq.onPositionBarRelease();
        EXPECT_EQ(active(), ChannelState::Playing);
    }
    // While the bar is held the tick leaves it alone.
    h.player.seq.onPositionBarPress();
    s.channel.positionBar.setPosition(700);
    h.player.seq.onTrackTick();
    EXPECT_EQ(s.channel.positionBar.position(), 700);
}

TEST_F(PlaySequencerTest, DraggingWhilePausedMovesButStaysPaused) {
    play(0);
    h.player.seq.playButtonClicked();
    h.player.seq.onPositionBarPress();
    s.channel.positionBar.setPosition(500);
    h.player.seq.onPositionBarRelease();
    EXPECT_EQ(active(), ChannelState::Paused);
    EXPECT_EQ(h.audioEngine.stream(s.channel.fileStream)->position, h.audioEngine.defaultLength / 2);
}

TEST_F(PlaySequencerTest, EndingPreviewJumpsToTheLast15SecondsAndScalesTheBar) {
    h.audioEngine.lengths[songs[0].toStdString()] = 1'800'000;
    h.audioEngine.secondsOf[songs[0].toStdString()] = 180.0;
    play(0);
    s.channel.positionBar.setPosition(250);
    h.player.channel.previewEnding();
    EXPECT_EQ(s.channel.playMode, PLAYMODE_PREVIEW);
    EXPECT_EQ(s.channel.previewReturnPosition, 250);
    EXPECT_EQ(s.channel.previewStartBytes, 1'650'000u);
    EXPECT_EQ(s.channel.previewRangeBytes, 150'000u);
    EXPECT_EQ(h.audioEngine.stream(s.channel.fileStream)->position, 1'650'000u);
    EXPECT_EQ(active(), ChannelState::Playing);

    h.audioEngine.stream(s.channel.fileStream)->position = 1'725'000;
    h.player.seq.onTrackTick();
    EXPECT_EQ(s.channel.positionBar.position(), 500);

    for (const auto& [value, expected] :
         {std::pair{0, 1'650'000ull}, {500, 1'725'000ull}, {1000, 1'800'000ull}}) {
        h.player.seq.onPositionBarPress();
        s.channel.positionBar.setPosition(value == 0 ? 1 : 0);
        s.channel.positionBar.setPosition(value);
        EXPECT_EQ(h.audioEngine.stream(s.channel.fileStream)->position, expected) << value;
        h.player.seq.onPositionBarRelease();
    }
}

TEST_F(PlaySequencerTest, EndingPreviewOfAShortSongStartsAtItsBeginning) {
    h.audioEngine.secondsOf[songs[0].toStdString()] = 10.0;
    play(0);
    h.player.channel.previewEnding();
    EXPECT_EQ(s.channel.previewStartBytes, 0u);
    EXPECT_EQ(s.channel.previewRangeBytes, s.channel.songLengthBytes);
}

} // namespace
