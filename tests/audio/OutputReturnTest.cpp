// The engine against a real sound server that goes away: PulseAudio killed while a channel plays and
// started again, and a start while no server runs. What reaches the server is recorded from its sink;
// the songs are tones whose pitch tells the second they come from.

#include "AudioTestSupport.h"
#include "IcyServer.h"
#include "audio/Engine.h"
#include "support/PulseServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sys/resource.h>

using namespace audiotest;
using namespace std::chrono_literals;
using audio::Engine;

namespace {

// 300 Hz in the first second, 50 Hz higher in each second after.
constexpr double kClockBaseHz = 300;
constexpr double kClockStepHz = 50;

double secondOfPitch(double frequency) {
    return (frequency - kClockBaseHz) / kClockStepHz;
}

std::string clockMp3() {
    return sharedMp3("output-return-clock.mp3",
                     {.frequency = kClockBaseHz, .stepHz = kClockStepHz, .amplitude = 0.5, .seconds = 40});
}

int threadCount() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    return -1;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](timeval t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Waits that the units test shorten; the program's own are checked by the system tests.
Engine::Options quickOptions() {
    Engine::Options options;
    options.housekeepingPeriod = 20ms;
    options.outputRetryFirst = 50ms;
    options.outputRetryLongest = 200ms;
    return options;
}

class OutputReturn : public ::testing::Test {
protected:
    void SetUp() override {
        if (const QString missing = PulseServer::missingTools(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        REQUIRE_LAME();
        clock_ = clockMp3();
        ASSERT_FALSE(clock_.empty());
    }

    double seconds(Engine& engine, ChannelHandle h) {
        return engine.seconds(h, engine.position(h));
    }

    // Restarts the server, as after a crash; the channel is heard again, and what it says first.
    double restartAndHearAgain(Engine& engine, ChannelHandle h) {
        EXPECT_TRUE(server_.start()) << server_.diagnostics();
        SinkRecording heard(server_);
        EXPECT_TRUE(waitUntil([&] { return engine.state(h) == ChannelState::Playing; }, 5s));
        EXPECT_TRUE(heard.waitForSound(0.2f, 5s));
        waitUntil([] { return false; }, 300ms); // a window of the new sound alone
        return secondOfPitch(heard.recentFrequency());
    }

    std::string clock_;
    PulseServer server_;
};

} // namespace

TEST_F(OutputReturn, PlayedFileWaitsWhereItWasHeardAndGoesOnWithItsGain) {
    ASSERT_TRUE(server_.start()) << server_.diagnostics();
    PulseClient client(server_);
    Engine engine(quickOptions());
    std::atomic<int> returns{0};
    engine.setOutputReturnHandler([&] { ++returns; });
    ASSERT_TRUE(engine.openOutput(-1, 44100));
    ASSERT_TRUE(engine.setGain(50));
    const ChannelHandle song = engine.openFile(clock_, OpenOptions{.autoFree = true});
    ASSERT_TRUE(engine.play(song, false));
    float peakBefore = 0;
    {
        SinkRecording heard(server_);
        ASSERT_TRUE(heard.waitForSound(0.1f, 5s));
        ASSERT_TRUE(waitUntil([&] { return seconds(engine, song) > 2.0; }, 10s));
        peakBefore = heard.recentPeak(500ms);
    }

    server_.kill();
    ASSERT_TRUE(waitUntil([&] { return engine.state(song) == ChannelState::Stalled; }, 1s))
        << "the lost server is noticed within a second";
    EXPECT_EQ(engine.level(song), (ChannelLevel{0, 0})) << "nothing is heard";
    const double held = seconds(engine, song);
    waitUntil([] { return false; }, 500ms);
    EXPECT_EQ(seconds(engine, song), held) << "the position holds while nothing plays";

    const double heardAgain = restartAndHearAgain(engine, song);
    EXPECT_NEAR(heardAgain, held, 1.0) << "goes on where it was last heard, and only once";
    SinkRecording heard(server_);
    ASSERT_TRUE(heard.waitForSound(0.1f, 5s));
    waitUntil([] { return false; }, 500ms);
    EXPECT_NEAR(heard.recentPeak(500ms), peakBefore, 0.03) << "the gain survives";
    EXPECT_EQ(engine.gain(), 50u);
    EXPECT_EQ(returns.load(), 1);
}

// A station goes on from what it sends now, not from what it sent before the server went away.
TEST_F(OutputReturn, LiveStreamGoesOnFromTheLiveEdge) {
    IcyServer station(clock_, {.metaIntervalHeader = "-"});
    ASSERT_TRUE(server_.start()) << server_.diagnostics();
    PulseClient client(server_);
    Engine engine(quickOptions());
    ASSERT_TRUE(engine.openOutput(-1, 44100));
    const ChannelHandle radio =
        engine.openUrl(station.url(), OpenOptions{});
    ASSERT_TRUE(radio);
    ASSERT_TRUE(engine.play(radio, false));
    double before = 0;
    {
        SinkRecording heard(server_);
        ASSERT_TRUE(heard.waitForSound(0.2f, 5s));
        waitUntil([] { return false; }, 1s);
        before = secondOfPitch(heard.recentFrequency());
    }
    const auto lost = std::chrono::steady_clock::now();
    server_.kill();
    waitUntil([] { return false; }, 2500ms);
    const double after = restartAndHearAgain(engine, radio);
    const std::chrono::duration<double> away = std::chrono::steady_clock::now() - lost;
    // Before the loss it played somewhat behind the live edge (what the server sent ahead); after it, at
    // the edge: never less far on than the time it was away.
    EXPECT_GT(after - before, away.count() - 1.0) << "what was buffered before the loss is not played";
}

// Play asked for while no device can be opened waits (stalled, at its start) and opens the output
// the moment it is asked again once a server is there; the background retry is not what found it.
TEST_F(OutputReturn, PlayOpensTheOutputAtOnceOnceAServerIsThere) {
    PulseClient client(server_);
    Engine::Options options = quickOptions();
    options.outputRetryFirst = options.outputRetryLongest = 60s;
    Engine engine(options);
    std::atomic<int> returns{0};
    engine.setOutputReturnHandler([&] { ++returns; });
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(engine.openOutput(-1, 44100)) << "no server, no card";
    const ChannelHandle song = engine.openFile(clock_, OpenOptions{.autoFree = true});
    ASSERT_TRUE(song);
    EXPECT_TRUE(engine.play(song, false));
    EXPECT_EQ(engine.state(song), ChannelState::Stalled);
    // The player says it once; ALSA's complaints about the missing card would come at every try.
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

    ASSERT_TRUE(server_.start()) << server_.diagnostics();
    SinkRecording heard(server_);
    EXPECT_TRUE(engine.play(song, false));
    EXPECT_EQ(engine.state(song), ChannelState::Playing);
    ASSERT_TRUE(heard.waitForSound(0.2f, 5s));
    waitUntil([] { return false; }, 300ms);
    EXPECT_NEAR(secondOfPitch(heard.recentFrequency()), 0.5, 0.6) << "from the start";
    EXPECT_EQ(returns.load(), 1);
}

// While the server is away the engine keeps trying, without a busy loop and without a thread per try,
// and finds it again by itself.
TEST_F(OutputReturn, RetriesCostNoCpuAndLeaveNoThreads) {
    ASSERT_TRUE(server_.start()) << server_.diagnostics();
    PulseClient client(server_);
    Engine::Options options = quickOptions();
    options.outputRetryFirst = 10ms;
    options.outputRetryLongest = 40ms;
    Engine engine(options);
    ASSERT_TRUE(engine.openOutput(-1, 44100));
    const ChannelHandle song = engine.openFile(clock_, OpenOptions{.autoFree = true});
    ASSERT_TRUE(engine.play(song, false));
    ASSERT_TRUE(waitUntil([&] { return seconds(engine, song) > 0.5; }, 10s));
    const int threads = threadCount();

    server_.kill();
    ASSERT_TRUE(waitUntil([&] { return engine.state(song) == ChannelState::Stalled; }, 1s));
    const double cpuBefore = cpuSeconds();
    waitUntil([] { return false; }, 2s); // some fifty tries
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.2) << "CPU seconds spent in 2 s of waiting";
    EXPECT_LE(threadCount(), threads);

    ASSERT_TRUE(server_.start()) << server_.diagnostics();
    ASSERT_TRUE(waitUntil([&] { return engine.state(song) == ChannelState::Playing; }, 2s));
    EXPECT_EQ(threadCount(), threads);
}
