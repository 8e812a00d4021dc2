#pragma once
// Entering, removing, moving and clearing songs, and the song list's pointer gestures and tooltip.

#include "library/SongList.h"
#include "platform/Shown.h"

#include <QString>

class IWindow;
class SongListHost;

// The stored form of a path: a drive-letter form "X:…" gets a lower-case letter; anything else stays.
QString foldDriveLetter(const QString& path);
// The title of a path: its file name without the last four characters.
QString titleOfPath(const QString& path);

// The song list box's outer size and row height.
constexpr int songListWidth = 225;
constexpr int songListHeight = 150;
constexpr int songRowHeight = 13;
// The hint box is this much wider than its text: its frame and margins.
constexpr int hintPadding = 8;

// The tooltip for long song titles, in window coordinates.
struct HintBox {
    bool visible = false;
    QString text;
    int left = 0;
    int top = 0;
    int width = 0;
    bool operator==(const HintBox&) const = default;
};

class SongListEditor {
public:
    SongListEditor(IWindow& window, SongListHost& host) : window_(window), host_(host) {}

    SongList songs;
    // The row of the song that plays (or played last).
    int currentIndex = 0;
    // The row under the pointer, and where a drag began.
    int rowUnderCursor = 0;
    int dragStartRow = 0;
    int dragStartY = 0;
    Shown<HintBox> titleHint;

    // Adds a song unless its path is already listed, then runs the start rule.
    void addSong(const QString& path);
    // When nothing plays (or the radio plays), the last row starts.
    void startNewSong();
    // Removes row rowUnderCursor; playback moves on when it was the song that plays.
    void removeSongUnderCursor();
    // Removes a row whose song cannot be read, without touching playback.
    void removeUnplayable(int row);
    // "leeren": empties the song list (in radio mode the button opens the station list editor).
    void clearButtonClicked();

    // Pointer gestures; x and y relative to the list's client area.
    void onSongListMove(bool leftButtonHeld, int x, int y);
    void onSongListPress(int y);
    void onSongListRelease(int x, int y);
    // The pointer left the song list, or the list or the window went out of sight.
    void hideHint();

private:
    void updateHint(int x, int y);
    // The row whose stored path is path, or -1; stored paths are unique.
    int rowOfPath(const QString& path) const;

    IWindow& window_;
    SongListHost& host_;
};
