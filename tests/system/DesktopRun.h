#pragma once
// The real program on an X server of the test's own, driven the way a user drives it: the pointer and
// the keyboard through xdotool (XTEST), the window found by its title. What the program shows is read
// from its state lines (support/ProgramState.h) and, where the pixels matter, from a screenshot.
//
//     DesktopRun desk;
//     if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
//     desk.writeIni({music, "", "80"});
//     ASSERT_TRUE(desk.start());
//     desk.click(DesktopRun::addAllButton);

#include "support/PeerProcess.h"
#include "support/ProgramRun.h"
#include "support/ProgramState.h"
#include "support/XdoTool.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>

class DesktopRun {
public:
    // Controls, as the centre of each in the window's client area (the window has a two-pixel frame).
    static constexpr QPoint exitButton{831, 10};
    static constexpr QPoint playButton{74, 52};
    static constexpr QPoint levellingBox{66, 144};
    static constexpr QPoint playlistButton{213, 204};
    static constexpr QPoint addAllButton{421, 204};
    static constexpr QPoint clearButton{677, 204};
    static constexpr QPoint trayLabel{541, 200};
    static constexpr QPoint radioButton{797, 204};
    // The station editor's text (below its lines) and its "speichern" button, near its column's right
    // edge.
    static constexpr QPoint stationEditor{436, 134};
    static constexpr QPoint stationEditorSave{808, 48};
    // The song list and the station list share their place; rows are 13 pixels high.
    static QPoint listRow(int row) { return {700, 32 + 1 + 13 * row + 8}; }
    // The folder tree and the file list, in client coordinates.
    static constexpr QRect folderTree{160, 32, 220, 150};
    static constexpr QRect fileList{384, 32, 217, 150};
    // The title strip, in client coordinates.
    static constexpr QRect songStrip{152, 0, 641, 20};

    // runtimeDir: shared with another run that is to find this one; empty for a folder of its own.
    explicit DesktopRun(const QString& runtimeDir = QString());

    // What is not installed, as a loud skip message; empty when Xvfb, xdotool, lame and
    // import (for screenshots) are there.
    QString missing() const;

    ProgramRun& run() { return *run_; }
    ProgramState& state() { return *state_; }
    const XServer& x() const { return *x_; }

    // Writes mp3.ini (CR LF after every line) or mp3.snd before the start.
    bool writeIni(const QStringList& lines);
    bool writeStations(const QList<std::pair<QString, QString>>& nameAndUrl);
    // Sound goes to this file (SDL's disk driver: float32 LE, stereo, 44100 Hz) instead of nowhere.
    void recordSoundTo(const QString& rawFile);

    // Starts the program and waits until its window is on the screen.
    bool start(const QStringList& arguments = {}) { return launch(arguments) && findWindow(); }
    // The two halves of start(), for a start that shows a message before the window.
    bool launch(const QStringList& arguments = {});
    bool findWindow();
    // Starts again in the same program folder (mp3.ini and mp3.snd stay), after the last run ended.
    bool restart(const QStringList& arguments = {});
    // The window's top-left corner on the screen, as X reports it.
    QPoint windowPosition() const { return window_; }

    // Closes the window with its "X" button and waits for the program's end.
    bool closeWithX();

    // Pointer and keyboard. Client coordinates are relative to the window's client area.
    bool click(QPoint client, int button = 1);
    bool key(const QStringList& keys);
    bool type(const QString& text);
    // Waits until a visible top-level window whose title begins with this text (a plain word) exists.
    bool waitForWindowNamed(const QString& title,
                            std::chrono::milliseconds timeout = std::chrono::seconds(20));

    // Whether the main window is on the screen (not hidden).
    bool windowShown() const;
    // The number of the program's windows on the screen (main window, menus, dialogs).
    int visibleWindows() const;

    // The screen's pixels, null when no screenshot could be taken.
    QImage screenshot() const;
    // The rows drawn highlighted (selected) in an area of the window, found on a screenshot, in client
    // coordinates; null when none is.
    QRect highlightedRows(QRect area) const;
    // The middle of the folder tree's selected row, in client coordinates; null when none is shown.
    QPoint selectedTreeRow() const;

    // Waits for the state probe (30 s unless given).
    bool waitFor(const std::function<bool(const ProbeState&)>& cond,
                 std::chrono::milliseconds timeout = std::chrono::seconds(30)) const {
        return state_->waitFor(cond, timeout);
    }
    ProbeState now() const { return state_->read(); }

private:
    ToolResult xdotool(const QStringList& args) const;

    std::unique_ptr<XServer> x_;
    std::unique_ptr<XdoTool> xdotool_;
    std::unique_ptr<ProgramRun> run_;
    std::unique_ptr<ProgramState> state_;
    QPoint window_;
};

// A state key or an ASCII text.
inline QString ascii(const char* text) {
    return QString::fromLatin1(text);
}

// mp3.ini's lines without their CR LF.
QStringList iniLines(const ProgramRun& run);
