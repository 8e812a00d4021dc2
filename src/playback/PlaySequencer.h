#pragma once
// Playing the song list: the selected song, next and previous, the play button, the end-of-song test
// and the position bar.

#include "playback/NextSongQueue.h"

#include <QObject>
#include <QTimer>
#include <optional>

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
    // How long before a song's end the song after it is opened and queued to follow without a gap.
    int queueAheadMs = 4000;
};

class PlaySequencer {
public:
    PlaySequencer(AudioEngine& audioEngine, IWindow& window, MasterMute& mute, ChannelControl& channel,
                  VolumeControl& volume, SongListEditor& songList, RadioLink& radio,
                  SequencerOptions options = {});
    ~PlaySequencer();
    PlaySequencer(const PlaySequencer&) = delete;
    PlaySequencer& operator=(const PlaySequencer&) = delete;

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
    // The engine started the queued song where the last one ended: the window shows it now.
    void onSongJoined();
    // What follows the song that plays may have changed: the song queued to follow it is dropped, or
    // another queued, at once. The song list's changes call it by themselves.
    void reviewNextSong();
    // Seeking with the position bar.
    void onPositionBarPress();
    void onPositionBarChange();
    void onPositionBarRelease();

private:
    // Shows the song that now plays in c.fileStream, from the row currentIndex, and starts following it.
    void beginSong();
    void showSong(double seconds);
    // The position bar follows the song (or the ending preview).
    void showPosition();
    // The row that follows the song that plays when it ends, as playNext picks it, once the end is
    // near; nothing while no song plays on or the next one cannot start at once.
    std::optional<NextSong> wantedNextSong() const;
    bool endIsNear() const;
    // Takes over a queued song the engine has started: true when there was one.
    bool adoptJoinedSong();

    AudioEngine& audioEngine_;
    IWindow& window_;
    MasterMute& mute_;
    ChannelControl& channel_;
    VolumeControl& volume_;
    SongListEditor& songList_;
    RadioLink& radio_;
    const int queueAheadMs_;
    NextSongQueue next_;
    bool adopting_ = false;
    // Receives the song list's changes and the engine's join reports on the window's thread; they end
    // with the sequencer.
    QObject context_;
};
