#include "radio/LevelFollower.h"

#include "playback/VolumeControl.h"

#include <algorithm>
#include <cmath>

namespace {

// Rounds half to even in extended precision.
unsigned roundEven(long double x) {
    return static_cast<unsigned>(std::llrint(x));
}

// The follower's scale is the level as one word, the right peak in the high 16 bits; a channel that
// does not play reads as all bits set.
std::uint32_t levelWord(const std::optional<ChannelLevel>& level) {
    if (!level) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(level->right) << 16 | static_cast<std::uint32_t>(level->left);
}

} // namespace

int followLevel(LevelState& state, std::uint32_t levelWord) {
    unsigned v = levelWord / 6000000u;
    if (v != 0) {
        v = std::min(v, 200u);
        const long double average = state.levelAverage;
        const bool rising = v > state.levelAverage;
        long double oldWeight = 0;
        long double newWeight = 0;
        if (state.levelWarmup <= 30) {
            // Warm-up: the average follows quickly at first and settles over 31 ticks.
            const long double w = ++state.levelWarmup;
            oldWeight = rising ? 0.9L + 0.002L * w : 0.95L + 0.001L * w;
            newWeight = rising ? 0.1L - 0.002L * w : 0.05L - 0.001L * w;
        } else {
            oldWeight = rising ? 0.98L : 0.99L;
            newWeight = rising ? 0.02L : 0.01L;
        }
        state.levelAverage = roundEven(average * oldWeight + v * newWeight);
    }
    return static_cast<int>(roundEven(state.levelAverage / 6.5L));
}

LevelFollower::LevelFollower(AudioEngine& audioEngine, VolumeControl& volume, const ChannelHandle& channel,
                             LevelFollowerOptions options)
    : audioEngine_(audioEngine), volume_(volume), channel_(channel) {
    levelTimer.setInterval(options.levelTickMs);
}

void LevelFollower::onLevelTick() {
    LevelState level{levelAverage, levelWarmup};
    volume_.currentLoudness = followLevel(level, levelWord(audioEngine_.level(channel_)));
    levelAverage = level.levelAverage;
    levelWarmup = level.levelWarmup;
    volume_.applyVolume();
}
