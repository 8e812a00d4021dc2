// The song list in the real window (offscreen, fake engine): a click plays the row, a drag reorders,
// the title strip and the bitrate show what plays.

#include "platform/InstanceChannel.h"
#include "support/Fakes.h"
#include "support/QtPrinters.h"
#include "support/SongFiles.h"
#include "ui/MainWindow.h"
#include "ui/SongListView.h"

#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class WindowSongListTest : public ::testing::Test {
protected:
    WindowSongListTest() {
        form.show();
        Player& s = form.player();
        s.channel.playMode = PlayMode::Song;
        for (const QString& path : songs)
            form.player().songList.addSong(path);
        s.channel.playMode = PlayMode::Idle;
    }
    QPoint rowCentre(int row) {
        return form.songListView->visualRect(form.player().songList.songs.index(row)).center();
    }
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QWidget* viewport = form.songListView->viewport();
        QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &event);
    }
    QString playingPath() {
        const FakeAudioEngine::Stream* st = audioEngine.stream(form.player().channel.fileStream);
        return st ? QString::fromStdString(st->path) : QString();
    }

    FakeAudioEngine audioEngine;
    FakeMixer mixer;
    FakeHotKeys hotKeys;
    FakeDialogs dialogs;
    InstanceChannel channel{QStringLiteral("WindowSongListTest")};
    MainWindow form{PlatformServices{audioEngine, mixer, hotKeys, dialogs}, channel};
    SongFiles files;
    QStringList songs = files.make({"eins.mp3", "zwei.mp3", "drei.mp3", "vier.mp3"});
};

TEST_F(WindowSongListTest, ClickingARowPlaysItAndTheStripShowsIt) {
    QTest::mouseClick(form.songListView->viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(1));
    EXPECT_EQ(playingPath(), songs[1]);
    EXPECT_EQ(form.titleStrip->text(), QStringLiteral("zwei [03:00]"));
    EXPECT_EQ(form.bitrateLabel->text(), QStringLiteral("128"));
    EXPECT_EQ(form.songListView->currentIndex().row(), 1);
}

TEST_F(WindowSongListTest, OnlyTheLeftButtonSelectsOrPlays) {
    QTest::mouseClick(form.songListView->viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(0));
    ASSERT_EQ(playingPath(), songs[0]);
    for (Qt::MouseButton other : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::mouseClick(form.songListView->viewport(), other, Qt::NoModifier, rowCentre(2));
        EXPECT_EQ(playingPath(), songs[0]);
        EXPECT_EQ(form.player().songList.songs.selected(), 0);
        EXPECT_EQ(audioEngine.count("openFile(" + songs[0].toStdString() + ")"), 1);
    }
}

TEST_F(WindowSongListTest, ADragMovesTheRowAndTheSelectionStaysOnThePlayingRowNumber) {
    QTest::mouseClick(form.songListView->viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(0));
    ASSERT_EQ(playingPath(), songs[0]);
    mouse(QEvent::MouseButtonPress, rowCentre(0), Qt::LeftButton);
    mouse(QEvent::MouseMove, rowCentre(1), Qt::LeftButton);
    mouse(QEvent::MouseMove, rowCentre(2), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, rowCentre(2), Qt::NoButton);
    const SongList& list = form.player().songList.songs;
    QStringList titles;
    for (int i = 0; i < list.count(); ++i)
        titles << list.title(i);
    EXPECT_EQ(titles, QStringList({"zwei", "drei", "eins", "vier"}));
    EXPECT_EQ(playingPath(), songs[0]);
    EXPECT_EQ(list.selected(), 0);
    EXPECT_EQ(form.songListView->currentIndex().row(), 0);
}

TEST_F(WindowSongListTest, TitlesShowAsPlainText) {
    const QString path = files.make({"<b>fett<b>.mp3"})[0];
    form.player().songList.addSong(path);
    QTest::mouseClick(form.songListView->viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(4));
    EXPECT_EQ(form.titleStrip->text(), QStringLiteral("<b>fett<b> [03:00]"));
    EXPECT_EQ(form.titleStrip->textFormat(), Qt::PlainText);
}

} // namespace
