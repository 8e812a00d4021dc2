// The window's keys on a real main window over fake services: the window sees each key before the
// focused control, which gets only what the window leaves to it.

#include "platform/InstanceChannel.h"
#include "support/Fakes.h"
#include "support/QtPrinters.h"
#include "support/SongFiles.h"
#include "support/TestOpens.h"
#include "ui/FileList.h"
#include "ui/MainWindow.h"
#include "ui/ShellTreeView.h"
#include "ui/SongListView.h"
#include "ui/TrackBar.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Records the key presses that reach a control past the window's preview. The window's own filter on
// the control, if given, is put back in front of the recorder, as it runs before the control's handling.
class KeyRecorder : public QObject {
public:
    explicit KeyRecorder(QWidget* control, QObject* runsBefore = nullptr) {
        control->installEventFilter(this);
        if (runsBefore) {
            control->removeEventFilter(runsBefore);
            control->installEventFilter(runsBefore);
        }
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) keys << static_cast<QKeyEvent*>(event)->key();
        return false;
    }
    QList<int> keys;
};

class MainWindowKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        s.radio.stations.append({QStringLiteral("Eins"), QStringLiteral("http://127.0.0.1:9/eins")});
        s.radio.stations.append({QStringLiteral("Zwei"), QStringLiteral("http://127.0.0.1:9/zwei")});
    }

    // Songs entered without starting, then row `row` played.
    void playSongs(const QStringList& names, int row = 0) {
        s.channel.playMode = PlayMode::Song;
        for (const QString& path : files.make(names))
            p.songList.addSong(path);
        s.channel.playMode = PlayMode::Idle;
        s.songList.songs.setSelected(row);
        p.seq.playSelected();
        ASSERT_EQ(fileActive(), ChannelState::Playing);
    }

    void focusOn(QWidget* w) {
        w->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), w);
    }

    // A key pressed and released on the focus widget, as the keyboard would deliver it.
    void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : &form, static_cast<Qt::Key>(k), modifiers);
    }

    void autoRepeat(int k, Qt::KeyboardModifiers modifiers) {
        for (QEvent::Type type : {QEvent::KeyRelease, QEvent::KeyPress}) {
            QKeyEvent event(type, k, modifiers, QString(), true);
            QApplication::sendEvent(QApplication::focusWidget(), &event);
        }
    }

    QStringList titles() const {
        QStringList t;
        for (int i = 0; i < s.songList.songs.count(); ++i)
            t << s.songList.songs.title(i);
        return t;
    }

    ChannelState fileActive() { return audioEngine.state(s.channel.fileStream); }

    FakeAudioEngine audioEngine;
    FakeMixer mixer;
    FakeHotKeys hotKeys;
    FakeDialogs dialogs;
    QTemporaryDir runtime;
    bool runtimeSet = qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    InstanceChannel channel{QStringLiteral("RI3-VEZEZI")};
    MainWindow form{PlatformServices{audioEngine, mixer, hotKeys, dialogs}, channel};
    Player& p = form.player();
    Player& s = p;
    TestOpens opens{p.radio.stationOpener};
    SongFiles files;
};

TEST_F(MainWindowKeysTest, SpaceTogglesPlayAndPauseAndNoControlGetsIt) {
    playSongs({"eins.mp3", "zwei.mp3"});
    // Lists, and buttons that a space would otherwise click ("leeren" would empty the song list).
    for (QWidget* control :
         std::initializer_list<QWidget*>{form.songListView, form.fileList, form.folderTree, form.clearButton,
                                         form.nextButton, form.volumeBar}) {
        SCOPED_TRACE(control->metaObject()->className());
        focusOn(control);
        KeyRecorder recorder(control);
        key(Qt::Key_Space);
        EXPECT_EQ(fileActive(), ChannelState::Paused);
        EXPECT_EQ(s.channel.playButton.get(), PlayPicture::Start);
        key(Qt::Key_Space);
        EXPECT_EQ(fileActive(), ChannelState::Playing);
        EXPECT_EQ(s.channel.playButton.get(), PlayPicture::Stop);
        EXPECT_FALSE(recorder.keys.contains(Qt::Key_Space));
    }
    EXPECT_EQ(titles(), QStringList({"eins", "zwei"}));
    EXPECT_EQ(s.songList.currentIndex, 0);
}

