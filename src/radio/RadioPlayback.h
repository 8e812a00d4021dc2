#pragma once
// Radio mode: switching between the song list and the station list, starting a station, the watchdog
// that reconnects a stream that stopped.
//
// A station starts off the window's thread (its stream opens through the player's StreamOpener, its
// playlist comes from a download), so a server that never answers cannot hold the window. Meanwhile
// the strip says "verbinde..", a station that was playing plays on, and a new choice, leaving radio
// mode or closing the window drops the start in progress.

#include "audio/AudioEngine.h"

#include <QByteArray>
#include <QString>

class Player;

class RadioPlayback {
public:
    explicit RadioPlayback(Player& player) : p_(player) {}

    // Toggles between MP3 and radio mode; entering radio mode with start true plays the selected station.
    void switchMode(bool start);
    void toggleRadioMode();
    // Starts the station selected in the station list.
    void startSelectedStation();
    // Opens streamURL (under the name stationName) and plays it as the radio stream once it opens.
    void playStation();
    // The watchdog: every 3 s (6 s while reconnecting).
    void onWatchdogTick();

    // The station playlist fetched for a station whose URL ends in ".m3u".
    void onPlaylistFetched(const QByteArray& playlist);
    void onPlaylistFetchFailed();

    // A station is starting: its stream is opening or its playlist is being fetched.
    bool isStarting() const;
    // Drops the start in progress: an opening stream is freed when it comes, a fetch is abandoned.
    void cancelStart();

private:
    struct Station {
        QString name;
        QString url;
    };

    // The steps that follow the engine's open, with its result.
    void streamOpened(const Station& station, ChannelHandle stream);
    // The stream can never play (a format no decoder takes): the strip says why, and nobody retries.
    void streamRefused(const QString& refusal);
    // After a start that failed: when a stream still plays, its station is the one named and
    // reconnected again. False when none plays.
    bool backToPlayingStation();
    QString selectedStationName() const;

    Player& p_;
    Station playing_; // the station whose stream radioChannel holds
};
