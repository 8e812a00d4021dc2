// The station list editor and what brings stations into it: the text round trip, saving to mp3.snd,
// the update fetched from a server on 127.0.0.1 (appended or replacing), and the playlist panel.

#include "platform/ByteText.h"
#include "support/LoopbackHttpServer.h"
#include "radio/RadioTestSupport.h"
#include "radio/StationFile.h"
#include "support/PlayerHarness.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

// Limits the size of files this process writes; a write beyond it fails with EFBIG instead of
// raising SIGXFSZ. Works whatever rights the test runs with.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class StationEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        s.startup.programFolder = folder.path() + u'/';
        s.radio.stations.append({QStringLiteral("A"), QStringLiteral("http://a/")});
        s.radio.stations.append({QStringLiteral("B"), QStringLiteral("http://b/")});
        // Where the editor is opened from ("Senderliste").
        s.radio.radioMode = true;
    }
    QString sndPath() const { return folder.filePath(QStringLiteral("mp3.snd")); }
    QStringList editorLines() const { return s.editor.text.get(); }
    QList<Station> stations() const { return s.radio.stations.rows(); }
    void save() {
        h.player.guarded([this] { h.player.editor.saveStationList(); });
    }

    ScopedCurrentFolder folder;
    PlayerHarness h;
    Player& s = h.player;
};

TEST_F(StationEditorTest, OpeningShowsOneLinePerStationAndSavingParsesThemBack) {
    s.radio.stations.append({QStringLiteral("  C;D  "), QStringLiteral(" http://c/?x=1;y=2 ")});
    s.radio.stations.setSelected(1);
    s.editor.entryPanelVisible = true;
    s.radio.stationListVisible = true;
    h.player.editor.openStationEditor();
    EXPECT_TRUE(s.editor.panelVisible.get());
    EXPECT_FALSE(s.radio.stationListVisible.get());
    EXPECT_EQ(editorLines(),
              (QStringList{"A ; http://a/", "B ; http://b/", "  C;D   ;  http://c/?x=1;y=2 "}));

    save();
    // Blanks go; a ";" in the name splits it there.
    EXPECT_EQ(stations(),
              (QList<Station>{{"A", "http://a/"}, {"B", "http://b/"}, {"C", "D   ;  http://c/?x=1;y=2"}}));
    EXPECT_EQ(s.radio.stations.selected(), -1);
    EXPECT_EQ(readBytes(sndPath()), "A\r\nhttp://a/\r\nB\r\nhttp://b/\r\nC\r\nD   ;  http://c/?x=1;y=2\r\n");
    EXPECT_FALSE(s.editor.panelVisible.get());
    EXPECT_FALSE(s.editor.entryPanelVisible.get());
    EXPECT_TRUE(s.radio.stationListVisible.get());
    EXPECT_TRUE(h.dialogs.errors.isEmpty());
}

TEST_F(StationEditorTest, SavingDropsEmptyLinesAndKeepsEverythingElseAsStations) {
    h.player.editor.openStationEditor();
    s.editor.text = QStringList{"", "   ", "---------------", "\tTab ; x\t", ""};
    save();
    EXPECT_EQ(stations(),
              (QList<Station>{{"", ""}, {"---------------", "---------------"}, {"\tTab", "x\t"}}));

    h.player.editor.openStationEditor();
    s.editor.text = QStringList{};
    save();
    EXPECT_TRUE(stations().isEmpty());
    EXPECT_EQ(readBytes(sndPath()), "");
}

TEST_F(StationEditorTest, ExitDiscardsTheTextAndReopeningRebuildsIt) {
    QFile(sndPath()).open(QIODevice::WriteOnly);
    h.player.editor.openStationEditor();
    s.editor.text = QStringList{"X ; http://x/"};
    h.player.editor.closeStationEditor();
    EXPECT_FALSE(s.editor.panelVisible.get());
    EXPECT_TRUE(s.radio.stationListVisible.get());
    EXPECT_EQ(stations().size(), 2);
    EXPECT_EQ(readBytes(sndPath()), "");

    h.player.editor.openStationEditor();
    s.editor.text = QStringList{"X ; http://x/"};
    h.player.editor.openStationEditor();
    EXPECT_EQ(editorLines(), (QStringList{"A ; http://a/", "B ; http://b/"}));
}

