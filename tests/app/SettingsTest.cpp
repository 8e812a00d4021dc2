// The settings file mp3.ini: what is written, what is read back, and what bad or short files do.

#include "platform/RuntimeError.h"
#include "support/FakeFolderTree.h"
#include "support/FileListing.h"
#include "support/PlayerHarness.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() {
        h.player.startup.programFolder = folder.path() + u'/';
        h.player.browser.attachTree(tree);
        for (const char* name : {"Eins", "Zwei", "Drei", "Vier", "Fünf"})
            h.player.radio.stations.append({name, "http://x"});
    }
    void writeIni(const QByteArray& bytes) {
        QFile file(h.player.settings.path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readIni() {
        QFile file(h.player.settings.path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir folder;
    QTemporaryDir music;
    FakeFolderTree tree{{"bin", "home", "usr"}};
    PlayerHarness h;
};

TEST_F(SettingsTest, MissingFileIsCreatedEmptyAndDefaultsStay) {
    h.player.settings.readSettings();
    EXPECT_EQ(readIni(), QByteArray());
    EXPECT_EQ(h.player.startup.windowLeft, 50);
    EXPECT_EQ(h.player.volume.volumeBar.position(), 30);
    EXPECT_FALSE(h.player.startup.startInRadio);
    EXPECT_TRUE(h.dialogs.errors.isEmpty());
}

// The first start opens the user's music folder (from the user's folders file), else the home folder,
// and lists it.
TEST_F(SettingsTest, TheFirstStartOpensTheMusicFolderElseHome) {
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    EXPECT_EQ(firstStartFolder(), home.path());
    ASSERT_TRUE(QDir(home.path()).mkpath("config"));
    ASSERT_TRUE(QDir(home.path()).mkpath("Klänge"));
    QFile dirs(home.path() + "/config/user-dirs.dirs");
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_MUSIC_DIR=\"$HOME/Kl\xc3\xa4nge\"\n");
    dirs.close();
    const QString music = home.path() + QStringLiteral("/Klänge");
    EXPECT_EQ(firstStartFolder(), music);
    QFile(music + "/lied.mp3").open(QIODevice::WriteOnly);

    h.player.settings.readSettings();
    h.player.settings.restoreFolderTree();
    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldConfig);
    EXPECT_EQ(tree.pathsSet, QStringList{music});
    ASSERT_TRUE(waitForListing(h.player.browser.fileList));
    ASSERT_EQ(h.player.browser.fileList.count(), 1);
    EXPECT_EQ(h.player.browser.fileList.caption(0), QStringLiteral("lied.mp3"));
}

TEST_F(SettingsTest, WritesNineCrLfLinesAndReadsThemBack) {
    h.player.browser.currentFolder = music.path();
    tree.setTopNode(tree.nextNode(tree.nextNode(tree.topNode())));
    h.player.volume.volumeBar.setPosition(64);
    h.player.volume.levellingBox = true;
    h.window.pos = {120, -7};
    h.player.radio.stations.setSelected(3);
    h.player.radio.radioMode = true;
    h.player.playlists.playlistFolder = QStringLiteral("/listen/");
    h.player.settings.writeSettings();
    const QByteArray expected =
        music.path().toUtf8() + "\r\nhome\r\n64\r\n1\r\n120\r\n-7\r\n3\r\n1\r\n/listen/\r\n";
    EXPECT_EQ(readIni(), expected);

    PlayerHarness next;
    FakeFolderTree nextTree{{"bin", "home", "usr"}};
    next.player.browser.attachTree(nextTree);
    next.player.startup.programFolder = h.player.startup.programFolder;
    for (const Station& st : h.player.radio.stations.rows())
        next.player.radio.stations.append(st);
    next.player.settings.readSettings();
    EXPECT_TRUE(nextTree.pathsSet.isEmpty());
    next.player.settings.restoreFolderTree();
    EXPECT_EQ(next.player.browser.currentFolder, music.path());
    EXPECT_EQ(nextTree.pathsSet, QStringList{music.path()});
    EXPECT_EQ(nextTree.nodeText(nextTree.topNode()), QStringLiteral("home"));
    EXPECT_EQ(next.player.volume.volumeBar.position(), 64);
    EXPECT_EQ(next.player.volume.volumeSetting, 64);
    EXPECT_TRUE(next.player.volume.levellingBox.get());
    EXPECT_EQ(next.player.startup.windowLeft, 120);
    EXPECT_EQ(next.player.startup.windowTop, -7);
    EXPECT_EQ(next.player.radio.stations.selected(), 3);
    EXPECT_TRUE(next.player.startup.startInRadio);
    EXPECT_EQ(next.player.playlists.playlistFolder, QStringLiteral("/listen/"));
}

// The update address is a tenth line, written only when set, so a file without it stays as older
// versions wrote it and they read a file with it (they stop after nine lines).
TEST_F(SettingsTest, TheUpdateAddressIsATenthLineOnlyWhenSet) {
    const QByteArray nine = "\r\n\r\n30\r\n0\r\n50\r\n50\r\n-1\r\n0\r\n\r\n";
    writeIni(nine);
    h.player.settings.readSettings();
    EXPECT_TRUE(h.player.update.updateUrl.isEmpty());
    h.player.settings.writeSettings();
    EXPECT_EQ(readIni().count("\r\n"), 9);

    h.player.update.updateUrl = QStringLiteral("http://127.0.0.1:8000/liste.snd");
    h.player.settings.writeSettings();
    EXPECT_TRUE(readIni().endsWith("\r\nhttp://127.0.0.1:8000/liste.snd\r\n"));
    EXPECT_EQ(readIni().count("\r\n"), 10);
    PlayerHarness next;
    next.player.startup.programFolder = h.player.startup.programFolder;
    next.player.browser.attachTree(tree);
    next.player.settings.readSettings();
    EXPECT_EQ(next.player.update.updateUrl, QStringLiteral("http://127.0.0.1:8000/liste.snd"));
}

TEST_F(SettingsTest, LfOnlyAndShortFilesAndOutOfRangeValues) {
    writeIni("/gibt/es/nicht\n\n5\n0\n10\n20\n12\n2\n");
    h.player.settings.readSettings();
    h.player.settings.restoreFolderTree();
    // A folder that no longer exists is kept for writing back but the tree stays where it is.
    EXPECT_EQ(h.player.browser.currentFolder, QStringLiteral("/gibt/es/nicht"));
    EXPECT_TRUE(tree.pathsSet.isEmpty());
    EXPECT_EQ(h.player.volume.volumeBar.position(), 20);
    EXPECT_EQ(h.player.volume.volumeSetting, 20);
    EXPECT_FALSE(h.player.volume.levellingBox.get());
    EXPECT_EQ(h.player.startup.windowLeft, 10);
    EXPECT_EQ(h.player.startup.windowTop, 20);
    EXPECT_EQ(h.player.radio.stations.selected(), -1);
    EXPECT_FALSE(h.player.startup.startInRadio);
    EXPECT_EQ(h.player.playlists.playlistFolder, QString());
    EXPECT_TRUE(h.dialogs.errors.isEmpty());
}

TEST_F(SettingsTest, ABadNumberIsReportedAndTheLaterLinesStillApply) {
    writeIni("\r\n\r\nlaut\r\n1\r\n33\r\n44\r\n2\r\n1\r\n/pl/\r\n");
    h.player.settings.readSettings();
    EXPECT_EQ(h.dialogs.errors, QStringList{QStringLiteral("'laut' ist kein gültiger Integerwert")});
    EXPECT_EQ(h.player.volume.volumeBar.position(), 30);
    EXPECT_TRUE(h.player.volume.levellingBox.get());
    EXPECT_EQ(h.player.startup.windowLeft, 33);
    EXPECT_EQ(h.player.startup.windowTop, 44);
    EXPECT_EQ(h.player.radio.stations.selected(), 2);
    EXPECT_TRUE(h.player.startup.startInRadio);
    EXPECT_EQ(h.player.playlists.playlistFolder, QStringLiteral("/pl/"));
    // The file written at the end holds valid values again.
    h.player.settings.writeSettings();
    EXPECT_TRUE(readIni().split('\n').value(2).startsWith("30\r"));
}

TEST_F(SettingsTest, AFolderThatCannotBeWrittenGivesTheErrorAndNoCrash) {
    h.player.startup.programFolder = QStringLiteral("/proc/self/");
    EXPECT_THROW(h.player.settings.readSettings(), InOutError);
    EXPECT_THROW(h.player.settings.writeSettings(), InOutError);
}

} // namespace
