// The radio level follower: how the smoothed level and the loudness value follow the engine's level
// word, and that every tick reaches the output volume.

#include "radio/LevelFollower.h"
#include "support/PlayerHarness.h"

#include <gtest/gtest.h>

namespace {

// A level word whose quotient by 6,000,000 is v (the right channel carries the level).
constexpr std::uint32_t levelOf(unsigned v) {
    return v * 6'000'000u;
}

TEST(LevelFollowerRule, FirstLoudLevelMovesTheAverageByTheFirstWarmUpWeight) {
    LevelState state;
    EXPECT_EQ(followLevel(state, levelOf(150)), 2);
    EXPECT_EQ(state.levelAverage, 15u);
    EXPECT_EQ(state.levelWarmup, 1);

    // Falling at the second tick: 15 * 0.952 + 10 * 0.048 = 14.76.
    EXPECT_EQ(followLevel(state, levelOf(10)), 2);
    EXPECT_EQ(state.levelAverage, 15u);
    EXPECT_EQ(state.levelWarmup, 2);
}

TEST(LevelFollowerRule, SilenceKeepsTheAverageAndTheWarmUp) {
    LevelState state{130, 7};
    // The left channel alone stays below one step of the quotient.
    for (std::uint32_t word : {0u, 32768u, levelOf(1) - 1}) {
        EXPECT_EQ(followLevel(state, word), 20);
        EXPECT_EQ(state.levelAverage, 130u);
        EXPECT_EQ(state.levelWarmup, 7);
    }
}

TEST(LevelFollowerRule, ErrorWordCountsAsTheLoudestLevel) {
    LevelState fromError;
    LevelState fromLoudest;
    const int loudness = followLevel(fromError, 0xFFFFFFFFu);
    EXPECT_EQ(loudness, followLevel(fromLoudest, levelOf(200)));
    // 200 * 0.098 = 19.6
    EXPECT_EQ(fromError.levelAverage, 20u);
    EXPECT_EQ(loudness, 3);
    // The full right channel (32768 << 16) is above the limit too.
    LevelState full;
    followLevel(full, 32768u << 16);
    EXPECT_EQ(full.levelAverage, 20u);
}

TEST(LevelFollowerRule, WarmUpEndsAfterThirtyOneLevelsThenSteadyWeightsApply) {
    LevelState state;
    for (int i = 0; i < 40; ++i) {
        followLevel(state, levelOf(120));
        EXPECT_EQ(state.levelWarmup, std::min(i + 1, 31));
    }

    struct Case {
        unsigned average;
        int warmup;
        unsigned v;
        unsigned expected;
    };
    const Case cases[] = {
        {100, 29, 200, 104}, // w 30, rising: 100 * 0.96 + 200 * 0.04
        {100, 30, 200, 104}, // w 31, rising: 100 * 0.962 + 200 * 0.038 = 103.8
        {100, 31, 200, 102}, // steady rising: 100 * 0.98 + 200 * 0.02
        {200, 31, 10, 198},  // steady falling: 200 * 0.99 + 10 * 0.01 = 198.1
        {200, 30, 10, 196},  // w 31, falling: 200 * 0.981 + 10 * 0.019 = 196.39
    };
    for (const Case& c : cases) {
        LevelState s{c.average, c.warmup};
        followLevel(s, levelOf(c.v));
        EXPECT_EQ(s.levelAverage, c.expected) << c.average << " " << c.warmup << " " << c.v;
        EXPECT_EQ(s.levelWarmup, std::min(c.warmup + 1, 31));
    }
}

TEST(LevelFollowerRule, LevelsFromZeroToTheLimitGiveLoudnessZeroToThirtyOne) {
    LevelState low{3, 31};
    EXPECT_EQ(followLevel(low, 0), 0);
    LevelState high{200, 31};
    EXPECT_EQ(followLevel(high, levelOf(200)), 31);
}

class LevelFollowerTick : public ::testing::Test {
protected:
    void SetUp() override {
        s.volume.volumeSetting = 60;
        s.radio.radioChannel = h.audioEngine.openUrl("http://127.0.0.1/live", OpenOptions{});
        h.audioEngine.play(s.radio.radioChannel, false);
        s.channel.playMode = PlayMode::Radio;
    }
    PlayerHarness h;
    Player& s = h.player;
};

TEST_F(LevelFollowerTick, EveryTickAppliesTheLoudnessEvenWhenTheLevelIsZero) {
    s.radio.levelFollower.levelAverage = 65;
    s.radio.levelFollower.levelWarmup = 5;
    s.volume.currentLoudness = 20;
    h.audioEngine.levelAnswer = ChannelLevel{};
    h.player.radio.levelFollower.onLevelTick();
    EXPECT_EQ(s.radio.levelFollower.levelAverage, 65u);
    EXPECT_EQ(s.radio.levelFollower.levelWarmup, 5);
    EXPECT_EQ(s.volume.currentLoudness, 10);
    // 1.5 * 60 - 1.5 * 10
    ASSERT_FALSE(h.audioEngine.volumesSet.empty());
    EXPECT_EQ(h.audioEngine.volumesSet.back(), 75);

    // A right peak at half scale.
    h.audioEngine.levelAnswer = ChannelLevel{.left = 0, .right = 16384};
    h.player.radio.levelFollower.onLevelTick();
    EXPECT_EQ(s.radio.levelFollower.levelWarmup, 6);
    EXPECT_GT(s.radio.levelFollower.levelAverage, 65u);
}

TEST_F(LevelFollowerTick, AChannelTheEngineNoLongerKnowsReadsAsTheErrorWord) {
    h.audioEngine.closeOutput();
    h.player.radio.levelFollower.onLevelTick();
    EXPECT_EQ(s.radio.levelFollower.levelAverage, 20u);
    EXPECT_EQ(s.volume.currentLoudness, 3);
}

} // namespace
