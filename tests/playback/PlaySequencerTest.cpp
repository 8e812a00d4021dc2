// Playing the song list with a fake engine: start, pause, next/previous, the end-of-song tick, seeking,
// the ending preview, what the title strip shows, and the next song queued to follow without a gap.

#include "playback/VolumeControl.h"
#include "support/PlayerHarness.h"
#include "support/SongFiles.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

class PlaySequencerTest : public ::testing::Test {
protected:
    void SetUp() override {
        s.channel.playMode = PlayMode::Song;
        for (const QString& path : songs)
            h.player.songList.addSong(path);
        s.channel.playMode = PlayMode::Idle;
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
    // Two seconds before the end of the song that plays.
    void nearEnd() {
        FakeAudioEngine::Stream* st = h.audioEngine.stream(s.channel.fileStream);
        st->position = st->decodedLength - static_cast<std::int64_t>(2 * st->decodedLength / st->seconds);
    }
    // The song queued to follow the one that plays, or "" for none.
    QString queuedPath() {
        const auto join = h.audioEngine.joins.find(s.channel.fileStream);
        if (join == h.audioEngine.joins.end()) return QString();
        return QString::fromStdString(h.audioEngine.stream(join->second.next)->path);
    }
    // The song that plays reaches its end; the window learns of a join on its own thread.
    void endSong() {
        h.audioEngine.finish(s.channel.fileStream);
        QCoreApplication::processEvents();
    }

    PlayerHarness h;
    Player& s = h.player;
    SongFiles files;
    QStringList songs = files.make({"eins.mp3", "zwei.mp3", "drei.mp3"});
};

TEST_F(PlaySequencerTest, PlayingARowStartsTheSelectedSongAndShowsIt) {
    h.audioEngine.lengths[songs[1].toStdString()] = 4'000'000;
    h.audioEngine.secondsOf[songs[1].toStdString()] = 185.0;
    h.audioEngine.defaultFileSize = 2'960'000;
    play(1);
    EXPECT_EQ(playingPath(), songs[1]);
    EXPECT_EQ(s.channel.playMode, PlayMode::Song);
    EXPECT_EQ(s.songList.currentIndex, 1);
    EXPECT_EQ(s.channel.songLengthBytes, 4'000'000u);
    EXPECT_EQ(s.channel.songSeconds, 185);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("zwei [03:05]"));
    EXPECT_EQ(s.channel.tip.get(), QStringLiteral("zwei [03:05]"));
    EXPECT_EQ(s.channel.bitrateLabel.get(), QStringLiteral("128"));
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::Stop);
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
    EXPECT_EQ(s.channel.playMode, PlayMode::Idle);
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::Start);
    EXPECT_FALSE(h.player.seq.trackTimer.isActive());

    s.channel.titleStrip = QStringLiteral("something else");
    h.player.seq.playButtonClicked();
    EXPECT_EQ(active(), ChannelState::Playing);
    EXPECT_EQ(h.audioEngine.stream(s.channel.fileStream)->position, 12345u);
    EXPECT_EQ(s.channel.playMode, PlayMode::Song);
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
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::Start);
    h.player.seq.playButtonClicked();
    EXPECT_EQ(active(), ChannelState::Playing);
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::Stop);
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
        EXPECT_EQ(s.channel.playMode, PlayMode::Song);
    }
    h.audioEngine.finish(s.channel.fileStream);
    h.player.seq.onTrackTick();
    h.player.seq.onTrackTick();
    EXPECT_EQ(s.channel.playMode, PlayMode::Idle);
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::Start);
    EXPECT_EQ(s.songList.songs.selected(), 2);
    EXPECT_EQ(s.songList.currentIndex, 2);
    EXPECT_TRUE(h.player.seq.trackTimer.isActive());
    // Play after the end: the ended stream is gone; the next tick brings the button back.
    h.player.seq.playButtonClicked();
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::Stop);
    h.player.seq.onTrackTick();
    EXPECT_EQ(s.channel.playButton.get(), PlayPicture::Start);
    EXPECT_EQ(s.channel.playMode, PlayMode::Idle);
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
    EXPECT_EQ(s.channel.playMode, PlayMode::Preview);
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

