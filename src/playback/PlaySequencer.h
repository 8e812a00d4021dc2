#pragma once
// Playing the song list: the selected song, next and previous, the play button, the end-of-song test
// and the position bar.

class Player;

class PlaySequencer {
public:
    explicit PlaySequencer(Player& player) : p_(player) {}

    // Plays the song in the selected row.
    void playsong();
    void nextsong();
    void lastsong();
    void PlayBClick();
    // Stops the playing station as the play button does in radio mode; playMode stays 2.
    void stopStation();
    void vorBClick();
    void rueckBClick();
    // Every 200 ms: the end of a song, the next song, the position bar.
    void trackTimerTimer();

    // Seeking with the position bar.
    void posTBMouseDown();
    void posTBChange();
    void posTBMouseUp();

private:
    void showSong(double seconds);

    Player& p_;
};
