#pragma once
// The settings file mp3.ini beside the program: lines identified by their number only: the folder, the
// tree's top node, the volume, levelling, the window's left and top, the station, the mode, the
// playlist folder and (only when set) the station list update's address. An empty or missing line
// keeps the default.

#include <QString>
#include <QStringList>

class FileBrowser;
class IDialogs;
class IWindow;
class PlaylistFiles;
class RadioPlayback;
class StationUpdate;
class VolumeControl;
struct StartupState;

// The folder a first start shows: the user's music folder (XDG_MUSIC_DIR) when it exists, else the
// home folder.
QString firstStartFolder();

class Settings {
public:
    Settings(StartupState& startup, VolumeControl& volume, RadioPlayback& radio, PlaylistFiles& playlists,
             StationUpdate& update, FileBrowser& browser, IDialogs& dialogs, IWindow& window)
        : startup_(startup), volume_(volume), radio_(radio), playlists_(playlists), update_(update),
          browser_(browser), dialogs_(dialogs), window_(window) {}

    // Reads and applies the file (creating an empty one when there is none). A line that is no number
    // where one belongs is reported and keeps its default; the lines after it still apply. The folder
    // and the tree's top node are only kept: reading the folders takes time, so the window shows first.
    void readSettings();
    // Opens the folder and the tree's top node the file brought, or on a first start the folder the
    // user's songs most likely are in.
    void restoreFolderTree();
    // Writes the file through a temporary file, so a failure leaves the old one whole.
    void writeSettings();

    QString path() const;

private:
    // The next line into line_; true when it is not empty. Past the end every line is empty.
    bool readSettingsLine();
    // The current line as a number; a bad number is reported and gives nothing.
    bool numberLine(int& value);
    void restoreTreeTop(const QString& text);
    // Selects folder in the tree and lists its files.
    void openFolder(const QString& folder);

    StartupState& startup_;
    VolumeControl& volume_;
    RadioPlayback& radio_;
    PlaylistFiles& playlists_;
    StationUpdate& update_;
    FileBrowser& browser_;
    IDialogs& dialogs_;
    IWindow& window_;
    QStringList lines_;
    int next_ = 0;
    QString line_;
    bool firstStart_ = false;
    QString savedFolder_;
    QString savedTreeTop_;
};
