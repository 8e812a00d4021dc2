// Dropped files: which names enter the song list and in which order, the effect a drop answers, and
// where the pointer makes the list scroll.

#include "library/DroppedFiles.h"
#include "support/PlayerHarness.h"
#include "support/SongFiles.h"

#include <gtest/gtest.h>

namespace {

TEST(DroppedFilesTest, EveryNameContainingMp3GoesInInTheSourcesOrder) {
    PlayerHarness h;
    SongFiles files;
    const QStringList dropped = files.make({"a.mp3", "b.MP3", "c.wav", "track.mp3.txt", "x.Mp3"});
    takeDroppedFiles(h.player.songList, dropped);
    ASSERT_EQ(h.player.songList.songs.count(), 4);
    EXPECT_EQ(h.player.songList.songs.path(0), dropped[0]);
    EXPECT_EQ(h.player.songList.songs.path(1), dropped[1]);
    EXPECT_EQ(h.player.songList.songs.path(2), dropped[3]);
    EXPECT_EQ(h.player.songList.songs.path(3), dropped[4]);
    EXPECT_EQ(h.player.songList.songs.title(2), QStringLiteral("track.mp3"));
    // Nothing played: the first song that entered plays, the others wait behind it.
    EXPECT_EQ(h.player.channel.playMode, PlayMode::Song);
    EXPECT_EQ(h.player.songList.currentIndex, 0);
    EXPECT_EQ(h.audioEngine.stream(h.player.channel.fileStream)->path, dropped[0].toStdString());

    // Folders and other names without ".mp3" are skipped.
    EXPECT_EQ(songNamesOfDrop({"/m/Musik", "/m/.mp3s", "/m/mp3", "/m/a.mp", ""}), QStringList({"/m/.mp3s"}));
}

TEST(DroppedFilesTest, ADuplicateDropStillRunsTheStartRule) {
    PlayerHarness h;
    SongFiles files;
    const QStringList songs = files.make({"a.mp3", "b.mp3"});
    takeDroppedFiles(h.player.songList, songs);
    h.player.seq.pauseSong();
    ASSERT_EQ(h.player.channel.playMode, PlayMode::Idle);
    // Dropping a song already listed adds no row, but the last row starts.
    takeDroppedFiles(h.player.songList, {songs[0]});
    EXPECT_EQ(h.player.songList.songs.count(), 2);
    EXPECT_EQ(h.player.channel.playMode, PlayMode::Song);
    EXPECT_EQ(h.player.songList.currentIndex, 1);
    EXPECT_EQ(h.audioEngine.stream(h.player.channel.fileStream)->path, songs[1].toStdString());
}

TEST(DropEffectTest, KeysChooseAmongTheAllowedEffects) {
    const Qt::KeyboardModifiers none, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers both = shift | ctrl;
    const DropEffect all = dropCopy | dropMove | dropLink;
    struct Case {
        Qt::KeyboardModifiers keys;
        DropEffect allowed;
        DropEffect effect;
    };
    const Case cases[] = {
        {none, all, dropCopy},
        {shift, all, dropMove},
        {both, all, dropLink},
        {ctrl, all, dropCopy},
        {both, dropCopy | dropMove, dropCopy},
        {none, dropMove | dropLink, dropMove},
        {none, dropLink, dropLink},
        // The song list allows copy only: Shift still copies, a source that cannot copy is refused.
        {shift, dropCopy, dropCopy},
        {both, dropCopy, dropCopy},
        {shift, dropNone, dropNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(standardDropEffect(c.keys, c.allowed), c.effect)
            << "keys " << c.keys.toInt() << " allowed " << c.allowed;
}

TEST(DropEffectTest, TheMarginAlongAScrollableEdgeScrolls) {
    DropArea list{QSize(221, 146), 11, false, true};
    EXPECT_EQ(autoScrollStep(list, {100, 10}), QPoint(0, -1));
    EXPECT_EQ(autoScrollStep(list, {100, 11}), QPoint(0, 0));
    EXPECT_EQ(autoScrollStep(list, {100, 135}), QPoint(0, 0));
    EXPECT_EQ(autoScrollStep(list, {100, 136}), QPoint(0, 1));
    EXPECT_EQ(autoScrollStep(list, {3, 73}), QPoint(0, 0)); // no horizontal bar
    EXPECT_EQ(scrollMark(list, {100, 0}), dropScroll);
    EXPECT_EQ(scrollMark(list, {100, 73}), dropNone);

    list.horizontalBar = true;
    EXPECT_EQ(autoScrollStep(list, {3, 140}), QPoint(-1, 1));
    EXPECT_EQ(autoScrollStep(list, {215, 73}), QPoint(1, 0));
    list.verticalBar = list.horizontalBar = false;
    EXPECT_EQ(scrollMark(list, {0, 0}), dropNone);
}

} // namespace
