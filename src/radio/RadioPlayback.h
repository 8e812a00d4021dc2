#pragma once
// Radio mode: switching between the song list and the station list, starting a station, the watchdog
// that reconnects a stream that stopped.

#include <QString>

class Player;

class RadioPlayback {
public:
    explicit RadioPlayback(Player& player) : p_(player) {}

    // Toggles between MP3 and radio mode; entering radio mode with start true plays the selected station.
    void MP3_Radio_umschalten(bool start);
    void dasRadioBClick();
    // Starts the station selected in the station list.
    void radiosenderLBClick();
    // Opens streamURL and plays it as the radio stream.
    void radio_play();
    // The watchdog: every 3 s (6 s while reconnecting).
    void radioTTimer();

    // The station playlist fetched for a station whose URL ends in ".m3u".
    void HTTPGet1DoneFile();
    void HTTPGet1Error();

private:
    QString selectedStationName() const;

    Player& p_;
};
