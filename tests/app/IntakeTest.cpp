// Paths from outside: an MP3 enters the song list and moves the tree to its folder, unless it comes
// from the temporary folder; other extensions are ignored.

#include "app/Intake.h"
#include "support/FakeFolderTree.h"
#include "support/PlayerHarness.h"
#include "support/SongFiles.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

class IntakeTest : public ::testing::Test {
protected:
    IntakeTest() { h.player.browser.attachTree(tree); }
    FakeFolderTree tree;
    PlayerHarness h;
    SongFiles files;
};

TEST(ShortUpperPathTest, TwoSpellingsOfOneFolderCompareEqual) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("Musik"));
    EXPECT_EQ(canonicalUpperPath(dir.path() + QStringLiteral("/Musik/../Musik/")),
              canonicalUpperPath(dir.path() + QStringLiteral("/Musik")));
    EXPECT_EQ(canonicalUpperPath(dir.path() + QStringLiteral("/Musik")),
              (dir.path() + QStringLiteral("/MUSIK")).toUpper());
}

TEST_F(IntakeTest, AnMp3EntersAndPlaysAndTheTreeMovesToItsFolder) {
    const QString song = files.make({"Rock/Lied.mp3"})[0];
    h.player.intake.setText(song);
    ASSERT_EQ(h.player.songList.songs.count(), 1);
    EXPECT_EQ(h.player.songList.songs.path(0), song);
    EXPECT_EQ(h.player.channel.playMode, PlayMode::Song);
    EXPECT_EQ(tree.pathsSet, QStringList{QFileInfo(song).canonicalPath()});
}

TEST_F(IntakeTest, ASongFromTheTemporaryFolderLeavesTheTreeWhereItIs) {
    const QString song = files.make({"aus_temp.mp3"})[0];
    qputenv("TEMP", (files.dir.path() + QStringLiteral("/./")).toUtf8());
    h.player.intake.setText(song);
    qunsetenv("TEMP");
    EXPECT_EQ(h.player.songList.songs.count(), 1);
    EXPECT_TRUE(tree.pathsSet.isEmpty());
}

TEST_F(IntakeTest, TheSameTextTwiceAndOtherExtensionsDoNothing) {
    const QStringList songs = files.make({"a.mp3", "liste.xpl", "notiz.txt"});
    h.player.intake.setText(songs[0]);
    h.player.songList.clearButtonClicked();
    h.player.intake.setText(songs[0]);
    EXPECT_EQ(h.player.songList.songs.count(), 0);
    h.player.intake.setText(songs[1]);
    h.player.intake.setText(songs[2]);
    EXPECT_EQ(h.player.songList.songs.count(), 0);
    EXPECT_FALSE(h.player.editor.entryPanelVisible.get());
}

TEST_F(IntakeTest, AMissingFileIsStillListed) {
    h.player.intake.setText(files.dir.path() + QStringLiteral("/fehlt.MP3"));
    EXPECT_EQ(h.player.songList.songs.count(), 1);
    EXPECT_EQ(h.player.channel.playMode, PlayMode::Idle);
}

} // namespace
