// Queued channels: one starts at the end of the channel it follows and only then, at the gain given
// for the join, and the join is reported; one taken back or freed before that end never starts.
// (What the join sounds like is in tests/playback/GaplessJoinTest.cpp.)

#include "AudioTestSupport.h"
#include "audio/Engine.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace audiotest;
using audio::Engine;

TEST(JoinTest, AQueuedChannelStartsAtTheEndOfTheOneItFollowsAndOnlyThere) {
    REQUIRE_LAME();
    const std::string mp3 = sharedMp3("join.mp3", {.frequency = 500, .seconds = 0.3});
    ASSERT_FALSE(mp3.empty());
    Engine engine;
    ASSERT_TRUE(engine.openOutput(-1, 44100));
    std::mutex mutex;
    std::vector<ChannelHandle> reported;
    engine.setJoinHandler([&](ChannelHandle next) {
        std::lock_guard lock(mutex);
        reported.push_back(next);
    });
    const auto open = [&] { return engine.openFile(mp3, OpenOptions{.autoFree = true}); };
    const ChannelHandle first = open(), next = open(), takenBack = open(), freed = open();
    const ChannelHandle decoding = engine.openFile(mp3, OpenOptions{.decodeOnly = true});
    ASSERT_TRUE(first && next && takenBack && freed && decoding);

    EXPECT_FALSE(engine.queue(first, first, -1));
    EXPECT_FALSE(engine.queue(first, decoding, -1));
    EXPECT_FALSE(engine.queue(first, ChannelHandle(), -1));
    EXPECT_FALSE(engine.queue(first, next, 101));
    ASSERT_TRUE(engine.queue(first, takenBack, -1));
    EXPECT_TRUE(engine.unqueue(takenBack));
    EXPECT_FALSE(engine.unqueue(takenBack));
    ASSERT_TRUE(engine.queue(first, freed, -1));
    engine.release(freed);
    ASSERT_TRUE(engine.queue(first, next, 40));

    ASSERT_TRUE(engine.setGain(100));
    ASSERT_TRUE(engine.play(first, false));
    EXPECT_EQ(engine.state(next), ChannelState::Stopped);
    ASSERT_TRUE(
        waitUntil([&] { return engine.state(next) == ChannelState::Playing; }, std::chrono::seconds(5)));
    EXPECT_EQ(engine.state(first), ChannelState::Stopped);
    EXPECT_EQ(engine.gain(), 40);
    EXPECT_FALSE(engine.unqueue(next)) << "it has started";
    EXPECT_FALSE(engine.queue(first, takenBack, -1)) << "first has ended";
    EXPECT_TRUE(waitUntil([&] {
        std::lock_guard lock(mutex);
        return reported == std::vector<ChannelHandle>{next};
    }));
    ASSERT_TRUE(
        waitUntil([&] { return engine.state(next) == ChannelState::Stopped; }, std::chrono::seconds(5)));
    EXPECT_EQ(engine.state(takenBack), ChannelState::Stopped);
    EXPECT_EQ(engine.position(takenBack), 0);
    engine.setJoinHandler({});
}