// Whatever the mode when the editor closes, the list shown is the mode's own: leaving radio mode while
// the editor is open must not leave the station list over the song list.
TEST_F(StationEditorTest, ClosingTheEditorShowsTheListOfTheModeItClosesIn) {
    h.player.songList.clearButtonClicked();
    ASSERT_TRUE(s.editor.panelVisible.get());
    h.player.radio.toggleRadioMode();
    ASSERT_FALSE(s.radio.radioMode);
    h.player.editor.closeStationEditor();
    EXPECT_FALSE(s.editor.panelVisible.get());
    EXPECT_FALSE(s.radio.stationListVisible.get());
    EXPECT_EQ(s.radio.clearButton.get(), QStringLiteral("leeren"));

    // Opened in MP3 mode ("Sender hinzufügen") and saved there: the same.
    h.player.update.addEntryAsStation();
    save();
    EXPECT_FALSE(s.radio.stationListVisible.get());

    h.player.radio.toggleRadioMode();
    h.player.songList.clearButtonClicked();
    save();
    EXPECT_TRUE(s.radio.stationListVisible.get());
}

TEST_F(StationEditorTest, AFailedSaveShowsTheErrorKeepsTheEditorOpenAndTheOldFileWhole) {
    s.startup.programFolder = folder.filePath(QStringLiteral("gone")) + u'/';
    h.player.editor.openStationEditor();
    s.editor.text = QStringList{"X ; http://x/"};
    save();
    EXPECT_EQ(h.dialogs.errors, QStringList{QStringLiteral("Datei nicht gefunden")});
    EXPECT_EQ(stations(), (QList<Station>{{"X", "http://x/"}}));
    EXPECT_TRUE(s.editor.panelVisible.get());

    // Over an existing file: the write goes to a temporary file first, so a write that fails (here:
    // the file size limit) leaves the old file as it was.
    s.startup.programFolder = folder.path() + u'/';
    QFile old(sndPath());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("Alt\r\nhttp://alt/\r\n");
    old.close();
    s.editor.text = QStringList{"Neuer langer Sendername ; http://neu.example/ein/langer/pfad"};
    {
        FileSizeLimit limit(16);
        save();
    }
    ASSERT_EQ(h.dialogs.errors.size(), 2);
    EXPECT_EQ(h.dialogs.errors[1], QStringLiteral("E/A-Fehler %1").arg(EFBIG));
    EXPECT_EQ(readBytes(sndPath()), "Alt\r\nhttp://alt/\r\n");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"mp3.snd"}));
    EXPECT_TRUE(s.editor.panelVisible.get());
}

// The update from the server and the playlist panel.
class StationUpdateTest : public StationEditorTest {
protected:
    void SetUp() override {
        StationEditorTest::SetUp();
        server = std::make_unique<LoopbackHttpServer>([this](const LoopbackHttpServer::Request&) {
            LoopbackHttpServer::Reply reply;
            reply.bytes =
                serverFails
                    ? LoopbackHttpServer::response("", "no length")
                    : LoopbackHttpServer::response(
                          "Content-Length: " + QByteArray::number(serverFile.size()) + "\r\n", serverFile);
            return reply;
        });
        ASSERT_NE(server->port(), 0) << "the test server could not listen on 127.0.0.1";
        h.player.update.updateUrl = server->url(QStringLiteral("/download/mp3.snd"));
    }
    void update() {
        h.player.update.fetchStationUpdate();
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return !h.player.update.stationListDownload.isDownloading(); }, 20000));
    }

    QByteArray serverFile;
    bool serverFails = false;
    std::unique_ptr<LoopbackHttpServer> server;
};

