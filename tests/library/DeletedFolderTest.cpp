// A music folder that disappears under the player: while its listing runs, after it was listed and
// its entries are then taken, and while its songs wait in the song list behind the one playing. The
// real engine plays real MP3 files; whatever is gone is skipped, nothing crashes, and the player
// goes on with the next song that exists.

#include "support/EngineHarness.h"
#include "support/FakeFolderTree.h"
#include "support/FileListing.h"
#include "support/Mp3Fixtures.h"
#include "support/PeerProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class DeletedFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        h.player.browser.attachTree(tree);
        ASSERT_TRUE(h.init()) << "the engine could not start (SDL_AUDIODRIVER=dummy?)";
    }
    QString makeFolder(const QString& name, int files) {
        const QString folder = root.filePath(name);
        QDir().mkpath(folder);
        for (int i = 0; i < files; ++i) {
            QFile f(folder + QStringLiteral("/Lied %1.mp3").arg(i, 4, 10, QChar(u'0')));
            f.open(QIODevice::WriteOnly);
        }
        return folder;
    }
    // Runs the song timer's ticks until nothing plays; false when that did not come.
    bool playToTheEnd() {
        return waitUntil([this] { return s.channel.playMode == PlayMode::Idle; }, 60s);
    }

    QTemporaryDir root;
    FakeFolderTree tree;
    EngineHarness h;
    Player& s = h.player;
};

TEST_F(DeletedFolderTest, AFolderDeletedWhileItIsListedEndsTheListingQuietly) {
    const QString folder = makeFolder(QStringLiteral("Viele"), 2000);
    tree.selectedPath = folder;
    // A few names in, the folder goes.
    s.browser.fileList.setScanHook([&](int names) {
        if (names == 20) QDir(folder).removeRecursively();
    });
    h.player.browser.onFolderTreeClick();
    s.browser.fileList.setScanHook({});
    EXPECT_TRUE(waitForListing(s.browser.fileList, 60s));
    ASSERT_FALSE(QDir(folder).exists());
    EXPECT_LT(s.browser.fileList.count(), 2000) << "names of deleted files were listed";
    // Listing it again gives an empty list, without a message.
    h.player.browser.onFolderTreeClick();
    EXPECT_TRUE(waitForListing(s.browser.fileList));
    EXPECT_EQ(s.browser.fileList.count(), 0);
    EXPECT_TRUE(h.dialogs.errors.isEmpty());
}

TEST_F(DeletedFolderTest, EntriesOfAFolderDeletedAfterItsListingAreSkipped) {
    const QString folder = makeFolder(QStringLiteral("Weg"), 30);
    tree.selectedPath = folder;
    h.player.browser.onFolderTreeClick();
    ASSERT_TRUE(waitForListing(s.browser.fileList));
    ASSERT_EQ(s.browser.fileList.count(), 30);
    ASSERT_TRUE(QDir(folder).removeRecursively());

    // One click, then all entries; with levelling on, each is measured when it enters.
    s.volume.levellingBox = true;
    s.browser.fileList.select(3);
    h.player.browser.onFileListClick();
    h.player.browser.takeAllFiles(false);
    EXPECT_TRUE(playToTheEnd());
    EXPECT_EQ(s.channel.playMode, PlayMode::Idle);
    EXPECT_EQ(h.audioEngine.state(s.channel.fileStream), ChannelState::Stopped);
    EXPECT_TRUE(h.dialogs.errors.isEmpty()) << h.dialogs.errors.value(0).toStdString();

    // The player goes on: a song that exists plays.
    if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
    const QString song = root.filePath(QStringLiteral("da.mp3"));
    ASSERT_TRUE(fixtures::makeMp3(song.toStdString(), {.seconds = 2}));
    h.player.songList.addSong(song);
    EXPECT_TRUE(
        waitUntil([&] { return h.audioEngine.state(s.channel.fileStream) == ChannelState::Playing; }, 20s));
    EXPECT_EQ(s.songList.songs.path(s.songList.currentIndex), song);
}

TEST_F(DeletedFolderTest, QueuedSongsOfADeletedFolderAreSkippedAndTheNextExistingOnePlays) {
    if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
    const QString gone = root.filePath(QStringLiteral("Geht"));
    const QString stays = root.filePath(QStringLiteral("Bleibt"));
    QDir().mkpath(gone);
    QDir().mkpath(stays);
    QStringList songs;
    for (const QString& path : {gone + QStringLiteral("/eins.mp3"), gone + QStringLiteral("/zwei.mp3"),
                                gone + QStringLiteral("/drei.mp3"), stays + QStringLiteral("/vier.mp3")}) {
        ASSERT_TRUE(fixtures::makeMp3(path.toStdString(), {.seconds = 1}));
        songs << path;
    }
    for (const QString& path : songs)
        h.player.songList.addSong(path);
    ASSERT_TRUE(
        waitUntil([&] { return h.audioEngine.state(s.channel.fileStream) == ChannelState::Playing; }, 20s));
    ASSERT_EQ(s.songList.currentIndex, 0);

    // The first song's file goes while it plays: it was opened, so it plays to its end.
    ASSERT_TRUE(QDir(gone).removeRecursively());
    EXPECT_TRUE(waitUntil([&] { return s.songList.currentIndex == 3; }, 60s))
        << "current row " << s.songList.currentIndex;
    EXPECT_EQ(s.songList.songs.path(s.songList.currentIndex), songs[3]);
    EXPECT_TRUE(
        waitUntil([&] { return h.audioEngine.state(s.channel.fileStream) == ChannelState::Playing; }, 20s));
    EXPECT_TRUE(playToTheEnd());
    EXPECT_TRUE(h.dialogs.errors.isEmpty()) << h.dialogs.errors.value(0).toStdString();
}

} // namespace
