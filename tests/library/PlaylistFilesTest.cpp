// Loading a playlist into the song list and saving the song list, from the "Playliste" menu.

#include "library/PlaylistFiles.h"
#include "platform/ByteText.h"
#include "support/PlayerHarness.h"
#include "support/SongFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

class PlaylistFilesTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& contents) {
        const QString path = files.path(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return path;
    }
    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void load(const std::optional<QString>& answer) {
        h.dialogs.fileAnswers.push_back(answer);
        h.player.guarded([&] { h.player.playlists.loadPlaylist(); });
    }
    void save(const std::optional<QString>& answer) {
        h.dialogs.fileAnswers.push_back(answer);
        h.player.guarded([&] { h.player.playlists.savePlaylist(); });
    }
    QStringList songPaths() const {
        QStringList p;
        for (const Song& song : s.songList.songs.rows())
            p << song.path;
        return p;
    }

    PlayerHarness h;
    Player& s = h.player;
    SongFiles files;
    QStringList songs = files.make({"a.mp3", "b.mp3", "c.mp3"});
};

TEST(PlaylistMenuRulesTest, MenuPointAndDialogTexts) {
    EXPECT_EQ(playlistMenuPoint({100, 50}, {176, 192}), QPoint(236, 262));

    const FileDialogSpec open = playlistOpenDialog(QStringLiteral("/p/"), QStringLiteral("/p/l.m3u"));
    EXPECT_FALSE(open.save);
    EXPECT_EQ(open.folder, QStringLiteral("/p/"));
    EXPECT_EQ(open.fileName, QStringLiteral("/p/l.m3u"));
    EXPECT_EQ(
        (QStringList{open.okText, open.cancelText, open.lookInText, open.fileNameText, open.fileTypeText}),
        (QStringList{"&laden", "nix", "&suchen in...", "Datei &Name", "Datei Type"}));
    const FileDialogSpec save = playlistSaveDialog(QString(), QString());
    EXPECT_TRUE(save.save);
    EXPECT_EQ(
        (QStringList{save.okText, save.cancelText, save.lookInText, save.fileNameText, save.fileTypeText}),
        (QStringList{"&speichern", "nix", "&suchen in..", "Datei &Name", "Datei Typ"}));
}

TEST_F(PlaylistFilesTest, MissingLinesAreReportedTogetherTheOthersAddedAndTheFirstPlays) {
    const QString list =
        write("liste.m3u", songs[0].toUtf8() + "\r\n" + files.path("weg.mp3").toUtf8() + "\r\n\r\n#EXTM3U\n" +
                               files.dir.path().toUtf8() + "\n/dev/null\n" + songs[2].toUtf8() + "\n" +
                               // The system would open this name only up to its zero byte: another file.
                               songs[1].toUtf8() + QByteArray("\0.txt", 5));
    load(list);
    EXPECT_EQ(songPaths(), (QStringList{songs[0], songs[2]}));
    // Nothing played: the first song added started.
    EXPECT_EQ(s.channel.playMode, PlayMode::Song);
    EXPECT_EQ(s.songList.currentIndex, 0);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].text, "nicht (mehr) gefunden:\r\r" + files.path("weg.mp3") +
                                              "\r#EXTM3U\r" + files.dir.path() + "\r/dev/null\r" + songs[1] +
                                              QChar(0) + ".txt\r");
    EXPECT_EQ(h.dialogs.messages[0].icon, MessageIcon::None);
    // The dialogs start from the chosen file from now on.
    EXPECT_EQ(s.playlists.playlistFile, list);
    EXPECT_EQ(s.playlists.playlistFolder, files.dir.path() + "/");
}

TEST_F(PlaylistFilesTest, SongsAlreadyListedAreNeitherAddedNorReported) {
    h.player.songList.addSong(songs[1]);
    load(write("l.m3u", songs[1].toUtf8() + "\n" + songs[0].toUtf8() + "\n"));
    EXPECT_EQ(songPaths(), (QStringList{songs[1], songs[0]}));
    EXPECT_TRUE(h.dialogs.messages.empty());
}

