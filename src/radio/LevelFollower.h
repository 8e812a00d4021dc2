#pragma once
// Follows a radio stream's level so its loudness value tracks how loud the station is.

#include "audio/AudioEngine.h"

#include <QTimer>
#include <cstdint>

class VolumeControl;

struct LevelState {
    unsigned levelAverage = 0;
    int levelWarmup = 0;
};

// One tick of the follower for a level word of the engine (left in the low, right in the high 16 bits;
// all bits set on error); returns the new loudness value.
int followLevel(LevelState& state, std::uint32_t levelWord);

// The intervals of its timers; tests shorten them.
struct LevelFollowerOptions {
    int levelTickMs = 100;
};

class LevelFollower {
public:
    // channel: the radio stream, wherever it is at each tick.
    LevelFollower(AudioEngine& audioEngine, VolumeControl& volume, const ChannelHandle& channel,
                  LevelFollowerOptions options = {});

    unsigned levelAverage = 0;
    int levelWarmup = 0;
    // Runs while levelling is on in radio mode; off at start.
    QTimer levelTimer;

    // Every 100 ms while levelling is on in radio mode.
    void onLevelTick();

private:
    AudioEngine& audioEngine_;
    VolumeControl& volume_;
    const ChannelHandle& channel_;
};
