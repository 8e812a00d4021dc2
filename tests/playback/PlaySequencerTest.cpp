// Playing the song list with a fake engine: start, pause, next/previous, the end-of-song tick, seeking,
// the ending preview and what the title strip shows.

#include "support/PlayerHarness.h"
#include "support/SongFiles.h"

#include <gtest/gtest.h>

namespace {

class PlaySequencerTest : public ::testing::Test {
protected:
    void SetUp() override {
        s.playMode = PLAYMODE_SONG;
        for (const QString& path : songs)
            h.player.songList.neuen_song_eintragen(path);
        s.playMode = PLAYMODE_IDLE;
    }
    void play(int i) {
        s.songs.setSelected(i);
        h.player.seq.playsong();
    }
    QString playingPath() {
        const FakeBass::Stream* st = h.bass.stream(s.fileStream);
        return st ? QString::fromStdString(st->path) : QString();
    }
    DWORD active() { return h.bass.BASS_ChannelIsActive(s.fileStream); }

    PlayerHarness h;
    PlayerState& s = h.s;
    SongFiles files;
    QStringList songs = files.make({"eins.mp3", "zwei.mp3", "drei.mp3"});
};

TEST_F(PlaySequencerTest, PlaysongStartsTheSelectedSongAndShowsIt) {
    h.bass.lengths[songs[1].toStdString()] = 4'000'000;
    h.bass.secondsOf[songs[1].toStdString()] = 185.0;
    h.bass.defaultFileSize = 2'960'000;
    play(1);
    EXPECT_EQ(playingPath(), songs[1]);
    EXPECT_EQ(s.playMode, PLAYMODE_SONG);
    EXPECT_EQ(s.currentIndex, 1);
    EXPECT_EQ(s.songLengthBytes, 4'000'000u);
    EXPECT_EQ(s.songSeconds, 185);
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("zwei [03:05]"));
    EXPECT_EQ(s.display.tip.get(), QStringLiteral("zwei [03:05]"));
    EXPECT_EQ(s.display.bitrateL.get(), QStringLiteral("128"));
    EXPECT_EQ(s.display.PlayB.get(), PlayPicture::STOP);
    EXPECT_TRUE(h.player.trackTimer.isActive());
    EXPECT_EQ(h.bass.stream(s.fileStream)->flags, BASS_STREAM_AUTOFREE);
    // Loudness 30 with the bar at 30 plays at the lowest output volume.
    EXPECT_EQ(h.bass.volume, 1u);
}

TEST_F(PlaySequencerTest, UnknownDurationShowsZeroAndNoBitrate) {
    h.bass.secondsOf[songs[0].toStdString()] = 0;
    play(0);
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("eins [00:00]"));
    EXPECT_EQ(s.display.bitrateL.get(), QStringLiteral(" - "));
    EXPECT_EQ(s.songSeconds, 0);
}

TEST_F(PlaySequencerTest, AMissingFileIsNotPlayedAndTheSongGoesOn) {
    play(0);
    QFile::remove(songs[1]);
    s.songs.setSelected(1);
    h.player.seq.playsong();
    EXPECT_EQ(playingPath(), songs[0]);
    EXPECT_EQ(s.currentIndex, 0);
}

TEST_F(PlaySequencerTest, PlayButtonPausesAndResumesAtTheSamePlace) {
    play(0);
    h.bass.stream(s.fileStream)->position = 12345;
    h.player.seq.PlayBClick();
    EXPECT_EQ(active(), BASS_ACTIVE_PAUSED);
    EXPECT_EQ(s.playMode, PLAYMODE_IDLE);
    EXPECT_EQ(s.display.PlayB.get(), PlayPicture::START);
    EXPECT_FALSE(h.player.trackTimer.isActive());

    s.display.SongL = QStringLiteral("something else");
    h.player.seq.PlayBClick();
    EXPECT_EQ(active(), BASS_ACTIVE_PLAYING);
    EXPECT_EQ(h.bass.stream(s.fileStream)->position, 12345u);
    EXPECT_EQ(s.playMode, PLAYMODE_SONG);
    EXPECT_EQ(s.display.SongL.get(), s.songDisplay);
    EXPECT_TRUE(h.player.trackTimer.isActive());
}

TEST_F(PlaySequencerTest, NextAndPreviousStopAtTheEndsAndOnlyActWhilePlaying) {
    play(0);
    h.player.seq.rueckBClick();
    EXPECT_EQ(playingPath(), songs[0]);
    h.player.seq.vorBClick();
    h.player.seq.vorBClick();
    EXPECT_EQ(playingPath(), songs[2]);
    h.player.seq.vorBClick();
    EXPECT_EQ(playingPath(), songs[2]);
    h.player.seq.rueckBClick();
    EXPECT_EQ(playingPath(), songs[1]);

    h.player.seq.PlayBClick();
    h.player.seq.vorBClick();
    h.player.seq.rueckBClick();
    EXPECT_EQ(playingPath(), songs[1]);
    EXPECT_EQ(active(), BASS_ACTIVE_PAUSED);
}

