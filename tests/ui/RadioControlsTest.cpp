// The window's radio controls reach the player: the station list by mouse and Enter, the editor's
// update button and merge choice, the playlist entries panel.

#include "platform/ByteText.h"
#include "platform/InstanceChannel.h"
#include "support/Fakes.h"
#include "support/QtPrinters.h"
#include "support/TestOpens.h"
#include "ui/MainWindow.h"

#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class RadioControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        s.radio.stations.append({QStringLiteral("Eins"), QStringLiteral("http://one.example/")});
        s.radio.stations.append({QStringLiteral("Zwei"), QStringLiteral("http://two.example/")});
        s.radio.stationListVisible = true;
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    QPoint rowCentre(QListView* list, int row) {
        return list->visualRect(list->model()->index(row, 0)).center();
    }
    int opened(const char* url) { return audioEngine.count(std::string("openUrl(") + url + ")"); }

    FakeAudioEngine audioEngine;
    FakeMixer mixer;
    FakeHotKeys hotKeys;
    FakeDialogs dialogs;
    InstanceChannel channel{QStringLiteral("RadioControlsTest")};
    MainWindow form{PlatformServices{audioEngine, mixer, hotKeys, dialogs}, channel};
    TestOpens opens{form.player().radio.stationOpener};
    Player& s = form.player();
};

TEST_F(RadioControlsTest, PressOnAStationSelectsAndStartsItAndEnterStartsItAgain) {
    QTest::mousePress(form.stationListView->viewport(), Qt::LeftButton, {},
                      rowCentre(form.stationListView, 1));
    EXPECT_EQ(s.radio.stations.selected(), 1);
    EXPECT_EQ(opened("http://two.example/"), 1);
    EXPECT_EQ(s.radio.stationName, QStringLiteral("Zwei"));

    // Only the left button starts a station; the others leave the selection too.
    for (Qt::MouseButton other : {Qt::RightButton, Qt::MiddleButton})
        QTest::mouseClick(form.stationListView->viewport(), other, {}, rowCentre(form.stationListView, 0));
    EXPECT_EQ(opened("http://one.example/"), 0);
    EXPECT_EQ(s.radio.stations.selected(), 1);
    QTest::mousePress(form.stationListView->viewport(), Qt::LeftButton, {},
                      rowCentre(form.stationListView, 0));
    EXPECT_EQ(opened("http://one.example/"), 1);

    form.stationListView->setFocus();
    QTest::keyClick(form.stationListView, Qt::Key_Return);
    EXPECT_EQ(opened("http://one.example/"), 2);
    QTest::keyClick(form.stationListView, Qt::Key_Down);
    EXPECT_EQ(s.radio.stations.selected(), 1);
    EXPECT_EQ(opened("http://two.example/"), 1) << "moving the selection alone starts nothing";
}

TEST_F(RadioControlsTest, EditorButtonsAndMergeChoice) {
    s.editor.panelVisible = true;
    ASSERT_TRUE(form.appendChoice->isChecked());
    QTest::mouseClick(form.overwriteChoice, Qt::LeftButton);
    EXPECT_FALSE(s.editor.appendChoice.get());
    s.editor.appendChoice = true;
    EXPECT_TRUE(form.appendChoice->isChecked());
    EXPECT_FALSE(form.overwriteChoice->isChecked());

    // Nothing listens on port 1 of 127.0.0.1: the update fails at once.
    form.player().update.updateUrl = QStringLiteral("http://127.0.0.1:1/download/mp3.snd");
    form.updateStationsButton->click();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !form.player().update.stationListDownload.isDownloading(); }, 20000));
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("Problem beim Update der Senderliste"));
}

TEST_F(RadioControlsTest, PlaylistEntriesPanelPlaysAddsAndCloses) {
    s.update.entries.append({QStringLiteral("Eintrag"), QStringLiteral("http://entry.example/")});
    s.editor.entryPanelVisible = true;
    QTest::mouseClick(form.entryListView->viewport(), Qt::LeftButton, {}, rowCentre(form.entryListView, 0));
    EXPECT_EQ(opened("http://entry.example/"), 1);

    form.addStationButton->click();
    EXPECT_TRUE(s.editor.panelVisible.get());
    EXPECT_EQ(s.editor.text.get().last(), QStringLiteral("Eintrag ; http://entry.example/"));
    form.closeEntriesButton->click();
    EXPECT_FALSE(s.editor.entryPanelVisible.get());
}

TEST_F(RadioControlsTest, LatinOneBytesShowAsLatinOneAndLinesLeftAsTheyWereKeepThemInTheFile) {
    QTemporaryDir programFolder;
    s.startup.programFolder = programFolder.path() + u'/';
    s.radio.stations.append({bytesToText("K\xf6ln"), bytesToText("http://k\xf6ln/")});
    EXPECT_EQ(s.radio.stations.index(2).data().toString(), QString::fromLatin1("K\xf6ln"));
    QTest::mousePress(form.stationListView->viewport(), Qt::LeftButton, {},
                      rowCentre(form.stationListView, 2));
    EXPECT_EQ(opened("http://k\xf6ln/"), 1);
    EXPECT_TRUE(form.titleStrip->text().endsWith(QString::fromLatin1("> K\xf6ln")))
        << form.titleStrip->text().toStdString();

    form.player().editor.openStationEditor();
    EXPECT_TRUE(
        form.stationEditorText->toPlainText().endsWith(QString::fromLatin1("\nK\xf6ln ; http://k\xf6ln/")));
    form.stationEditorText->setFocus();
    form.stationEditorText->moveCursor(QTextCursor::End);
    QTest::keyClick(form.stationEditorText, Qt::Key_Return);
    QTest::keyClicks(form.stationEditorText, QStringLiteral("Neu "));
    QTest::sendKeyEvent(QTest::Click, form.stationEditorText, Qt::Key_unknown, QString::fromUtf8("\xc3\xa4"),
                        {});
    QTest::keyClicks(form.stationEditorText, QStringLiteral(" ; http://n/"));
    form.saveStationsButton->click();
    QFile snd(programFolder.filePath(QStringLiteral("mp3.snd")));
    ASSERT_TRUE(snd.open(QIODevice::ReadOnly));
    EXPECT_EQ(snd.readAll(), "Eins\r\nhttp://one.example/\r\nZwei\r\nhttp://two.example/\r\n"
                             "K\xf6ln\r\nhttp://k\xf6ln/\r\nNeu \xc3\xa4\r\nhttp://n/\r\n");
}

} // namespace
