// The real program, used the way its user uses it: a window on an X server, clicks and keys from
// xdotool, MP3 files made with lame. Each test is one walk through the program; the checks are what
// the user would see (the title strip, the lists, the play button) and what is left on disk.

#include "DesktopRun.h"
#include "SongFolder.h"
#include "support/Mp3Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

TEST(JourneyTest, AFirstStartOpensAnEmptyWindowAtItsPlaceAndXLeavesNineSettings) {
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
    ASSERT_FALSE(QFileInfo::exists(desk.run().iniPath()));
    ASSERT_TRUE(desk.start());

    EXPECT_EQ(desk.windowPosition(), QPoint(50, 50));
    const ProbeState st = desk.now();
    EXPECT_TRUE(st.values(ascii("song")).isEmpty()) << st.dump();
    EXPECT_TRUE(st.values(ascii("entry")).isEmpty()) << st.dump();
    EXPECT_EQ(st.value(ascii("playMode")), u"1");
    EXPECT_EQ(st.value(ascii("radioMode")), u"0");
    EXPECT_EQ(st.value(ascii("playButton")), u"START");
    // The start found no settings and left an empty file for the end of the run.
    EXPECT_TRUE(QFileInfo::exists(desk.run().iniPath()));
    EXPECT_TRUE(desk.run().iniBytes().isEmpty());

    ASSERT_TRUE(desk.closeWithX()) << "the X button did not close the window";
    const QByteArray bytes = desk.run().iniBytes();
    EXPECT_EQ(bytes.count("\r\n"), 9);
    const QStringList lines = iniLines(desk.run());
    ASSERT_EQ(lines.size(), 9) << bytes.toStdString();
    EXPECT_EQ(lines[3], u"0");  // levelling off
    EXPECT_EQ(lines[4], u"50"); // window left
    EXPECT_EQ(lines[5], u"50"); // window top
    EXPECT_EQ(lines[6], u"-1"); // no station
    EXPECT_EQ(lines[7], u"0");  // MP3 mode
    // The playlist folder starts as the program's own.
    EXPECT_EQ(lines[8], QFileInfo(desk.run().folder()).canonicalFilePath() + u'/');
}

TEST(JourneyTest, AllSongsOfAFolderPlayInOrderAndTheLastStaysSelected) {
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
    SongFolder music;
    const QStringList songs{music.add(ascii("1 Anfang.mp3"), 2.0, 440),
                            music.add(ascii("2 Mitte.mp3"), 2.0, 550),
                            music.add(ascii("3 Ende.mp3"), 2.0, 660)};
    // The last run left the tree on the folder above the music.
    const QString above = QFileInfo(music.path()).path();
    ASSERT_TRUE(desk.writeIni({above}));
    ASSERT_TRUE(desk.start());
    ASSERT_TRUE(desk.waitFor([&](const ProbeState& st) { return st.value(ascii("currentFolder")) == above; }))
        << desk.now().dump();

    // Into the tree with a click on its selected folder, then Right: open it, and into its one subfolder.
    QPoint row;
    ASSERT_TRUE(waitUntil([&] { return !(row = desk.selectedTreeRow()).isNull(); }, 20s))
        << "no folder is shown selected in the tree";
    ASSERT_TRUE(desk.click(row));
    ASSERT_TRUE(desk.key({ascii("Right")}));
    // The tree learns a folder's subfolders in the background: Right again until it has moved in.
    bool inside = false;
    for (int attempt = 0; attempt < 10 && !inside; ++attempt) {
        ASSERT_TRUE(desk.key({ascii("Right")}));
        inside = desk.waitFor(
            [&](const ProbeState& st) { return st.value(ascii("currentFolder")) == music.path(); }, 3s);
    }
    ASSERT_TRUE(inside) << desk.now().dump();
    ASSERT_TRUE(desk.waitFor([](const ProbeState& st) {
        return st.values(ascii("file")) == QStringList{"1 Anfang.mp3", "2 Mitte.mp3", "3 Ende.mp3"};
    })) << "the file list does not show the folder chosen in the tree\n"
        << desk.now().dump();
    EXPECT_TRUE(desk.now().values(ascii("song")).isEmpty()) << "browsing took songs";

    ASSERT_TRUE(desk.click(DesktopRun::addAllButton));
    // Follow the play: which row sounds, and what the title strip says meanwhile.
    QList<int> played;
    QStringList titles;
    const bool ended = desk.waitFor(
        [&](const ProbeState& st) {
            if (st.value(ascii("fileActive")) == u"1" && st.value(ascii("playMode")) == u"0") {
                const int row = int(st.number(ascii("currentIndex")));
                if (played.isEmpty() || played.constLast() != row) {
                    played << row;
                    titles << st.value(ascii("titleStrip"));
                }
            }
            return played.size() == 3 && st.value(ascii("playMode")) == u"1" &&
                   st.value(ascii("fileActive")) == u"0";
        },
        60s);
    ASSERT_TRUE(ended) << desk.now().dump();
    EXPECT_EQ(played, (QList<int>{0, 1, 2}));
    EXPECT_EQ(titles, (QStringList{"1 Anfang [00:02]", "2 Mitte [00:02]", "3 Ende [00:02]"}));

    // After the last song: the list is as it was, its last row selected, the button back at START.
    const ProbeState after = desk.now();
    EXPECT_EQ(after.values(ascii("song")), songs);
    EXPECT_EQ(after.value(ascii("songSelected")), u"2");
    EXPECT_EQ(after.value(ascii("playButton")), u"START");
    EXPECT_EQ(after.value(ascii("currentIndex")), u"2");

    // A song handed over by a second start, while nothing plays, joins the list and plays.
    SongFolder more(ascii("Nachschub"));
    const QString extra = more.add(ascii("4 Zugabe.mp3"), 2.0, 770);
    ProgramRun second(desk.run().runtimeDir(), &desk.x());
    EXPECT_EQ(second.run({extra}, 20000), 0);
    EXPECT_FALSE(QFileInfo::exists(second.iniPath())) << "a second start wrote settings";
    EXPECT_TRUE(desk.waitFor([&](const ProbeState& st) {
        return st.values(ascii("song")) == songs + QStringList{extra} &&
               st.value(ascii("currentIndex")) == u"3" &&
               st.value(ascii("titleStrip")) == u"4 Zugabe [00:02]" &&
               st.value(ascii("playButton")) == u"STOP";
    })) << desk.now().dump();

    ASSERT_TRUE(desk.closeWithX());
    // The folder tree followed the handed-over song.
    const QStringList lines = iniLines(desk.run());
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[0], more.path());
}