TEST_F(PlaylistFilesTest, RelativeLinesNameFilesBesideThePlaylistAndCtrlZEndsTheText) {
    files.make({"sub/d.mp3"});
    load(write("sub/l.m3u", "d.mp3\n../a.mp3\n\x1a" + songs[2].toUtf8() + "\n"));
    EXPECT_EQ(songPaths(), (QStringList{files.path("sub/d.mp3"), songs[0]}));
    EXPECT_TRUE(h.dialogs.messages.empty());
}

TEST_F(PlaylistFilesTest, SavedListLoadsBackWithItsPathsAndOrder) {
    const QString list = files.path("gespeichert.m3u");
    save(list);
    EXPECT_EQ(read(list), QByteArray());

    s.channel.playMode = PlayMode::Song;
    for (const QString& song : {songs[2], songs[0], songs[1]})
        h.player.songList.addSong(song);
    save(list);
    EXPECT_EQ(read(list), (QStringList{songs[2], songs[0], songs[1], ""}.join("\r\n")).toUtf8());

    h.player.songList.clearButtonClicked();
    load(list);
    EXPECT_EQ(songPaths(), (QStringList{songs[2], songs[0], songs[1]}));
    EXPECT_EQ(s.songList.songs.title(0), QStringLiteral("c"));
    EXPECT_EQ(s.songList.songs.loudness(0), QStringLiteral("30"));
    EXPECT_TRUE(h.dialogs.errors.isEmpty());
    // Both dialogs started where the previous one ended.
    ASSERT_EQ(h.dialogs.fileDialogs.size(), 3u);
    EXPECT_EQ(h.dialogs.fileDialogs[2].fileName, list);
    EXPECT_FALSE(h.dialogs.fileDialogs[2].save);
}

TEST_F(PlaylistFilesTest, CancelLeavesFilesListAndDialogStartUntouched) {
    const QString list = write("alt.m3u", "alt\r\n");
    s.playlists.playlistFolder = files.dir.path() + "/";
    s.playlists.playlistFile = list;
    s.channel.playMode = PlayMode::Song;
    h.player.songList.addSong(songs[0]);

    save(std::nullopt);
    load(std::nullopt);
    EXPECT_EQ(read(list), QByteArray("alt\r\n"));
    EXPECT_EQ(QDir(files.dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"a.mp3", "alt.m3u", "b.mp3", "c.mp3"}));
    EXPECT_EQ(songPaths(), QStringList{songs[0]});
    EXPECT_EQ(s.playlists.playlistFile, list);
    ASSERT_EQ(h.dialogs.fileDialogs.size(), 2u);
    EXPECT_EQ(h.dialogs.fileDialogs[0].folder, files.dir.path() + "/");
    EXPECT_EQ(h.dialogs.fileDialogs[0].fileName, list);
    EXPECT_TRUE(h.dialogs.messages.empty());
}

TEST_F(PlaylistFilesTest, UnreadablePlaylistAndUnwritableTargetAreShownAsErrors) {
    load(files.path("fehlt.m3u"));
    save(files.path("kein/ordner.m3u"));
    EXPECT_EQ(h.dialogs.errors, (QStringList{"Datei nicht gefunden", "Datei nicht gefunden"}));
    EXPECT_TRUE(s.songList.songs.rows().isEmpty());
}

TEST_F(PlaylistFilesTest, LinesThatAreNotUtf8LoadAndAreSavedWithTheirBytes) {
    const QString latin1 = files.makeBytes("caf\xe9.mp3");
    const QString utf8 = files.makeBytes("\xc3\xa9t\xc3\xa9.mp3");
    const QByteArray folder = textToBytes(files.dir.path()) + '/';
    // A relative line names a file beside the playlist.
    const QString list = write("liste.m3u", "caf\xe9.mp3\r\n" + folder + "\xc3\xa9t\xc3\xa9.mp3\r\n" +
                                                folder + "fehlt\xe8.mp3\r\n");
    load(list);
    EXPECT_EQ(songPaths(), (QStringList{latin1, utf8}));
    EXPECT_EQ(textToBytes(s.songList.songs.path(0)), folder + "caf\xe9.mp3");
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(textToBytes(h.dialogs.messages[0].text),
              "nicht (mehr) gefunden:\r\r" + folder + "fehlt\xe8.mp3\r");

    save(files.path("neu.m3u"));
    EXPECT_EQ(read(files.path("neu.m3u")), folder + "caf\xe9.mp3\r\n" + folder + "\xc3\xa9t\xc3\xa9.mp3\r\n");
}

} // namespace
