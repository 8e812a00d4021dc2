#pragma once
// Reads a PLS or M3U playlist handed to the player from outside: its stream entries go into the
// playlist entries panel and the first one plays as radio; the local MP3 files of an M3U playlist go
// into the song list.

#include <QString>

class IWindow;
class RadioPlayback;
class SongListEditor;
class StationEditor;
class StationUpdate;

enum class PlaylistKind { Pls, M3u };

// The text after the line's first "="; the whole line when it has none.
QString valueAfterEquals(const QString& line);
// The entries' base title: the file name up to its first dot; a name beginning with a dot gives its
// first 10 characters.
QString playlistBaseName(const QString& path);

class PlaylistArgumentReader {
public:
    PlaylistArgumentReader(StationEditor& editor, StationUpdate& update, RadioPlayback& radio,
                           SongListEditor& songList, IWindow& window)
        : editor_(editor), update_(update), radio_(radio), songList_(songList), window_(window) {}

    void read(const QString& path, PlaylistKind kind);

private:
    // The stream entry just added: the first one plays, in radio mode.
    void entryAdded(bool& first);

    StationEditor& editor_;
    StationUpdate& update_;
    RadioPlayback& radio_;
    SongListEditor& songList_;
    IWindow& window_;
};
