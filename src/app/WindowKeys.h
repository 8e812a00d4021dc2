#pragma once
// The keys the window handles before the focused control: Space plays and pauses, Delete removes the
// selected song (Shift+Delete offers its file for deletion), Ctrl+A takes all files in, keypad + and -
// step the volume, and Alt held while a song plays previews its end. Also the keys the song list and the
// station list handle themselves, after the window has seen them.

#include <Qt>

class ChannelControl;
class FileBrowser;
class FileDeletion;
class IWindow;
class PlaySequencer;
class RadioPlayback;
class SongListEditor;
class VolumeControl;

class WindowKeys {
public:
    WindowKeys(PlaySequencer& sequencer, ChannelControl& channel, SongListEditor& songList,
               FileDeletion& deletion, FileBrowser& browser, VolumeControl& volume, RadioPlayback& radio,
               IWindow& window)
        : sequencer_(sequencer), channel_(channel), songList_(songList), deletion_(deletion),
          browser_(browser), volume_(volume), radio_(radio), window_(window) {}

    // Returns true when the key is used up, so no control receives it. In a text editor the keys of
    // the table are the editor's text (a station name has blanks in it); only the Alt rule applies.
    bool onWindowKey(int key, Qt::KeyboardModifiers modifiers, bool inTextEditor = false);
    // Releasing any key ends the ending preview.
    void onWindowKeyRelease();

    // Enter plays the selected song, Left goes to the file list, Right plays the next song. Returns
    // true when the key is used up.
    bool onSongListKey(int key);
    // Enter starts the selected station; other keys only move the selection.
    void onStationListKey(int key);

private:
    PlaySequencer& sequencer_;
    ChannelControl& channel_;
    SongListEditor& songList_;
    FileDeletion& deletion_;
    FileBrowser& browser_;
    VolumeControl& volume_;
    RadioPlayback& radio_;
    IWindow& window_;
};
