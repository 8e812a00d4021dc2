#pragma once
// The output volume: computed from the volume bar and the loudness of what plays, so loud and quiet
// songs play at a similar level. Also the levelling choice and the wait of a song start for its
// loudness measurement.

#include "platform/RangeValue.h"
#include "platform/Shown.h"

#include <QTimer>
#include <functional>

class AudioEngine;
class ChannelControl;

// round(1.5 × setting) − round(1.5 × loudness), halves to even, kept within 1..100 (never silent).
int outputVolume(int volumeSetting, int loudness);

// The intervals of its timers; tests shorten them.
struct VolumeOptions {
    int levellingWaitMs = 100;
};

class VolumeControl {
public:
    VolumeControl(AudioEngine& audioEngine, const ChannelControl& channel, VolumeOptions options = {});

    int volumeSetting = 30;
    // The loudness value of what plays: the song's measured one, or the station's followed level.
    int currentLoudness = 0;
    // The engine's gain at start, given back at the end.
    int initialVolume = 0;
    RangeValue volumeBar{20, 100, 30};
    Shown<bool> levellingBox{false};
    // Retries a song start while its loudness is being measured; off at start.
    QTimer levellingWaitTimer;

    // Passes the output volume for the current setting and loudness to the engine.
    void applyVolume();
    // The volume bar moved: the setting follows; it reaches the output at once unless nothing plays.
    void onVolumeBarChange();
    // Two positions down / up on the volume bar.
    void stepVolumeDown();
    void stepVolumeUp();
    // The start to retry on each tick of the levelling wait.
    void setLevellingRetry(std::function<void()> retry) { retry_ = std::move(retry); }
    void onLevellingWaitTick();

private:
    AudioEngine& audioEngine_;
    const ChannelControl& channel_;
    std::function<void()> retry_;
};
