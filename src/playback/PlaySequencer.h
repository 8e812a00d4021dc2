#pragma once
// Playing the song list: the selected song, next and previous, the play button, the end-of-song test
// and the position bar.

class Player;

class PlaySequencer {
public:
    explicit PlaySequencer(Player& player) : p_(player) {}

    // Plays the song in the selected row.
    void playSelected();
    void playNext();
    void playPrevious();
    void playButtonClicked();
    // Stops the playing station as the play button does in radio mode; playMode stays 2.
    void stopStation();
    void nextButtonClicked();
    void previousButtonClicked();
    // Every 200 ms: the end of a song, the next song, the position bar.
    void onTrackTick();

    // Seeking with the position bar.
    void onPositionBarPress();
    void onPositionBarChange();
    void onPositionBarRelease();

private:
    void showSong(double seconds);

    Player& p_;
};