// Near its end a song has the next row queued in the engine, at that song's levelled volume; the
// window shows the next song when the engine starts it, not when it was queued.
TEST_F(PlaySequencerTest, TheNextRowIsQueuedNearTheEndAndShownWhenItStarts) {
    s.songList.songs.setLoudness(1, QStringLiteral("20"));
    play(0);
    h.player.seq.onTrackTick();
    EXPECT_EQ(queuedPath(), QString()) << "three minutes before the end";
    nearEnd();
    h.player.seq.onTrackTick();
    ASSERT_EQ(queuedPath(), songs[1]);
    EXPECT_EQ(h.audioEngine.joins.begin()->second.gain, outputVolume(s.volume.volumeSetting, 20));
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("eins [03:00]"));
    EXPECT_EQ(s.songList.songs.selected(), 0);

    endSong();
    EXPECT_EQ(playingPath(), songs[1]);
    EXPECT_EQ(active(), ChannelState::Playing);
    EXPECT_EQ(s.songList.currentIndex, 1);
    EXPECT_EQ(s.songList.songs.selected(), 1);
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("zwei [03:00]"));
    EXPECT_EQ(s.volume.currentLoudness, 20);
    EXPECT_EQ(s.channel.positionBar.position(), 0);
    EXPECT_EQ(h.audioEngine.count("openFile(" + songs[1].toStdString() + ")"), 1);
}

// Whatever changes the row that follows drops the queued song at once, before the end can start it:
// a removed or moved row, a pause, another song picked, a station started, an emptied list.
TEST_F(PlaySequencerTest, ASongQueuedToFollowThatIsNoLongerNextNeverPlays) {
    const QString fourthSong = files.make({"vier.mp3"}).first();
    s.songList.addSong(fourthSong);
    play(0);
    nearEnd();
    h.player.seq.onTrackTick();
    ASSERT_EQ(queuedPath(), songs[1]);
    const auto dropped = [&](const QString& path) {
        int left = 0;
        for (const auto& [handle, stream] : h.audioEngine.streams)
            if (stream.path == path.toStdString() && !stream.freed) ++left;
        return left == 0;
    };

    s.songList.rowUnderCursor = 1;
    s.songList.removeSongUnderCursor(); // eins drei vier
    EXPECT_TRUE(dropped(songs[1]));
    EXPECT_EQ(queuedPath(), songs[2]);
    s.songList.songs.move(2, 1); // eins vier drei
    EXPECT_TRUE(dropped(songs[2]));
    endSong();
    EXPECT_EQ(playingPath(), fourthSong);

    nearEnd();
    h.player.seq.onTrackTick();
    ASSERT_EQ(queuedPath(), songs[2]);
    h.player.seq.playButtonClicked();
    EXPECT_EQ(queuedPath(), QString()) << "paused";
    EXPECT_TRUE(dropped(songs[2]));
    play(0);
    nearEnd();
    h.player.seq.onTrackTick();
    EXPECT_EQ(queuedPath(), fourthSong);
    s.radio.startStation(); // a station is being reached
    EXPECT_TRUE(dropped(fourthSong));
    s.radio.watchdogTimer.stop();
    h.player.seq.onTrackTick();
    ASSERT_EQ(queuedPath(), fourthSong);

    s.songList.clearButtonClicked();
    EXPECT_TRUE(dropped(fourthSong));
    endSong();
    h.player.seq.onTrackTick();
    EXPECT_EQ(active(), ChannelState::Stopped);
    EXPECT_EQ(s.channel.playMode, PlayMode::Idle);
}

} // namespace
