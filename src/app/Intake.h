#pragma once
// Paths handed to the player from outside (its command line, a second start, the desktop's media
// controls) enter here: an MP3 file goes into the song list, a PLS or M3U playlist to the playlist
// reader, anything else is ignored.

#include <QString>

class FileBrowser;
class PlaylistArgumentReader;
class SongListEditor;

// The canonical absolute form of a path (links and ".." resolved where it exists), upper-cased, so two
// spellings of one folder compare equal.
QString canonicalUpperPath(const QString& path);

// The user's temporary folder: TEMP, else TMPDIR, else /tmp.
QString temporaryFolder();

class Intake {
public:
    Intake(FileBrowser& browser, SongListEditor& songList, PlaylistArgumentReader& playlistReader)
        : browser_(browser), songList_(songList), playlistReader_(playlistReader) {}

    // The hidden edit box that takes paths from outside: a text that differs from the one it holds is
    // taken in, so the same path handed over twice in a row is taken once.
    const QString& text() const { return text_; }
    void setText(const QString& text);

private:
    void takeIn(const QString& path);

    FileBrowser& browser_;
    SongListEditor& songList_;
    PlaylistArgumentReader& playlistReader_;
    // Empty at start, so the first hand-over of any real path differs and is taken in.
    QString text_;
};
