// The real program used the way a new user meets it: clicks that come as a touchpad tap delivers them
// (press and release together, from xdotool), after the focus was somewhere else; typing in the
// station editor; a saved position on no screen; the first start.

#include "DesktopRun.h"
#include "SongFolder.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// Five files taken by five taps on their rows, each tap after a click into the folder tree: exactly
// those five songs, in that order. Then taps on the song list play the row under the pointer, and only
// the left button does.
TEST(WindowUseTest, FastClicksTakeExactlyTheRowUnderThePointer) {
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
    SongFolder music;
    QStringList names;
    for (int i = 1; i <= 7; ++i)
        names << QStringLiteral("%1 Lied.mp3").arg(i);
    for (const QString& name : names)
        ASSERT_FALSE(music.add(name, 30.0).isEmpty());
    ASSERT_TRUE(desk.writeIni({music.path()}));
    ASSERT_TRUE(desk.start());
    ASSERT_TRUE(desk.waitFor([&](const ProbeState& st) { return st.values(ascii("file")) == names; }))
        << desk.now().dump();

    // Where the file list's rows are: Enter in the tree selects the first one.
    QPoint tree;
    ASSERT_TRUE(waitUntil([&] { return !(tree = desk.selectedTreeRow()).isNull(); }, 20s));
    ASSERT_TRUE(desk.click(tree));
    ASSERT_TRUE(desk.key({ascii("Return")}));
    QRect firstRow;
    ASSERT_TRUE(
        waitUntil([&] { return !(firstRow = desk.highlightedRows(DesktopRun::fileList)).isNull(); }, 20s));
    ASSERT_TRUE(desk.now().values(ascii("song")).isEmpty()) << "Enter in the tree took a song";
    const auto fileRow = [&](int row) {
        return QPoint(DesktopRun::fileList.left() + 60, firstRow.center().y() + row * firstRow.height());
    };

    QStringList expected;
    for (int row : {3, 0, 5, 1, 4}) {
        // Into the tree first: its click lists the folder again; the tap comes once that is done.
        const qint64 listings = desk.now().number(ascii("fileListings"));
        ASSERT_TRUE(desk.click(tree));
        ASSERT_TRUE(desk.waitFor([&](const ProbeState& st) {
            return st.number(ascii("fileListings")) > listings && st.values(ascii("file")) == names;
        })) << desk.now().dump();
        ASSERT_TRUE(desk.click(fileRow(row)));
        expected << music.path() + u'/' + names[row];
        EXPECT_TRUE(
            desk.waitFor([&](const ProbeState& st) { return st.values(ascii("song")) == expected; }, 15s))
            << "after the tap on row " << row << ":\n"
            << desk.now().dump();
    }
    // Nothing more arrives late.
    EXPECT_FALSE(desk.waitFor([&](const ProbeState& st) { return st.values(ascii("song")).size() > 5; }, 1s));

    // The song list: a tap after the tree had the focus plays the row under it; a right or middle
    // click plays nothing.
    ASSERT_TRUE(desk.click(tree));
    ASSERT_TRUE(desk.click(DesktopRun::listRow(3)));
    EXPECT_TRUE(desk.waitFor([](const ProbeState& st) {
        return st.value(ascii("currentIndex")) == u"3" && st.value(ascii("songSelected")) == u"3" &&
               st.value(ascii("fileActive")) == u"1";
    })) << desk.now().dump();
    ASSERT_TRUE(desk.click(DesktopRun::listRow(1), 3));
    ASSERT_TRUE(desk.click(DesktopRun::listRow(2), 2));
    EXPECT_FALSE(
        desk.waitFor([](const ProbeState& st) { return st.value(ascii("currentIndex")) != u"3"; }, 2s))
        << desk.now().dump();
    EXPECT_EQ(desk.now().value(ascii("songSelected")), u"3");
    EXPECT_TRUE(desk.run().terminate());
}

