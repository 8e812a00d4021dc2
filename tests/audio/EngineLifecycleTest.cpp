// Initialisation, release and the calls that must fail quietly: no device, handle 0, freed handles.

#include "AudioTestSupport.h"
#include "audio/Engine.h"
#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace audiotest;
using audio::Engine;

namespace {

std::size_t openFileCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

std::string someMp3() {
    return sharedMp3("lifecycle.mp3",
                     {.waveform = fixtures::Waveform::Sine, .frequency = 500, .seconds = 2.0});
}

// Every call with the given handle must fail with its documented error value and change nothing.
void expectEveryCallFailsQuietly(Engine& engine, ChannelHandle handle) {
    char buffer[64] = {};
    EXPECT_FALSE(engine.play(handle, false));
    EXPECT_FALSE(engine.play(handle, true));
    EXPECT_FALSE(engine.pause(handle));
    EXPECT_FALSE(engine.stop(handle));
    EXPECT_EQ(engine.state(handle), ChannelState::Stopped);
    EXPECT_EQ(engine.length(handle), -1);
    EXPECT_EQ(engine.position(handle), -1);
    EXPECT_FALSE(engine.seek(handle, 0));
    EXPECT_LT(engine.seconds(handle, 1000), 0.0);
    EXPECT_EQ(engine.read(handle, buffer, sizeof buffer), -1);
    EXPECT_FALSE(engine.level(handle));
    EXPECT_FALSE(engine.metadata(handle));
    EXPECT_FALSE(engine.onMetadata(handle, [](const std::string&) {}));
    EXPECT_EQ(engine.downloadedBytes(handle), -1);
    EXPECT_FALSE(engine.release(handle));
}

} // namespace

TEST(EngineLifecycle, VersionInitAndVolume) {
    Engine engine;
    EXPECT_EQ(engine.version() >> 16, 0x0203u);
    EXPECT_EQ(engine.gain(), -1) << "before openOutput";
    EXPECT_FALSE(engine.setGain(50));
    ASSERT_TRUE(engine.openOutput(-1, 44100));
    EXPECT_FALSE(engine.openOutput(-1, 44100)) << "already initialised";
    EXPECT_EQ(engine.gain(), 100);
    EXPECT_TRUE(engine.setGain(37));
    EXPECT_EQ(engine.gain(), 37);
    EXPECT_FALSE(engine.setGain(101));
    EXPECT_EQ(engine.gain(), 37);
    // The gain belongs to the engine, not to one initialisation: a restart of the output keeps it.
    EXPECT_TRUE(engine.closeOutput());
    EXPECT_FALSE(engine.closeOutput()) << "already freed";
    ASSERT_TRUE(engine.openOutput(-1, 44100));
    EXPECT_EQ(engine.gain(), 37);
}

// Without a sound device openOutput fails and the engine runs on: streams open, a played one waits at
// its start (stalled, silent) for a device, a decoding one reads as always. An unknown device number
// starts nothing.
TEST(EngineLifecycle, NoOutputDevice) {
    REQUIRE_LAME();
    std::string mp3 = someMp3();
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    Engine engine;
    EXPECT_FALSE(engine.openOutput(7, 44100));
    EXPECT_EQ(engine.gain(), -1);
    expectEveryCallFailsQuietly(engine, ChannelHandle(1));

    EXPECT_FALSE(engine.openOutput(-1, 44100));
    EXPECT_EQ(engine.gain(), 100);
    EXPECT_TRUE(engine.setGain(50));
    ChannelHandle played = engine.openFile(mp3, OpenOptions{.autoFree = true});
    ASSERT_TRUE(played);
    EXPECT_TRUE(engine.play(played, false));
    EXPECT_EQ(engine.state(played), ChannelState::Stalled);
    EXPECT_EQ(engine.level(played), (ChannelLevel{0, 0}));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(engine.position(played), 0);
    ChannelHandle decoding = engine.openFile(mp3, OpenOptions{.decodeOnly = true});
    char buffer[4096];
    EXPECT_EQ(engine.read(decoding, buffer, sizeof buffer), std::int64_t(sizeof buffer));
    EXPECT_FALSE(engine.openUrl("http://127.0.0.1:9/", OpenOptions{}));
    EXPECT_TRUE(engine.stopOutput());
    EXPECT_TRUE(engine.closeOutput());
    expectEveryCallFailsQuietly(engine, played);
    expectEveryCallFailsQuietly(engine, decoding);
}

