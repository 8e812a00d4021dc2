#pragma once
// Playing the song list: the selected song, next and previous, the play button, the end-of-song test
// and the position bar.

#include <QTimer>

class AudioEngine;
class ChannelControl;
class IWindow;
class MasterMute;
class RadioLink;
class SongListEditor;
class VolumeControl;

// The intervals of its timers; tests shorten them.
struct SequencerOptions {
    int trackTickMs = 200;
};

class PlaySequencer {
public:
    PlaySequencer(AudioEngine& audioEngine, IWindow& window, MasterMute& mute, ChannelControl& channel,
                  VolumeControl& volume, SongListEditor& songList, RadioLink& radio,
                  SequencerOptions options = {});

    // Follows the song that plays; off at start.
    QTimer trackTimer;

    // Plays the song in the selected row.
    void playSelected();
    void playNext();
    void playPrevious();
    void playButtonClicked();
    void pauseSong();
    void nextButtonClicked();
    void previousButtonClicked();
    // Nothing plays, or the radio does: a song just added to the list may start.
    bool acceptsNewSong() const;
    // Every 200 ms: the end of a song, the next song, the position bar.
    void onTrackTick();
    // Seeking with the position bar.
    void onPositionBarPress();
    void onPositionBarChange();
    void onPositionBarRelease();

private:
    void showSong(double seconds);
    AudioEngine& audioEngine_;
    IWindow& window_;
    MasterMute& mute_;
    ChannelControl& channel_;
    VolumeControl& volume_;
    SongListEditor& songList_;
    RadioLink& radio_;
};