// The rightmost minus the leftmost column of dark pixels in the title strip: how wide its text is drawn.
int inkWidthOfTitleStrip(const QImage& screen, QPoint window) {
    const QRect strip = DesktopRun::songStrip.translated(window + QPoint(2, 2));
    int left = -1;
    int right = -1;
    for (int x = strip.left(); x <= strip.right(); ++x)
        for (int y = strip.top(); y <= strip.bottom(); ++y)
            if (qGray(screen.pixel(x, y)) < 96) {
                if (left < 0) left = x;
                right = x;
                break;
            }
    return left < 0 ? 0 : right - left + 1;
}

TEST(JourneyTest, AFileNamedLikeMarkupShowsItsAngleBracketsInTheTitleStrip) {
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
    SongFolder music;
    // Sorted by name, "<" comes before "f": the markup-like name plays first, then the plain one.
    const QString markup = music.add(ascii("<b>fett<b>.mp3"), 6.0);
    const QString plain = music.add(ascii("fett.mp3"), 6.0);
    ASSERT_TRUE(desk.writeIni({music.path()}));
    ASSERT_TRUE(desk.start());
    ASSERT_TRUE(desk.waitFor([](const ProbeState& st) { return st.values(ascii("file")).size() == 2; }));
    ASSERT_TRUE(desk.click(DesktopRun::addAllButton));

    // The strip's drawn width while a title shows; two screenshots that agree, the title still on.
    const auto drawnWidth = [&](const QString& title) {
        int width = 0;
        waitUntil(
            [&] {
                if (desk.now().value(ascii("titleStrip")) != title) return false;
                const int first = inkWidthOfTitleStrip(desk.screenshot(), desk.windowPosition());
                const int second = inkWidthOfTitleStrip(desk.screenshot(), desk.windowPosition());
                width = first;
                return first > 0 && first == second && desk.now().value(ascii("titleStrip")) == title;
            },
            30s);
        return width;
    };
    const int markupWidth = drawnWidth(ascii("<b>fett<b> [00:06]"));
    const int plainWidth = drawnWidth(ascii("fett [00:06]"));
    ASSERT_GT(markupWidth, 0) << desk.now().dump();
    ASSERT_GT(plainWidth, 0) << desk.now().dump();
    // Read as markup, the first title would draw as the second one does ("fett" in bold).
    EXPECT_GT(markupWidth, plainWidth + 15)
        << "markup " << markupWidth << " px, plain " << plainWidth << " px";
    EXPECT_TRUE(desk.run().terminate());
}