TEST(EngineLifecycle, ZeroUnknownAndFreedHandlesFailQuietly) {
    REQUIRE_LAME();
    Engine engine;
    ASSERT_TRUE(engine.openOutput(-1, 44100));
    expectEveryCallFailsQuietly(engine, ChannelHandle());
    expectEveryCallFailsQuietly(engine, ChannelHandle(0xdeadbeef));
    std::string mp3 = someMp3();
    ChannelHandle played = engine.openFile(mp3, OpenOptions{});
    ChannelHandle decoded = engine.openFile(mp3, OpenOptions{.decodeOnly = true});
    ASSERT_TRUE(played);
    ASSERT_TRUE(decoded);
    EXPECT_NE(played, decoded);
    ASSERT_TRUE(engine.play(played, false));
    EXPECT_TRUE(engine.release(played));
    EXPECT_TRUE(engine.release(decoded));
    expectEveryCallFailsQuietly(engine, played);
    expectEveryCallFailsQuietly(engine, decoded);
    // A decoding stream cannot be played, and a played one cannot be read.
    ChannelHandle again = engine.openFile(mp3, OpenOptions{.decodeOnly = true});
    EXPECT_FALSE(engine.play(again, false));
    ChannelHandle playable = engine.openFile(mp3, OpenOptions{});
    char buffer[16];
    EXPECT_EQ(engine.read(playable, buffer, sizeof buffer), -1);
    EXPECT_NE(again, played) << "handles are not reused";
    EXPECT_NE(playable, played);
}

// closeOutput releases every stream and closes its file; the output can be started again afterwards, as
// the radio's reconnect and the deletion of a playing file do.
TEST(EngineLifecycle, FreeReleasesStreamsAndFiles) {
    REQUIRE_LAME();
    std::string mp3 = someMp3();
    Engine engine;
    ASSERT_TRUE(engine.openOutput(-1, 44100));
    const std::size_t before = openFileCount();
    ChannelHandle paused = engine.openFile(mp3, OpenOptions{.autoFree = true});
    ChannelHandle decoding =
        engine.openFile(mp3, OpenOptions{.offset = 1000, .length = 50000, .decodeOnly = true});
    ASSERT_TRUE(engine.play(paused, false));
    ASSERT_TRUE(engine.pause(paused));
    EXPECT_GT(openFileCount(), before);
    ASSERT_TRUE(engine.stopOutput());
    ASSERT_TRUE(engine.closeOutput());
    EXPECT_EQ(openFileCount(), before);
    expectEveryCallFailsQuietly(engine, paused);
    expectEveryCallFailsQuietly(engine, decoding);

    ASSERT_TRUE(engine.openOutput(-1, 44100));
    ChannelHandle fresh = engine.openFile(mp3, OpenOptions{});
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh, paused);
    ASSERT_TRUE(engine.play(fresh, false));
    EXPECT_EQ(engine.state(fresh), ChannelState::Playing);
    // stopOutput halts the output's clock: channels hold still until one is played again.
    ASSERT_TRUE(engine.stopOutput());
    EXPECT_EQ(engine.state(fresh), ChannelState::Paused);
    ASSERT_TRUE(engine.play(fresh, false));
    EXPECT_EQ(engine.state(fresh), ChannelState::Playing);
}

// A metadata handler may stop or free its own channel, and free the whole engine, from inside the call.
TEST(EngineLifecycle, EngineCallsFromInsideASyncDoNotDeadlock) {
    REQUIRE_LAME();
    // Metadata needs a network stream; a tiny server sends one title.
    std::string mp3 = sharedMp3("sync-radio.mp3", {.seconds = 2.0}, {.infoTag = false});
    std::string audio;
    for (auto byte : fixtures::readFile(mp3))
        audio.push_back(static_cast<char>(byte));
    ASSERT_FALSE(audio.empty());
    while (audio.size() < 16000)
        audio += audio;
    audio.resize(16000);
    LoopbackServer server([&](LoopbackServer::Connection& c) {
        if (!c.readRequestHead()) return;
        c.send(responseHead("ICY 200 OK", {{"Content-Type", "audio/mpeg"}, {"icy-metaint", "16000"}}));
        // One second of audio without a title, then the title once the test has registered its handler.
        c.send(audio + std::string(1, '\0'));
        if (!c.sleepFor(std::chrono::milliseconds(500))) return;
        c.send(audio + std::string(1, '\1') + "StreamTitle='x';" + audio);
        while (c.sleepFor(std::chrono::seconds(1))) {
        }
    });
    Engine engine;
    ASSERT_TRUE(engine.openOutput(-1, 44100));
    std::atomic<int> calls{0};
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(variant);
        ChannelHandle h = engine.openUrl(server.url(), OpenOptions{});
        ASSERT_TRUE(h);
        int before = calls.load();
        const MetadataSubscription subscription = engine.onMetadata(h, [&, variant, h](const std::string&) {
            ++calls;
            if (variant == 0) engine.stop(h);
            if (variant == 1) engine.release(h);
            if (variant == 2) engine.closeOutput();
        });
        engine.play(h, false);
        ASSERT_TRUE(waitUntil([&] { return calls.load() > before; }));
        ASSERT_TRUE(waitUntil([&] { return engine.state(h) == ChannelState::Stopped; }));
    }
}
