#pragma once
// The output volume: computed from the volume bar and the loudness of what plays, so loud and quiet
// songs play at a similar level.

class Player;

// round(1.5 × setting) − round(1.5 × loudness), halves to even, kept within 1..100 (never silent).
int outputVolume(int volumeSetting, int loudness);

class VolumeControl {
public:
    explicit VolumeControl(Player& player) : p_(player) {}

    // Passes the output volume for the current setting and loudness to the engine.
    void applyVolume();
    // The volume bar moved: the setting follows; it reaches the output at once unless nothing plays.
    void onVolumeBarChange();
    // Two positions down / up on the volume bar.
    void stepVolumeDown();
    void stepVolumeUp();
    // Retries starting the selected song while its loudness is being measured.
    void onLevellingWaitTick();

private:
    Player& p_;
};
