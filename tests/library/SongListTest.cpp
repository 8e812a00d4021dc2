// The song list: entering songs, the start rule, removing, moving, clearing, the tooltip.

#include "support/PlayerHarness.h"
#include "support/SongFiles.h"

#include <gtest/gtest.h>

namespace {

class SongListTest : public ::testing::Test {
protected:
    // Enters songs while something plays, so the start rule leaves them queued.
    void enterQueued(const QStringList& paths) {
        const auto mode = s.channel.playMode;
        s.channel.playMode = PlayMode::Song;
        for (const QString& path : paths)
            h.player.songList.addSong(path);
        s.channel.playMode = mode;
    }
    // Plays row i as a click would.
    void play(int i) {
        s.songList.songs.setSelected(i);
        h.player.seq.playSelected();
    }
    QStringList titles() const {
        QStringList t;
        for (const Song& song : s.songList.songs.rows())
            t << song.title;
        return t;
    }
    QString playingPath() {
        const FakeAudioEngine::Stream* st = h.audioEngine.stream(s.channel.fileStream);
        return st ? QString::fromStdString(st->path) : QString();
    }

    PlayerHarness h;
    Player& s = h.player;
    SongFiles files;
    QStringList songs = files.make({"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"});
};

TEST(SongPathTest, FoldsOnlyDriveLettersAndDerivesTitles) {
    EXPECT_EQ(foldDriveLetter(QStringLiteral("C:/A/b.mp3")), QStringLiteral("c:/A/b.mp3"));
    EXPECT_EQ(foldDriveLetter(QStringLiteral("/Musik/b.mp3")), QStringLiteral("/Musik/b.mp3"));
    EXPECT_EQ(foldDriveLetter(QStringLiteral("Musik/b.mp3")), QStringLiteral("Musik/b.mp3"));
    EXPECT_EQ(titleOfPath(QStringLiteral("/m/Titel.mp3")), QStringLiteral("Titel"));
    EXPECT_EQ(titleOfPath(QStringLiteral("/m/a:b\\c.mp3")), QStringLiteral("a:b\\c"));
    EXPECT_EQ(titleOfPath(QStringLiteral("/m/.mp3")), QString());
    EXPECT_EQ(titleOfPath(QStringLiteral("/m/ab")), QString());
}

TEST_F(SongListTest, DuplicatesAreListedOnceAndOnlyTheDriveLetterIsFolded) {
    enterQueued({"C:/A/b.mp3", "c:/A/b.mp3", "c:/a/b.mp3", ""});
    ASSERT_EQ(s.songList.songs.count(), 2);
    EXPECT_EQ(s.songList.songs.path(0), QStringLiteral("c:/A/b.mp3"));
    EXPECT_EQ(s.songList.songs.path(1), QStringLiteral("c:/a/b.mp3"));
    EXPECT_EQ(s.songList.songs.loudness(0), QStringLiteral("30"));
}

TEST_F(SongListTest, StartRuleStartsTheLastRowOnlyWhenNothingOrTheRadioPlays) {
    // Nothing plays: the song added starts.
    h.player.songList.addSong(songs[0]);
    EXPECT_EQ(s.channel.playMode, PlayMode::Song);
    EXPECT_EQ(playingPath(), songs[0]);
    // A song plays: the next one waits.
    h.player.songList.addSong(songs[1]);
    EXPECT_EQ(playingPath(), songs[0]);
    EXPECT_EQ(s.songList.songs.count(), 2);
    // Nothing plays again: a duplicate add starts the last row, not the duplicate's row.
    h.player.seq.pauseSong();
    h.player.songList.addSong(songs[0]);
    EXPECT_EQ(s.songList.songs.count(), 2);
    EXPECT_EQ(playingPath(), songs[1]);
    EXPECT_EQ(s.songList.currentIndex, 1);
}

TEST_F(SongListTest, StartRuleLeavesRadioModeForTheSong) {
    s.radio.radioMode = true;
    s.channel.playMode = PlayMode::Radio;
    h.player.songList.addSong(songs[2]);
    EXPECT_FALSE(s.radio.radioMode);
    EXPECT_EQ(s.radio.radioButton.get(), QStringLiteral("Radio"));
    EXPECT_EQ(s.channel.playMode, PlayMode::Song);
    EXPECT_EQ(playingPath(), songs[2]);
}

TEST_F(SongListTest, HandlersRunningInsideAnAddSeeWholeRows) {
    int seenRows = -1;
    h.window.duringEvents = [&] {
        seenRows = s.songList.songs.count();
        h.window.duringEvents = nullptr;
        h.player.songList.addSong(songs[1]);
    };
    enterQueued({songs[0]});
    EXPECT_EQ(seenRows, 1);
    ASSERT_EQ(s.songList.songs.count(), 2);
    EXPECT_EQ(s.songList.songs.path(0), songs[0]);
    EXPECT_EQ(s.songList.songs.path(1), songs[1]);
}

TEST_F(SongListTest, RemovingThePlayingRowMovesPlaybackOn) {
    enterQueued(songs.mid(0, 3));
    play(1);
    s.songList.rowUnderCursor = 1;
    h.player.songList.removeSongUnderCursor();
    EXPECT_EQ(titles(), QStringList({"a", "c"}));
    EXPECT_EQ(playingPath(), songs[2]);
    EXPECT_EQ(s.songList.currentIndex, 1);
    EXPECT_EQ(s.songList.songs.selected(), 1);

    // The playing row is the last: the song before it starts.
    s.songList.rowUnderCursor = 1;
    h.player.songList.removeSongUnderCursor();
    EXPECT_EQ(titles(), QStringList({"a"}));
    EXPECT_EQ(playingPath(), songs[0]);
    EXPECT_EQ(s.songList.currentIndex, 0);

    // The only row: the song channel stops and the list is empty.
    const ChannelHandle last = s.channel.fileStream;
    s.songList.rowUnderCursor = 0;
    h.player.songList.removeSongUnderCursor();
    EXPECT_EQ(s.songList.songs.count(), 0);
    EXPECT_EQ(h.audioEngine.state(last), ChannelState::Stopped);

    // A row outside the list changes nothing.
    s.songList.rowUnderCursor = 3;
    h.player.songList.removeSongUnderCursor();
    EXPECT_EQ(s.songList.songs.count(), 0);
}

TEST_F(SongListTest, RemovingTheLastRowAfterThePlayingLastButOneRestartsIt) {
    enterQueued(songs.mid(0, 3));
    play(1);
    const ChannelHandle before = s.channel.fileStream;
    s.songList.rowUnderCursor = 2;
    h.player.songList.removeSongUnderCursor();
    EXPECT_EQ(titles(), QStringList({"a", "b"}));
    EXPECT_NE(s.channel.fileStream, before);
    EXPECT_EQ(playingPath(), songs[1]);
}

TEST_F(SongListTest, RemovingARowBeforeThePlayingOneKeepsItsSong) {
    enterQueued(songs.mid(0, 4));
    play(2);
    s.songList.rowUnderCursor = 0;
    h.player.songList.removeSongUnderCursor();
    EXPECT_EQ(s.songList.currentIndex, 1);
    EXPECT_EQ(s.songList.songs.path(s.songList.currentIndex), songs[2]);
    EXPECT_EQ(playingPath(), songs[2]);
}

TEST_F(SongListTest, DragKeepsTheRowNumberNotTheSong) {
    enterQueued(songs.mid(0, 5));
    play(0);
    // Button down on row 0, moved to row 3, released there.
    h.player.songList.onSongListPress(5);
    h.player.songList.onSongListMove(true, 50, 3 * 13 + 5);
    h.player.songList.onSongListRelease(50, 3 * 13 + 5);
    EXPECT_EQ(titles(), QStringList({"b", "c", "d", "a", "e"}));
    EXPECT_EQ(s.songList.currentIndex, 0);
    EXPECT_EQ(s.songList.songs.selected(), 0);
    EXPECT_EQ(playingPath(), songs[0]);
}

TEST_F(SongListTest, ReleaseBeyondTheRightEdgeRemovesTheRowUnderThePointer) {
    enterQueued(songs.mid(0, 4));
    play(0);
    h.player.songList.onSongListPress(5);
    h.player.songList.onSongListMove(true, 240, 2 * 13 + 1);
    h.player.songList.onSongListRelease(240, 2 * 13 + 1);
    EXPECT_EQ(titles(), QStringList({"a", "b", "d"}));
    EXPECT_EQ(playingPath(), songs[0]);
}

TEST_F(SongListTest, AClickWithoutMovementPlaysTheSelectedRow) {
    enterQueued(songs.mid(0, 3));
    s.songList.songs.setSelected(2);
    h.player.songList.onSongListPress(30);
    h.player.songList.onSongListRelease(60, 30);
    EXPECT_EQ(playingPath(), songs[2]);
}

TEST_F(SongListTest, ClearingKeepsTheSongPlaying) {
    enterQueued(songs.mid(0, 5));
    play(3);
    h.player.songList.clearButtonClicked();
    EXPECT_EQ(s.songList.songs.count(), 0);
    EXPECT_EQ(s.songList.songs.selected(), -1);
    EXPECT_EQ(h.audioEngine.state(s.channel.fileStream), ChannelState::Playing);
    EXPECT_EQ(s.songList.currentIndex, 3);
}

TEST_F(SongListTest, TooltipOnlyForTitlesWiderThanTheListSizedToTheText) {
    // The fake window's font is 6 pixels a character: 36 characters and the padding fit 225 pixels.
    const QString fits(36, u'x');
    const QString wider(37, u'y');
    enterQueued({files.path(fits + ".mp3"), files.path(wider + ".mp3")});
    h.player.songList.onSongListMove(false, 50, 5);
    EXPECT_FALSE(s.songList.titleHint.get().visible);
    h.player.songList.onSongListMove(false, 50, 13 + 5);
    const HintBox hint = s.songList.titleHint.get();
    EXPECT_TRUE(hint.visible);
    EXPECT_EQ(hint.text, wider);
    EXPECT_EQ(hint.width, 37 * 6 + hintPadding);
    EXPECT_EQ(hint.left, 840 - hint.width);
    EXPECT_EQ(hint.top, 13 + 5 + 39);
    // Near the edges, and over no row, it hides.
    h.player.songList.onSongListMove(false, 5, 13 + 5);
    EXPECT_FALSE(s.songList.titleHint.get().visible);
    h.player.songList.onSongListMove(false, 50, 5 * 13);
    EXPECT_FALSE(s.songList.titleHint.get().visible);
    // While the button is held nothing about the tooltip changes.
    h.player.songList.onSongListMove(false, 50, 13 + 5);
    h.player.songList.onSongListMove(true, 50, 5);
    EXPECT_TRUE(s.songList.titleHint.get().visible);
    EXPECT_EQ(s.songList.rowUnderCursor, 0);
    h.player.songList.hideHint();
    EXPECT_FALSE(s.songList.titleHint.get().visible);
}

} // namespace
