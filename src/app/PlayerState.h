#pragma once
// The player's shared state: the values several operations read and write, what the window shows, and
// the lists behind the list boxes. One instance lives beside the main window; the operations get it by
// reference, so they run and are tested without widgets.

#include "app/RangeValue.h"
#include "app/Shown.h"
#include "audio/AudioEngine.h"
#include "library/FileListModel.h"
#include "library/SongList.h"
#include "radio/PlaylistEntries.h"
#include "radio/StationList.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

// playMode values.
enum PlayModeValue : std::uint8_t {
    PLAYMODE_SONG = 0,    // a song plays
    PLAYMODE_IDLE = 1,    // nothing plays (start, paused, ended, paused for the radio)
    PLAYMODE_RADIO = 2,   // a radio stream was started
    PLAYMODE_PREVIEW = 3, // the ending preview runs
};

// The two pictures of the play button.
enum class PlayPicture { START, STOP };

// The tooltip for long song titles, in window coordinates.
struct HintBox {
    bool visible = false;
    QString text;
    int left = 0;
    int top = 0;
    int width = 0;
    bool operator==(const HintBox&) const = default;
};

// What the window shows besides the lists.
struct DisplayState {
    Shown<QString> versionLabel;
    Shown<QString> titleStrip;
    // The radio's current title in full, without the station name (the desktop's media controls show it).
    Shown<QString> streamTitle;
    Shown<QString> bitrateLabel{QStringLiteral(" - ")};
    // The notification-area icon's tip, as handed over (the icon keeps at most 63 characters).
    Shown<QString> tip;
    Shown<PlayPicture> playButton{PlayPicture::START};
    Shown<QString> radioButton{QStringLiteral("Radio")};
    Shown<QString> clearButton{QStringLiteral("leeren")};
    Shown<bool> stationListVisible{false};
    Shown<bool> radioPanelVisible{false};
    Shown<bool> entryPanelVisible{false};
    Shown<bool> deletePanelVisible{false};
    Shown<QString> deleteFileLabel{QStringLiteral("X")};
    Shown<HintBox> titleHint;
    // The station list editor's text, one station line per entry.
    Shown<QStringList> stationEditorText;
    Shown<QString> windowTitle;
    // The file list is sorted by date (the "Datum" label is the dark one), else by name.
    Shown<bool> sortByDate{false};
    // The editor's merge choice for the update from the server: append, else overwrite.
    Shown<bool> appendChoice{true};
};

struct PlayerState {
    // Play state.
    std::uint8_t playMode = PLAYMODE_IDLE;
    ChannelHandle fileStream;
    // The file the song stream was opened from, as the engine was given it.
    QByteArray fileStreamFile;
    ChannelHandle radioChannel;

    // The song that plays.
    int currentIndex = 0;
    QString songDisplay;
    QString bitrateText;
    // Decoded bytes: a long song at 44.1 kHz stereo passes 4 GiB after 6 h 45 min.
    std::int64_t songLengthBytes = 0;
    int songSeconds = 0;
    std::int64_t previewStartBytes = 0;
    std::int64_t previewRangeBytes = 0;
    int previewReturnPosition = 0;
    bool positionDragging = false;

    // Volume.
    int volumeSetting = 30;
    int currentLoudness = 0;
    int initialVolume = 0;

    // Radio.
    bool radioMode = false;
    QString stationName;
    QString streamURL;
    bool connectionProblem = false;
    int reconnectCount = 0;
    unsigned levelAverage = 0;
    int levelWarmup = 0;

    // Song list gestures.
    int rowUnderCursor = 0;
    int dragStartRow = 0;
    int dragStartY = 0;

    // Hot keys.
    bool hotKeyDoublePress = false;
    int hotKeyPlay = 0;
    int hotKeySofter = 0;
    int hotKeyLouder = 0;

    // Folders and files.
    QString programFolder;
    QString currentFolder;
    QString playlistFolder;
    QString playlistFile;

    // Start-up.
    QString commandArgument;
    QString argumentExtension;
    QStringList commandArguments; // all of them, commandArgument first
    bool endingEarly = false;
    int windowLeft = 50;
    int windowTop = 50;
    bool startInRadio = false;

    // The lists behind the list boxes.
    SongList songs;
    StationList stations;
    PlaylistEntries entries;
    FileListModel fileList; // the file list's folders, entries and selection

    // The two track bars and the levelling check box.
    RangeValue positionBar{0, 1000, 0};
    RangeValue volumeBar{20, 100, 30};
    Shown<bool> levellingBox{false};

    DisplayState display;
};
