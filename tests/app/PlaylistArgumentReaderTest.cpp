// PLS and M3U playlists handed to the player: the entries panel, the first stream, the songs.

#include "support/PlayerHarness.h"
#include "support/SongFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class PlaylistArgumentReaderTest : public ::testing::Test {
protected:
    // Writes a playlist and hands its path over as the intake gets it from outside.
    QString handOver(const QString& name, const QByteArray& contents) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.close();
        h.player.guarded([&] { h.player.intake.setText(path); });
        return path;
    }
    QStringList titles() const {
        QStringList t;
        for (const PlaylistEntry& e : s.update.entries.rows())
            t << e.title;
        return t;
    }
    QStringList urls() const {
        QStringList u;
        for (const PlaylistEntry& e : s.update.entries.rows())
            u << e.url;
        return u;
    }
    QStringList songPaths() const {
        QStringList p;
        for (const Song& song : s.songList.songs.rows())
            p << song.path;
        return p;
    }
    QStringList opened() const {
        QStringList u;
        for (const auto& [handle, stream] : h.audioEngine.streams)
            if (!stream.url.empty()) u << QString::fromStdString(stream.url);
        return u;
    }

    PlayerHarness h;
    Player& s = h.player;
    QTemporaryDir dir;
};

TEST(PlaylistArgumentRulesTest, ValueAfterEqualsAndBaseName) {
    EXPECT_EQ(valueAfterEquals(QStringLiteral("File1=http://h/a?x=1")), QStringLiteral("http://h/a?x=1"));
    EXPECT_EQ(valueAfterEquals(QStringLiteral("no equals")), QStringLiteral("no equals"));
    EXPECT_EQ(valueAfterEquals(QStringLiteral("Title=")), QString());
    EXPECT_EQ(playlistBaseName(QStringLiteral("/r/radio.m3u")), QStringLiteral("radio"));
    EXPECT_EQ(playlistBaseName(QStringLiteral("/r/a.b.m3u")), QStringLiteral("a"));
    EXPECT_EQ(playlistBaseName(QStringLiteral("/r.d/.m3u")), QStringLiteral(".m3u"));
    EXPECT_EQ(playlistBaseName(QStringLiteral("/r/.hidden-list.pls")), QStringLiteral(".hidden-li"));
}

TEST_F(PlaylistArgumentReaderTest, PlsTitlesFollowTheirFileLinesAndTheFirstEntryPlaysAsRadio) {
    handOver(QStringLiteral("sender.pls"), "[playlist]\r\nFile1=http://h/1\r\nTitle1=Rock\r\nLength1=-1\r\n"
                                           "File2=http://h/2?id=7\r\nTitle2=Jazz\r\nNumberOfEntries=2\r\n");
    EXPECT_EQ(titles(), (QStringList{"Rock", "Jazz"}));
    EXPECT_EQ(urls(), (QStringList{"http://h/1", "http://h/2?id=7"}));
    EXPECT_EQ(opened(), QStringList{"http://h/1"});
    EXPECT_EQ(s.radio.streamUrl, QStringLiteral("http://h/1"));
    EXPECT_EQ(s.radio.stationName, QStringLiteral("http://h/1"));
    EXPECT_EQ(s.channel.playMode, PlayMode::Radio);
    EXPECT_TRUE(s.radio.radioMode);
    EXPECT_TRUE(s.editor.entryPanelVisible.get());
    EXPECT_EQ(s.update.entries.selected(), 0);
    EXPECT_EQ(h.window.raised, 1);
    EXPECT_TRUE(h.dialogs.errors.isEmpty());
}

TEST_F(PlaylistArgumentReaderTest, PlsTitlesBeforeTheirFileLinesNameThePreviousEntry) {
    // The title before the first file line has no entry; an entry without a later title keeps its
    // whole file line.
    handOver(QStringLiteral("vorher.PLS"),
             "Title1=Verloren\nFile1=http://h/1\nTitle2=Eins\nFile2=http://h/2\n");
    EXPECT_EQ(titles(), (QStringList{"Eins", "File2=http://h/2"}));
    EXPECT_EQ(opened(), QStringList{"http://h/1"});
}

