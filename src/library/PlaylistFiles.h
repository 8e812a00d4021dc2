#pragma once
// Playlist files of the "Playliste" menu: "laden" adds the songs a chosen file names to the song list,
// "speichern" writes the song list's paths to a chosen file, one path per CR LF line.

#include "platform/Dialogs.h"

#include <QPoint>
#include <QString>
#include <QStringList>

class SongListEditor;

// The menu opens 40 pixels left of the button's left edge and 20 pixels below its top; both points in
// screen coordinates of the window's and the button's top-left corner.
QPoint playlistMenuPoint(QPoint windowTopLeft, QPoint buttonTopLeft);

// The dialogs' texts and start values.
FileDialogSpec playlistOpenDialog(const QString& folder, const QString& fileName);
FileDialogSpec playlistSaveDialog(const QString& folder, const QString& fileName);

// The lines of a playlist file that name something: empty lines are left out, a byte 26 ends the text.
// Throws InOutError when the file cannot be read.
QStringList readPlaylistLines(const QString& path);

// Whether a playlist line names a regular file that can be opened for reading.
bool canOpenSong(const QString& path);

// The message that lists the lines naming no file, each followed by a CR.
QString notFoundMessage(const QStringList& missing);

class PlaylistFiles {
public:
    PlaylistFiles(SongListEditor& songList, IDialogs& dialogs) : songList_(songList), dialogs_(dialogs) {}

    // Where the file dialogs open, and the file chosen last.
    QString playlistFolder;
    QString playlistFile;

    // "laden": asks for a playlist and adds every song it names; the lines naming no file are reported
    // together afterwards.
    void loadPlaylist();
    // "speichern": asks for a file name and writes the song list's paths there.
    void savePlaylist();

private:
    // Takes the chosen file as the dialogs' next start.
    void remember(const QString& chosen);

    SongListEditor& songList_;
    IDialogs& dialogs_;
};
