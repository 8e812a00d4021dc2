#pragma once
// What the song list asks of the players above it: levelling, starting and stopping songs, and the
// radio that a new song ends. The composition root forwards each call to its owner.

class SongListHost {
public:
    virtual ~SongListHost() = default;
    // New rows wait for their loudness to be measured.
    virtual bool levellingOn() const = 0;
    virtual void measureLoudness(int row) = 0;
    // Nothing plays, or the radio does: a song just added may start.
    virtual bool readyForNewSong() const = 0;
    virtual void leaveRadioMode() = 0;
    virtual void playSelected() = 0;
    virtual void playNext() = 0;
    virtual void stopSong() = 0;
    // A start that waits for a measurement gives up.
    virtual void cancelLevellingWait() = 0;
    // In radio mode the clear button opens the station list editor instead.
    virtual bool openStationEditorInstead() = 0;
};
