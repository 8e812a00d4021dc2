#pragma once
// A window into the running program for system tests, inert unless asked for.
//
// When the environment variable MP3ZX_TEST_STATE names a file, the program checks its state every
// 100 ms (or as many milliseconds as MP3ZX_TEST_STATE_MS says, for tests that time the window's
// answers) and, when anything changed, rewrites that file whole (a temporary file renamed over it, so
// a reader never sees half a file). Without the variable no timer and no file exist. The file holds
// "key=value" lines, CR LF, in this order:
//
//     playMode=<0 song, 1 idle, 2 radio, 3 ending preview>
//     radioMode=<0|1>
//     titleStrip=<the title label's text>
//     streamURL=<the stream the radio plays or last played>
//     currentIndex=<the song-list row last started>
//     fileActive=<the engine's activity of the song stream: 0 stopped, 1 playing, 2 stalled, 3 paused>
//     filePosition=<its position in bytes; -1 without a stream>
//     radioActive=<the same for the radio stream>
//     radioPosition=<its position in bytes>
//     playButton=<START|STOP: the play button's picture>
//     songSelected=<the song list's selected row, -1 for none>
//     stationSelected=<the station list's selected row, -1 for none>
//     currentLoudness=<the loudness value the output volume is computed with>
//     volume=<the output volume the engine was last given, 0..100>
//     volumeBar=<the volume bar's position, 20..100>
//     levellingBox=<0|1: the levelling check box>
//     currentFolder=<the folder chosen in the folder tree>
//     fileListings=<how many listings of the file list have ended>
//     file=<caption>         one line per file-list entry, in list order
//     song=<path>            one line per song-list row, in list order
//     loudness=<x|30|value>  one line per song-list row: its loudness entry
//     entry=<title>\t<url>   one line per playlist entry
//
// Tests poll the file and wait, with a time-out, for the lines they expect.

#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>

class AudioEngine;
class ChannelControl;
class FileBrowser;
class RadioPlayback;
class SongListEditor;
class StationUpdate;
class VolumeControl;

class TestProbe {
public:
    // The parts of the player whose state the file shows.
    struct Parts {
        AudioEngine& audioEngine;
        ChannelControl& channel;
        RadioPlayback& radio;
        SongListEditor& songList;
        VolumeControl& volume;
        FileBrowser& browser;
        StationUpdate& update;
    };

    // The probe MP3ZX_TEST_STATE asks for, or none.
    static std::unique_ptr<TestProbe> fromEnvironment(const Parts& parts);

    TestProbe(const Parts& parts, const QString& file, int intervalMs = 100);

    QStringList stateLines() const;
    // Rewrites the file when the state differs from what it holds.
    void writeIfChanged();

private:
    Parts parts_;
    QString file_;
    QStringList written_;
    int fileListings_ = 0;
    QTimer timer_;
};
