// The window's radio controls reach the player: the station list by mouse and Enter, the editor's
// update button and merge choice, the playlist entries panel.

#include "platform/ByteText.h"
#include "platform/InstanceChannel.h"
#include "support/Fakes.h"
#include "support/QtPrinters.h"
#include "support/TestOpens.h"
#include "ui/TForm1.h"

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
        s.stations.append({QStringLiteral("Eins"), QStringLiteral("http://one.example/")});
        s.stations.append({QStringLiteral("Zwei"), QStringLiteral("http://two.example/")});
        s.display.radiosenderLBVisible = true;
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    QPoint rowCentre(QListView* list, int row) {
        return list->visualRect(list->model()->index(row, 0)).center();
    }
    int opened(const char* url) { return bass.count(std::string("BASS_StreamCreateURL(") + url + ")"); }

    FakeBass bass;
    FakeMixer mixer;
    FakeHotKeys hotKeys;
    FakeDialogs dialogs;
    InstanceChannel channel{QStringLiteral("RadioControlsTest")};
    TForm1 form{PlatformServices{bass, mixer, hotKeys, dialogs}, channel};
    TestOpens opens{form.player().stationOpener};
    PlayerState& s = form.player().s;
};

TEST_F(RadioControlsTest, PressOnAStationSelectsAndStartsItAndEnterStartsItAgain) {
    QTest::mousePress(form.radiosenderLB->viewport(), Qt::LeftButton, {}, rowCentre(form.radiosenderLB, 1));
    EXPECT_EQ(s.stations.selected(), 1);
    EXPECT_EQ(opened("http://two.example/"), 1);
    EXPECT_EQ(s.stationName, QStringLiteral("Zwei"));

    // Only the left button starts a station; the others leave the selection too.
    for (Qt::MouseButton other : {Qt::RightButton, Qt::MiddleButton})
        QTest::mouseClick(form.radiosenderLB->viewport(), other, {}, rowCentre(form.radiosenderLB, 0));
    EXPECT_EQ(opened("http://one.example/"), 0);
    EXPECT_EQ(s.stations.selected(), 1);
    QTest::mousePress(form.radiosenderLB->viewport(), Qt::LeftButton, {}, rowCentre(form.radiosenderLB, 0));
    EXPECT_EQ(opened("http://one.example/"), 1);

    form.radiosenderLB->setFocus();
    QTest::keyClick(form.radiosenderLB, Qt::Key_Return);
    EXPECT_EQ(opened("http://one.example/"), 2);
    QTest::keyClick(form.radiosenderLB, Qt::Key_Down);
    EXPECT_EQ(s.stations.selected(), 1);
    EXPECT_EQ(opened("http://two.example/"), 1) << "moving the selection alone starts nothing";
}

TEST_F(RadioControlsTest, EditorButtonsAndMergeChoice) {
    s.display.radioPanelVisible = true;
    ASSERT_TRUE(form.anhaengenRB->isChecked());
    QTest::mouseClick(form.ueberschrRB, Qt::LeftButton);
    EXPECT_FALSE(s.display.anhaengenRB.get());
    s.display.anhaengenRB = true;
    EXPECT_TRUE(form.anhaengenRB->isChecked());
    EXPECT_FALSE(form.ueberschrRB->isChecked());

    // Nothing listens on port 1 of 127.0.0.1: the update fails at once.
    form.player().updateUrl = QStringLiteral("http://127.0.0.1:1/download/mp3.snd");
    form.radiolisteladenB->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.player().HTTPGet2.isDownloading(); }, 20000));
    EXPECT_EQ(s.display.SongL.get(), QStringLiteral("Problem beim Update der Senderliste"));
}

TEST_F(RadioControlsTest, PlaylistEntriesPanelPlaysAddsAndCloses) {
    s.entries.append({QStringLiteral("Eintrag"), QStringLiteral("http://entry.example/")});
    s.display.senderPVisible = true;
    QTest::mouseClick(form.sendertitelLB->viewport(), Qt::LeftButton, {}, rowCentre(form.sendertitelLB, 0));
    EXPECT_EQ(opened("http://entry.example/"), 1);

    form.senderspeichernB->click();
    EXPECT_TRUE(s.display.radioPanelVisible.get());
    EXPECT_EQ(s.display.radioRE.get().last(), QStringLiteral("Eintrag ; http://entry.example/"));
    form.senderlisteexitB->click();
    EXPECT_FALSE(s.display.senderPVisible.get());
}

TEST_F(RadioControlsTest, LatinOneBytesShowAsLatinOneAndLinesLeftAsTheyWereKeepThemInTheFile) {
    QTemporaryDir programFolder;
    s.programFolder = programFolder.path() + u'/';
    s.stations.append({bytesToText("K\xf6ln"), bytesToText("http://k\xf6ln/")});
    EXPECT_EQ(s.stations.index(2).data().toString(), QString::fromLatin1("K\xf6ln"));
    QTest::mousePress(form.radiosenderLB->viewport(), Qt::LeftButton, {}, rowCentre(form.radiosenderLB, 2));
    EXPECT_EQ(opened("http://k\xf6ln/"), 1);
    EXPECT_TRUE(form.SongL->text().endsWith(QString::fromLatin1("> K\xf6ln")))
        << form.SongL->text().toStdString();

    form.player().editor.radioCBDblClick();
    EXPECT_TRUE(form.radioRE->toPlainText().endsWith(QString::fromLatin1("\nK\xf6ln ; http://k\xf6ln/")));
    form.radioRE->setFocus();
    form.radioRE->moveCursor(QTextCursor::End);
    QTest::keyClick(form.radioRE, Qt::Key_Return);
    QTest::keyClicks(form.radioRE, QStringLiteral("Neu "));
    QTest::sendKeyEvent(QTest::Click, form.radioRE, Qt::Key_unknown, QString::fromUtf8("\xc3\xa4"), {});
    QTest::keyClicks(form.radioRE, QStringLiteral(" ; http://n/"));
    form.radiolistesaveB->click();
    QFile snd(programFolder.filePath(QStringLiteral("mp3.snd")));
    ASSERT_TRUE(snd.open(QIODevice::ReadOnly));
    EXPECT_EQ(snd.readAll(), "Eins\r\nhttp://one.example/\r\nZwei\r\nhttp://two.example/\r\n"
                             "K\xf6ln\r\nhttp://k\xf6ln/\r\nNeu \xc3\xa4\r\nhttp://n/\r\n");
}

} // namespace