TEST_F(PlaySequencerTest, EndOfSongTickPlaysOnAndStopsAfterTheLastRow) {
    play(0);
    for (int i = 1; i < 3; ++i) {
        h.bass.finish(s.fileStream);
        h.player.seq.trackTimerTimer();
        EXPECT_EQ(playingPath(), songs[i]);
        EXPECT_EQ(s.playMode, PLAYMODE_SONG);
    }
    h.bass.finish(s.fileStream);
    h.player.seq.trackTimerTimer();
    h.player.seq.trackTimerTimer();
    EXPECT_EQ(s.playMode, PLAYMODE_IDLE);
    EXPECT_EQ(s.display.PlayB.get(), PlayPicture::START);
    EXPECT_EQ(s.songs.selected(), 2);
    EXPECT_EQ(s.currentIndex, 2);
    EXPECT_TRUE(h.player.trackTimer.isActive());
    // Play after the end: the ended stream is gone; the next tick brings the button back.
    h.player.seq.PlayBClick();
    EXPECT_EQ(s.display.PlayB.get(), PlayPicture::STOP);
    h.player.seq.trackTimerTimer();
    EXPECT_EQ(s.display.PlayB.get(), PlayPicture::START);
    EXPECT_EQ(s.playMode, PLAYMODE_IDLE);
}

TEST_F(PlaySequencerTest, MissingFilesAreSkippedOnePerTick) {
    play(0);
    QFile::remove(songs[1]);
    h.bass.finish(s.fileStream);
    h.player.seq.trackTimerTimer();
    EXPECT_EQ(s.songs.selected(), 1);
    EXPECT_EQ(s.currentIndex, 0);
    h.player.seq.trackTimerTimer();
    EXPECT_EQ(playingPath(), songs[2]);
    EXPECT_EQ(s.currentIndex, 2);
}

TEST_F(PlaySequencerTest, AFileTheEngineCannotOpenCountsAsEnded) {
    h.bass.unopenable.push_back(songs[0].toStdString());
    play(0);
    EXPECT_EQ(s.fileStream, 0u);
    h.player.seq.trackTimerTimer();
    EXPECT_EQ(playingPath(), songs[1]);
}

// Lengths past 4 GiB (a 10-hour song) keep all their bits.
TEST_F(PlaySequencerTest, PositionBarFollowsAndSeeksWith64BitTruncation) {
    h.bass.lengths[songs[0].toStdString()] = 7'000'000'001ull;
    h.bass.secondsOf[songs[0].toStdString()] = 36'000.0;
    play(0);
    ASSERT_EQ(s.songLengthBytes, 7'000'000'001u);
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("eins [10:00:00]"));
    h.bass.stream(s.fileStream)->position = 3'500'000'000;
    h.player.seq.trackTimerTimer();
    EXPECT_EQ(s.posTB.position(), 499);

    for (const auto& [value, expected] :
         {std::pair{0, 0ull}, {500, 3'500'000'000ull}, {1000, 7'000'000'001ull}}) {
        h.player.seq.posTBMouseDown();
        EXPECT_EQ(active(), BASS_ACTIVE_PAUSED);
        s.posTB.setPosition(value == 0 ? 1 : 0);
        s.posTB.setPosition(value);
        EXPECT_EQ(h.bass.stream(s.fileStream)->position, expected) << value;
        h.player.seq.posTBMouseUp();
        EXPECT_EQ(active(), BASS_ACTIVE_PLAYING);
    }
    // While the bar is held the tick leaves it alone.
    h.player.seq.posTBMouseDown();
    s.posTB.setPosition(700);
    h.player.seq.trackTimerTimer();
    EXPECT_EQ(s.posTB.position(), 700);
}

TEST_F(PlaySequencerTest, DraggingWhilePausedMovesButStaysPaused) {
    play(0);
    h.player.seq.PlayBClick();
    h.player.seq.posTBMouseDown();
    s.posTB.setPosition(500);
    h.player.seq.posTBMouseUp();
    EXPECT_EQ(active(), BASS_ACTIVE_PAUSED);
    EXPECT_EQ(h.bass.stream(s.fileStream)->position, h.bass.defaultLength / 2);
}

TEST_F(PlaySequencerTest, EndingPreviewJumpsToTheLast15SecondsAndScalesTheBar) {
    h.bass.lengths[songs[0].toStdString()] = 1'800'000;
    h.bass.secondsOf[songs[0].toStdString()] = 180.0;
    play(0);
    s.posTB.setPosition(250);
    h.player.channel.schlussspielen();
    EXPECT_EQ(s.playMode, PLAYMODE_PREVIEW);
    EXPECT_EQ(s.previewReturnPosition, 250);
    EXPECT_EQ(s.previewStartBytes, 1'650'000u);
    EXPECT_EQ(s.previewRangeBytes, 150'000u);
    EXPECT_EQ(h.bass.stream(s.fileStream)->position, 1'650'000u);
    EXPECT_EQ(active(), BASS_ACTIVE_PLAYING);

    h.bass.stream(s.fileStream)->position = 1'725'000;
    h.player.seq.trackTimerTimer();
    EXPECT_EQ(s.posTB.position(), 500);

    for (const auto& [value, expected] :
         {std::pair{0, 1'650'000ull}, {500, 1'725'000ull}, {1000, 1'800'000ull}}) {
        h.player.seq.posTBMouseDown();
        s.posTB.setPosition(value == 0 ? 1 : 0);
        s.posTB.setPosition(value);
        EXPECT_EQ(h.bass.stream(s.fileStream)->position, expected) << value;
        h.player.seq.posTBMouseUp();
    }
}

TEST_F(PlaySequencerTest, EndingPreviewOfAShortSongStartsAtItsBeginning) {
    h.bass.secondsOf[songs[0].toStdString()] = 10.0;
    play(0);
    h.player.channel.schlussspielen();
    EXPECT_EQ(s.previewStartBytes, 0u);
    EXPECT_EQ(s.previewRangeBytes, s.songLengthBytes);
}

} // namespace