TEST_F(StationUpdateTest, ServerListIsAppendedAfterASeparatorOrReplacesTheText) {
    struct Case {
        const char* name;
        bool append;
        QByteArray file;
        QStringList lines;
        QString message;
    };
    const QString appended = QStringLiteral("Update: Liste vom Server wurde angefügt");
    const QString replaced = QStringLiteral("Update: Liste vom Server wurde übernommen");
    const QStringList editor{"A ; http://a/", "B ; http://b/"};
    const Case cases[] = {
        {"append", true, "C\r\nhttp://c/\r\n", editor + QStringList{"---------------", "C ; http://c/"},
         appended},
        {"overwrite", false, "C\r\nhttp://c/\r\n", {"C ; http://c/"}, replaced},
        {"empty file", true, "", editor + QStringList{"---------------"}, appended},
        {"odd lines", false, "C\nhttp://c/\nD\n", {"C ; http://c/", "D ; "}, replaced},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        h.player.editor.openStationEditor();
        s.editor.appendChoice = c.append;
        s.channel.titleStrip = QString();
        serverFile = c.file;
        update();
        EXPECT_EQ(editorLines(), c.lines);
        EXPECT_EQ(s.channel.titleStrip.get(), c.message);
        EXPECT_FALSE(folder.exists(QStringLiteral("mp3snd.tmp")));
    }
    ASSERT_EQ(server->requests().size(), 4);
    EXPECT_EQ(server->requests()[0].target, "/download/mp3.snd");
    // Only saving changes the station list.
    EXPECT_EQ(stations().size(), 2);
}

// Without an address the user is asked for one; cancelling fetches nothing. After a failed update the
// next one asks again, starting from the address that failed.
TEST_F(StationUpdateTest, TheAddressIsAskedForWhenMissingAndAfterAFailure) {
    const QString address = h.player.update.updateUrl;
    h.player.update.updateUrl.clear();
    h.dialogs.textAnswers = {std::nullopt};
    h.player.update.fetchStationUpdate();
    EXPECT_FALSE(h.player.update.stationListDownload.isDownloading());
    ASSERT_EQ(h.dialogs.textQuestions.size(), 1u);
    EXPECT_EQ(h.dialogs.textQuestions[0].second, QString());
    EXPECT_TRUE(h.player.update.updateUrl.isEmpty());

    h.player.editor.openStationEditor();
    serverFails = true;
    h.dialogs.textAnswers = {" " + address + " "};
    update();
    EXPECT_EQ(h.player.update.updateUrl, address);
    EXPECT_EQ(h.player.channel.titleStrip.get(), QStringLiteral("Problem beim Update der Senderliste"));

    serverFails = false;
    serverFile = "C\r\nhttp://c/\r\n";
    update();
    ASSERT_EQ(h.dialogs.textQuestions.size(), 3u);
    EXPECT_EQ(h.dialogs.textQuestions[2].second, address);
    EXPECT_EQ(editorLines().last(), QStringLiteral("C ; http://c/"));
    // Once it worked, the address is used without asking.
    update();
    EXPECT_EQ(h.dialogs.textQuestions.size(), 3u);
    EXPECT_EQ(server->requests().size(), 3);
}

TEST_F(StationUpdateTest, AppendKeepsUnsavedEditsAndTheSavedSeparatorBecomesAStation) {
    h.player.editor.openStationEditor();
    s.editor.text = QStringList{"Eigener ; http://eigen/"};
    serverFile = "C\r\nhttp://c/\r\n";
    update();
    save();
    EXPECT_EQ(stations(),
              (QList<Station>{
                  {"Eigener", "http://eigen/"}, {"---------------", "---------------"}, {"C", "http://c/"}}));
}

TEST_F(StationUpdateTest, UpdateEndingAfterTheEditorClosedIsLostAtTheNextOpening) {
    h.player.editor.openStationEditor();
    serverFile = "C\r\nhttp://c/\r\n";
    h.player.update.fetchStationUpdate();
    h.player.editor.closeStationEditor();
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return !h.player.update.stationListDownload.isDownloading(); }, 20000));
    EXPECT_FALSE(s.editor.panelVisible.get());
    EXPECT_EQ(editorLines().last(), QStringLiteral("C ; http://c/"));
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("Update: Liste vom Server wurde angefügt"));

    h.player.editor.openStationEditor();
    EXPECT_EQ(editorLines(), (QStringList{"A ; http://a/", "B ; http://b/"}));
}