TEST_F(MainWindowKeysTest, KeysReachTheWindowWhenNothingInItHasTheFocus) {
    playSongs({"eins.mp3"});
    if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
    ASSERT_EQ(QApplication::focusWidget(), nullptr);
    key(Qt::Key_Space);
    EXPECT_EQ(fileActive(), ChannelState::Paused);
}

TEST_F(MainWindowKeysTest, EscapeClicksThePlayButtonOnlyWithoutShiftCtrlOrAlt) {
    playSongs({"eins.mp3"});
    focusOn(form.songListView);
    key(Qt::Key_Escape);
    EXPECT_EQ(fileActive(), ChannelState::Paused);
    for (Qt::KeyboardModifier m : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier}) {
        key(Qt::Key_Escape, m);
        EXPECT_EQ(fileActive(), ChannelState::Paused) << m;
    }
    key(Qt::Key_Escape);
    EXPECT_EQ(fileActive(), ChannelState::Playing);
}

TEST_F(MainWindowKeysTest, DeleteRemovesTheSelectedRowOnlyWhileAFilePlays) {
    playSongs({"eins.mp3", "zwei.mp3", "drei.mp3", "vier.mp3", "fuenf.mp3"});
    focusOn(form.songListView);
    s.songList.songs.setSelected(3);
    key(Qt::Key_Delete);
    EXPECT_EQ(titles(), QStringList({"eins", "zwei", "drei", "fuenf"}));
    EXPECT_EQ(s.songList.currentIndex, 0);
    EXPECT_EQ(fileActive(), ChannelState::Playing);

    // With the focus on a control the window also watches, the key still counts once.
    focusOn(form.positionBar);
    s.songList.songs.setSelected(2);
    key(Qt::Key_Delete);
    EXPECT_EQ(titles(), QStringList({"eins", "zwei", "fuenf"}));

    // Paused: nothing, not even the removal.
    focusOn(form.songListView);
    key(Qt::Key_Space);
    s.songList.songs.setSelected(1);
    key(Qt::Key_Delete);
    EXPECT_EQ(titles(), QStringList({"eins", "zwei", "fuenf"}));

    // A station plays: nothing either.
    form.radioButton->click();
    s.radio.stations.setSelected(0);
    p.radio.startSelectedStation();
    ASSERT_EQ(s.channel.playMode, PlayMode::Radio);
    focusOn(form.stationListView);
    key(Qt::Key_Delete);
    EXPECT_EQ(titles(), QStringList({"eins", "zwei", "fuenf"}));
}

TEST_F(MainWindowKeysTest, ShiftDeleteAsksBeforeDeletingTheSelectedSongsFile) {
    playSongs({"eins.mp3", "zwei.mp3", "drei.mp3"});
    focusOn(form.songListView);
    s.songList.songs.setSelected(1);
    key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_TRUE(form.deletePanel->isVisible());
    EXPECT_EQ(form.deleteFileLabel->text(), QStringLiteral("zwei"));
    EXPECT_EQ(QApplication::focusWidget(), form.noButton);
    EXPECT_EQ(titles(), QStringList({"eins", "zwei", "drei"}));
    EXPECT_TRUE(QFile::exists(files.path("zwei.mp3")));
}

TEST_F(MainWindowKeysTest, ShiftDeleteWhilePausedDoesNothing) {
    playSongs({"eins.mp3", "zwei.mp3"});
    focusOn(form.songListView);
    key(Qt::Key_Space);
    s.songList.songs.setSelected(1);
    key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_FALSE(form.deletePanel && form.deletePanel->isVisible());
    EXPECT_EQ(titles(), QStringList({"eins", "zwei"}));
}

