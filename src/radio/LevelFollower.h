#pragma once
// Follows a radio stream's level so its loudness value tracks how loud the station is.

#include <cstdint>

class Player;

struct LevelState {
    unsigned levelAverage = 0;
    int levelWarmup = 0;
};

// One tick of the follower for a level word of the engine (left in the low, right in the high 16 bits;
// all bits set on error); returns the new loudness value.
int followLevel(LevelState& state, std::uint32_t levelWord);

class LevelFollower {
public:
    explicit LevelFollower(Player& player) : p_(player) {}
    // Every 100 ms while levelling is on in radio mode.
    void onLevelTick();

private:
    Player& p_;
};