// Nothing is written to the current folder, which may be any folder, or none: here it was removed.
TEST_F(StationUpdateTest, TheUpdateWorksWhateverTheCurrentFolder) {
    h.player.editor.openStationEditor();
    s.editor.appendChoice = false;
    serverFile = "C\r\nhttp://c/\r\n";
    ASSERT_TRUE(QDir(folder.path()).removeRecursively());
    update();
    EXPECT_EQ(editorLines(), QStringList{QStringLiteral("C ; http://c/")});
}

TEST_F(StationUpdateTest, FailedUpdateSaysSoAndLeavesTheText) {
    h.player.editor.openStationEditor();
    serverFails = true;
    update();
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("Problem beim Update der Senderliste"));
    EXPECT_EQ(editorLines(), (QStringList{"A ; http://a/", "B ; http://b/"}));
}

TEST_F(StationUpdateTest, AddingPlaylistEntriesKeepsOnlyTheLastUnsavedOne) {
    s.update.entries.append({QStringLiteral("Erster"), QStringLiteral("http://erster/")});
    s.update.entries.append({QStringLiteral("Zweiter"), QStringLiteral("http://zweiter/live.m3u")});
    s.editor.entryPanelVisible = true;
    s.update.entries.setSelected(0);
    h.player.update.addEntryAsStation();
    s.update.entries.setSelected(1);
    h.player.update.addEntryAsStation();
    EXPECT_EQ(editorLines(),
              (QStringList{"A ; http://a/", "B ; http://b/", "Zweiter ; http://zweiter/live.m3u"}));
    EXPECT_TRUE(s.editor.entryPanelVisible.get());
    EXPECT_TRUE(s.editor.panelVisible.get());

    // Nothing selected: the editor opens without an addition.
    s.update.entries.setSelected(-1);
    h.player.update.addEntryAsStation();
    EXPECT_EQ(editorLines().size(), 2);

    h.player.update.closeEntryPanel();
    EXPECT_FALSE(s.editor.entryPanelVisible.get());
}

TEST_F(StationUpdateTest, PlayingAPlaylistEntryShowsItsUrlAsTheStation) {
    s.update.entries.append({QStringLiteral("Liste"), QStringLiteral("http://zweiter/live.m3u")});
    h.player.update.playSelectedEntry();
    EXPECT_FALSE(h.audioEngine.called("openUrl"));

    s.update.entries.setSelected(0);
    h.player.update.playSelectedEntry();
    // No playlist fetch on this path: the URL goes to the engine as it is.
    EXPECT_EQ(h.audioEngine.count("openUrl(http://zweiter/live.m3u)"), 1);
    EXPECT_FALSE(h.player.radio.playlistDownload.isDownloading());
    EXPECT_EQ(s.radio.stationName, QStringLiteral("http://zweiter/live.m3u"));
    EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("  > http://zweiter/live.m3u"));
}

TEST_F(StationUpdateTest, StationLinesAreWrittenBackInTheEncodingTheyWereReadIn) {
    // A list from another system in Latin-1 beside a UTF-8 one, and a Latin-1 list from the server.
    const QByteArray latin1 = "Radio K\xf6ln\r\nhttp://k\xf6ln/\r\n";
    const QByteArray utf8 = "Radio M\xc3\xbcnchen\r\nhttp://m/\r\n";
    QFile file(sndPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(latin1 + utf8);
    file.close();
    s.radio.stations.clear();
    readStations(sndPath(), s.radio.stations);
    EXPECT_EQ(displayText(s.radio.stations.name(0)), QString::fromLatin1("Radio K\xf6ln"));

    h.player.editor.openStationEditor();
    serverFile = "Z\xfcrich\r\nhttp://z/\r\n";
    update();
    // A line typed in the editor is UTF-8.
    QStringList lines = editorLines();
    lines << QString::fromUtf8("Neu \xc3\xa4 ; http://n/");
    s.editor.text = lines;
    save();
    EXPECT_EQ(readBytes(sndPath()), latin1 + utf8 +
                                        "---------------\r\n---------------\r\nZ\xfcrich\r\nhttp://z/\r\n" +
                                        "Neu \xc3\xa4\r\nhttp://n/\r\n");
}

} // namespace