// Opens the playlist menu and picks an item by the keyboard (0 "laden", 1 "speichern"), then waits for
// the file dialog and types the path into it.
bool usePlaylistDialog(DesktopRun& desk, int item, const QString& dialogTitle, const QString& file) {
    const int before = desk.visibleWindows();
    if (!desk.click(DesktopRun::playlistButton)) return false;
    if (!waitUntil([&] { return desk.visibleWindows() > before; }, 20s)) return false;
    QStringList keys;
    for (int i = 0; i <= item; ++i)
        keys << ascii("Down");
    keys << ascii("Return");
    if (!desk.key(keys)) return false;
    if (!desk.waitForWindowNamed(dialogTitle)) return false;
    // The file name field has the focus; what it holds is replaced.
    return desk.key({ascii("ctrl+a")}) && desk.type(file) && desk.key({ascii("Return")});
}

TEST(JourneyTest, ASavedPlaylistBringsBackTheSameSongsAfterLeerenAndNamesASongGoneMissing) {
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
    SongFolder music;
    const QStringList songs{music.add(ascii("Alpha.mp3"), 30.0, 440), music.add(ascii("Beta.mp3"), 1.0, 550),
                            music.add(ascii("Gamma.mp3"), 1.0, 660)};
    QTemporaryDir lists;
    const QString listFolder = QFileInfo(lists.path()).canonicalFilePath();
    const QString playlist = listFolder + ascii("/abend.m3u");
    ASSERT_TRUE(desk.writeIni({music.path()}));
    ASSERT_TRUE(desk.start());
    ASSERT_TRUE(desk.waitFor([](const ProbeState& st) { return st.values(ascii("file")).size() == 3; }))
        << desk.now().dump();
    ASSERT_TRUE(desk.click(DesktopRun::addAllButton));
    ASSERT_TRUE(desk.waitFor([&](const ProbeState& st) { return st.values(ascii("song")) == songs; }));

    // Save: one path per line, CR LF, in list order.
    ASSERT_TRUE(usePlaylistDialog(desk, 1, ascii("Save As"), playlist))
        << "the save dialog could not be used";
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(playlist).size() > 0; }, 20s)) << "no playlist written";
    QFile saved(playlist);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), (songs.join(ascii("\r\n")) + ascii("\r\n")).toUtf8());

    // "leeren" empties the list; the playing song goes on.
    ASSERT_TRUE(desk.click(DesktopRun::clearButton));
    ASSERT_TRUE(desk.waitFor([](const ProbeState& st) { return st.values(ascii("song")).isEmpty(); }))
        << desk.now().dump();
    EXPECT_EQ(desk.now().value(ascii("fileActive")), u"1");

    // Load: the same paths in the same order.
    ASSERT_TRUE(usePlaylistDialog(desk, 0, ascii("Open"), playlist)) << "the open dialog could not be used";
    EXPECT_TRUE(desk.waitFor([&](const ProbeState& st) { return st.values(ascii("song")) == songs; }))
        << desk.now().dump();

    // A song gone from the disk: loading again takes the others and says which one is missing, in a
    // message the user confirms.
    ASSERT_TRUE(QFile::remove(songs[2]));
    ASSERT_TRUE(desk.click(DesktopRun::clearButton));
    ASSERT_TRUE(desk.waitFor([](const ProbeState& st) { return st.values(ascii("song")).isEmpty(); }));
    ASSERT_TRUE(usePlaylistDialog(desk, 0, ascii("Open"), playlist));
    ASSERT_TRUE(desk.waitForWindowNamed(ascii("mp3zx"))) << "no message about the missing song";
    EXPECT_TRUE(desk.waitFor([&](const ProbeState& st) {
        return st.values(ascii("song")) == songs.mid(0, 2);
    })) << desk.now().dump();
    ASSERT_TRUE(desk.key({ascii("Return")}));
    EXPECT_TRUE(waitUntil([&] { return desk.visibleWindows() == 1; }, 20s)) << "the message stays open";

    ASSERT_TRUE(desk.closeWithX());
    const QStringList lines = iniLines(desk.run());
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[8], listFolder + u'/') << "the playlist folder is kept for the next run";
}

} // namespace