TEST_F(PlaylistArgumentReaderTest, PlsKeysAloneTellFileAndTitleLinesApart) {
    // A title holding "file" is no entry; a URL holding "title" is no title.
    handOver(QStringLiteral("keys.pls"),
             "File1=http://h/titles/1\nTitle1=Profile Radio\nFile2=http://h/2\ntitle2=Best Files\n");
    EXPECT_EQ(titles(), (QStringList{"Profile Radio", "Best Files"}));
    EXPECT_EQ(urls(), (QStringList{"http://h/titles/1", "http://h/2"}));
}

TEST_F(PlaylistArgumentReaderTest, M3uStreamsAreNamedBaseThenBaseUnderscoreCounter) {
    handOver(QStringLiteral("radio.m3u"), "http://h/a\nhttp://h/b\nhttp://h/c\n");
    EXPECT_EQ(titles(), (QStringList{"radio", "radio_0", "radio_1"}));
    EXPECT_EQ(opened(), QStringList{"http://h/a"});
    EXPECT_TRUE(s.radio.radioMode);

    // A file named ".m3u": the name is shorter than ten characters and stays whole.
    handOver(QStringLiteral(".m3u"), "http://h/d\nhttp://h/e\n");
    EXPECT_EQ(titles(), (QStringList{".m3u", ".m3u_0"}));
}

TEST_F(PlaylistArgumentReaderTest, M3uUrlsStayWholeCommentsAreSkippedRelativeSongsLieBesideThePlaylist) {
    SongFiles songs;
    const QString absolute = songs.make({"b.mp3"}).constFirst();
    s.channel.playMode = PlayMode::Song; // the songs queue; nothing is started
    handOver(QStringLiteral("mix.m3u"), "#EXTM3U\n#EXTINF:-1,Best http radio.mp3\nhttp://h/s?id=7\n"
                                        "HTTPS://h/t\nurl=http://h/u\nsub/../a.mp3\n" +
                                            absolute.toUtf8() + "\n");
    EXPECT_EQ(urls(), (QStringList{"http://h/s?id=7", "HTTPS://h/t", "http://h/u"}));
    EXPECT_EQ(titles(), (QStringList{"mix", "mix_0", "mix_1"}));
    EXPECT_EQ(songPaths(), (QStringList{dir.path() + "/a.mp3", absolute}));
}

TEST_F(PlaylistArgumentReaderTest, M3uOfLocalSongsQueuesThemAndPlaysNoRadio) {
    SongFiles songs;
    const QStringList paths = songs.make({"a.mp3", "b.MP3"});
    // A line with a zero byte would open another file than it names: it is left out.
    handOver(QStringLiteral("songs.m3u"),
             (paths.join(u'\n') + u'\n').toUtf8() + paths[0].toUtf8() + QByteArray("\0.mp3\n", 6));
    EXPECT_EQ(songPaths(), paths);
    EXPECT_TRUE(s.update.entries.rows().isEmpty());
    EXPECT_TRUE(s.editor.entryPanelVisible.get());
    EXPECT_FALSE(s.radio.radioMode);
    EXPECT_TRUE(opened().isEmpty());
    // Nothing played: the start rule started the first song.
    EXPECT_EQ(s.channel.playMode, PlayMode::Song);
    EXPECT_EQ(s.songList.currentIndex, 0);
}

TEST_F(PlaylistArgumentReaderTest, UnreadablePlaylistIsReportedAndKeepsThePanelsLists) {
    handOver(QStringLiteral("alt.pls"), "File1=http://h/1\n");
    s.editor.entryPanelVisible = false;
    h.player.guarded([&] { h.player.intake.setText(dir.filePath(QStringLiteral("fehlt.pls"))); });
    EXPECT_EQ(h.dialogs.errors, QStringList{"Datei nicht gefunden"});
    EXPECT_EQ(urls(), QStringList{"http://h/1"});
    EXPECT_TRUE(s.editor.entryPanelVisible.get());
}

} // namespace