// "Neu Sender" typed into the station editor keeps its space; Delete and Ctrl+A edit the text.
TEST(WindowUseTest, TheStationEditorTakesEveryTypedKey) {
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
    ASSERT_TRUE(desk.writeStations({{ascii("Alt"), ascii("http://127.0.0.1:9/alt")}}));
    ASSERT_TRUE(desk.start());
    ASSERT_TRUE(desk.click(DesktopRun::radioButton));
    ASSERT_TRUE(desk.waitFor([](const ProbeState& st) { return st.value(ascii("radioMode")) == u"1"; }));
    ASSERT_TRUE(desk.click(DesktopRun::clearButton)); // "Senderliste" opens the editor
    ASSERT_TRUE(desk.click(DesktopRun::stationEditor));
    // Ctrl+A and Delete empty the text, then the new station is typed.
    ASSERT_TRUE(desk.key({ascii("ctrl+a"), ascii("Delete")}));
    ASSERT_TRUE(desk.type(ascii("Neu Sender ; http://127.0.0.1:9/neu")));
    ASSERT_TRUE(desk.click(DesktopRun::stationEditorSave));
    const QString stations = desk.run().folder() + ascii("mp3.snd");
    EXPECT_TRUE(waitUntil(
        [&] {
            QFile file(stations);
            return file.open(QIODevice::ReadOnly) &&
                   file.readAll() == "Neu Sender\r\nhttp://127.0.0.1:9/neu\r\n";
        },
        20s))
        << "mp3.snd holds something else";
    EXPECT_EQ(desk.now().value(ascii("radioMode")), u"1") << "a typed key worked a control";
    EXPECT_TRUE(desk.run().terminate());
}

// A position saved on a screen since gone: the window comes up on the screen, and that place is what
// the next start finds.
TEST(WindowUseTest, ASavedPositionOnNoScreenBringsTheWindowOntoTheScreen) {
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
    ASSERT_TRUE(desk.writeIni({QString(), QString(), ascii("80"), ascii("0"), ascii("3000"), ascii("60")}));
    ASSERT_TRUE(desk.start());
    EXPECT_EQ(desk.windowPosition(), QPoint(1280 - 844, 60));
    ASSERT_TRUE(desk.closeWithX());
    const QStringList lines = iniLines(desk.run());
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[4], ascii("436"));
    EXPECT_EQ(lines[5], ascii("60"));
}

// The first start opens the user's music folder, listed, instead of a bare "/".
TEST(WindowUseTest, TheFirstStartShowsTheMusicFolder) {
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
    // The program's home is its folder; the user's folders file names the music folder in it.
    const QString home = desk.run().folder();
    SongFolder music(QStringLiteral("Klänge"), home);
    ASSERT_FALSE(music.add(ascii("Erstes.mp3"), 1.0).isEmpty());
    ASSERT_TRUE(QDir().mkpath(music.path() + ascii("/Alben")));
    ASSERT_TRUE(QDir().mkpath(home + ascii("config")));
    QFile dirs(home + ascii("config/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_MUSIC_DIR=\"$HOME/Kl\xc3\xa4nge\"\n");
    dirs.close();

    ASSERT_TRUE(desk.start());
    EXPECT_TRUE(desk.waitFor([&](const ProbeState& st) {
        return st.value(ascii("currentFolder")) == music.path() &&
               st.values(ascii("file")) == QStringList{"Erstes.mp3"};
    })) << desk.now().dump();
    EXPECT_TRUE(waitUntil([&] { return !desk.selectedTreeRow().isNull(); }, 10s))
        << "the music folder is not shown selected";
    EXPECT_TRUE(desk.run().terminate());
}

// Ending the program (a logout sends SIGTERM) while it shows a message: here that no sound output
// could be opened. The message is closed, and the program ends with its settings written.
TEST(WindowUseTest, EndingTheProgramWhileAMessageIsOpenWritesTheSettings) {
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
    SongFolder music;
    ASSERT_TRUE(desk.writeIni({music.path()}));
    desk.run().environment().insert(ascii("SDL_AUDIODRIVER"), ascii("none-here"));
    ASSERT_TRUE(desk.start());
    ASSERT_TRUE(waitUntil([&] { return desk.visibleWindows() > 1; }, 20s)) << "no message";

    EXPECT_TRUE(desk.run().terminate(10000)) << "the program did not end";
    // Only the folder was there before: the program wrote the whole file.
    EXPECT_EQ(iniLines(desk.run()).size(), 9);
}

} // namespace