TEST_F(MainWindowKeysTest, CtrlATakesAllFilesOfTheFileListAndTheFocusStays) {
    const QStringList songs = files.make({"c.mp3", "a.mp3", "b.mp3", "notes.txt"});
    p.browser.chooseSortByDate(); // then by name, as at start
    p.browser.chooseSortByName();
    ASSERT_TRUE(form.folderTree->setPath(files.dir.path()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.browser.fileList.count() == 3; }, 10000));
    focusOn(form.songListView);
    key(Qt::Key_A); // without Ctrl: nothing
    EXPECT_EQ(s.songList.songs.count(), 0);
    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(titles(), QStringList({"a", "b", "c"}));
    EXPECT_EQ(QApplication::focusWidget(), form.songListView);
    // Nothing played, so the first one entered started.
    EXPECT_EQ(s.songList.currentIndex, 0);
    EXPECT_EQ(fileActive(), ChannelState::Playing);
}

TEST_F(MainWindowKeysTest, KeypadPlusAndMinusStepTheVolumeBar) {
    s.volume.volumeBar.setPosition(50);
    focusOn(form.songListView);
    key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(form.volumeBar->value(), 52);
    key(Qt::Key_Minus, Qt::KeypadModifier);
    key(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(form.volumeBar->value(), 48);
    // The keys of the main keyboard are not the keypad's.
    key(Qt::Key_Plus);
    key(Qt::Key_Minus);
    EXPECT_EQ(s.volume.volumeBar.position(), 48);
    // One step per key also where the window watches the control itself.
    focusOn(form.positionBar);
    key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(s.volume.volumeBar.position(), 50);
}

TEST_F(MainWindowKeysTest, AltWhileAFilePlaysPreviewsTheEndAndTheReleaseReturns) {
    playSongs({"eins.mp3"});
    const std::int64_t length = audioEngine.defaultLength; // 180 s
    s.channel.positionBar.setPosition(300);
    focusOn(form.songListView);
    QTest::keyPress(form.songListView, Qt::Key_Alt);
    EXPECT_EQ(s.channel.playMode, PlayMode::Preview);
    EXPECT_EQ(audioEngine.stream(s.channel.fileStream)->position, length * 165 / 180);
    EXPECT_EQ(fileActive(), ChannelState::Playing);

    // The bar follows the preview; held keys repeat, and their releases do not end it.
    s.channel.positionBar.setPosition(120);
    const int seeks = audioEngine.count("seek");
    for (int i = 0; i < 3; ++i)
        autoRepeat(Qt::Key_Alt, Qt::AltModifier);
    EXPECT_EQ(s.channel.playMode, PlayMode::Preview);
    EXPECT_EQ(audioEngine.count("seek"), seeks);

    QTest::keyRelease(form.songListView, Qt::Key_Alt);
    EXPECT_EQ(s.channel.playMode, PlayMode::Song);
    EXPECT_EQ(s.channel.positionBar.position(), 300);
    EXPECT_EQ(audioEngine.stream(s.channel.fileStream)->position, 300 * length / 1000);
    EXPECT_FALSE(s.channel.positionDragging);
    EXPECT_EQ(fileActive(), ChannelState::Playing);
    EXPECT_EQ(audioEngine.calls.back(), "play(" + std::to_string(s.channel.fileStream.value()) + ")");

    // Any key with Alt held starts it too. The release of X ends it before the bar has moved: the song
    // still goes back to where it was.
    const int seeksBefore = audioEngine.count("seek");
    key(Qt::Key_X, Qt::AltModifier);
    EXPECT_EQ(s.channel.playMode, PlayMode::Song);
    EXPECT_EQ(audioEngine.count("seek"), seeksBefore + 2);
    EXPECT_EQ(audioEngine.stream(s.channel.fileStream)->position, 300 * length / 1000);
}

TEST_F(MainWindowKeysTest, LosingTheFocusEndsTheEndingPreview) {
    playSongs({"eins.mp3"});
    s.channel.positionBar.setPosition(400);
    focusOn(form.songListView);
    QTest::keyPress(form.songListView, Qt::Key_Alt);
    ASSERT_EQ(s.channel.playMode, PlayMode::Preview);
    // Alt+Tab: the release goes to the other window.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(s.channel.playMode, PlayMode::Song);
    EXPECT_EQ(audioEngine.stream(s.channel.fileStream)->position, 400 * audioEngine.defaultLength / 1000);
    EXPECT_EQ(fileActive(), ChannelState::Playing);
}

TEST_F(MainWindowKeysTest, AltWhilePausedOrInRadioModeDoesNothing) {
    playSongs({"eins.mp3"});
    focusOn(form.songListView);
    key(Qt::Key_Space);
    const int seeks = audioEngine.count("seek");
    QTest::keyPress(form.songListView, Qt::Key_Alt);
    EXPECT_EQ(s.channel.playMode, PlayMode::Idle);
    QTest::keyRelease(form.songListView, Qt::Key_Alt);
    EXPECT_EQ(fileActive(), ChannelState::Paused);

    form.radioButton->click();
    s.radio.stations.setSelected(0);
    p.radio.startSelectedStation();
    ASSERT_EQ(s.channel.playMode, PlayMode::Radio);
    focusOn(form.stationListView);
    QTest::keyPress(form.stationListView, Qt::Key_Alt);
    EXPECT_EQ(s.channel.playMode, PlayMode::Radio);
    QTest::keyRelease(form.stationListView, Qt::Key_Alt);
    EXPECT_EQ(audioEngine.count("seek"), seeks);
    EXPECT_EQ(audioEngine.state(s.radio.radioChannel), ChannelState::Playing);
}

TEST_F(MainWindowKeysTest, SongListEnterPlaysLeftGoesToTheFileListRightPlaysTheNext) {
    playSongs({"eins.mp3", "zwei.mp3", "drei.mp3"});
    focusOn(form.songListView);
    KeyRecorder recorder(form.songListView, &form);
    s.songList.songs.setSelected(2);
    key(Qt::Key_Return);
    EXPECT_EQ(s.songList.currentIndex, 2);
    s.songList.songs.setSelected(0);
    key(Qt::Key_Enter); // the keypad's
    EXPECT_EQ(s.songList.currentIndex, 0);

    key(Qt::Key_Right);
    EXPECT_EQ(s.songList.currentIndex, 1);
    EXPECT_EQ(s.songList.songs.selected(), 1);
    EXPECT_EQ(QApplication::focusWidget(), form.songListView);

    key(Qt::Key_Left);
    EXPECT_EQ(QApplication::focusWidget(), form.fileList);
    EXPECT_EQ(s.songList.currentIndex, 1);
    // Enter goes on to the list; the arrows are used up.
    EXPECT_EQ(recorder.keys, QList<int>({Qt::Key_Return, Qt::Key_Enter}));
}

TEST_F(MainWindowKeysTest, StationListEnterStartsTheSelectedStation) {
    form.radioButton->click();
    ASSERT_TRUE(form.stationListView->isVisible());
    EXPECT_FALSE(s.radio.radioChannel) << "no station was selected";
    focusOn(form.stationListView);
    s.radio.stations.setSelected(1);
    key(Qt::Key_Down); // only moves the selection
    EXPECT_FALSE(s.radio.radioChannel);
    s.radio.stations.setSelected(1);
    key(Qt::Key_Return);
    ASSERT_TRUE(s.radio.radioChannel);
    EXPECT_EQ(audioEngine.stream(s.radio.radioChannel)->url, "http://127.0.0.1:9/zwei");
    EXPECT_EQ(s.radio.stationName, QStringLiteral("Zwei"));
}

TEST_F(MainWindowKeysTest, TheStationEditorTakesItsKeysAsText) {
    playSongs({"eins.mp3", "zwei.mp3"});
    p.editor.openStationEditor();
    ASSERT_TRUE(form.radioPanel->isVisible());
    s.volume.volumeBar.setPosition(50);
    focusOn(form.stationEditorText);
    form.stationEditorText->clear();
    QTest::keyClicks(form.stationEditorText, QStringLiteral("Radio X"));
    key(Qt::Key_Plus, Qt::KeypadModifier);
    key(Qt::Key_Left);
    key(Qt::Key_Delete);
    EXPECT_EQ(form.stationEditorText->toPlainText(), QStringLiteral("Radio X"));
    EXPECT_EQ(fileActive(), ChannelState::Playing);
    EXPECT_EQ(titles(), QStringList({"eins", "zwei"}));
    EXPECT_EQ(s.volume.volumeBar.position(), 50);
    // Escape still works the play button.
    key(Qt::Key_Escape);
    EXPECT_EQ(fileActive(), ChannelState::Paused);
}

} // namespace
