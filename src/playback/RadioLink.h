#pragma once
// What the song sequencer asks of the radio above it: a song and a station never play together, and
// the play button starts and stops the station in radio mode.

class RadioLink {
public:
    virtual ~RadioLink() = default;
    virtual bool inRadioMode() const = 0;
    // A station plays or is being reached (its watchdog runs).
    virtual bool stationWatched() const = 0;
    virtual bool streamPlaying() const = 0;
    // Starts the selected station under its watchdog.
    virtual void startStation() = 0;
    // Stops the station as the play button does in radio mode.
    virtual void stopStation() = 0;
    // Stops the stream alone.
    virtual void stopStream() = 0;
    // Drops the station for a song: the watchdog, a start in progress and the stream.
    virtual void dropStation() = 0;
};
