// What really reaches the sound device, recorded with SDL's "disk" driver (raw stereo float32).

#include "AudioTestSupport.h"
#include "audio/Engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace audiotest;
using audio::Engine;

namespace {

struct Recording {
    std::vector<float> samples; // interleaved stereo
    float peakLeft = 0, peakRight = 0;
    double crossingsPerSecond = 0; // of the left channel, over the part that is not silent
};

// Plays the file to its end at the given gain and returns what the output device received.
Recording record(const std::string& mp3, int gain) {
    fixtures::TempDir dir;
    std::string raw = dir.file("output.raw");
    ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    ScopedEnv file("SDL_DISKAUDIOFILE", raw);
    Recording result;
    {
        Engine engine;
        if (!engine.openOutput(-1, 44100)) return result;
        engine.setGain(gain);
        ChannelHandle h = engine.openFile(mp3, OpenOptions{.autoFree = true});
        if (!engine.play(h, false)) return result;
        waitUntil([&] { return engine.state(h) == ChannelState::Stopped; }, std::chrono::seconds(20));
    } // the device closes and the file is complete
    auto bytes = fixtures::readFile(raw);
    result.samples.resize(bytes.size() / sizeof(float));
    std::memcpy(result.samples.data(), bytes.data(), result.samples.size() * sizeof(float));
    std::size_t first = result.samples.size(), last = 0, crossings = 0;
    for (std::size_t i = 0; i + 1 < result.samples.size(); i += 2) {
        result.peakLeft = std::max(result.peakLeft, std::fabs(result.samples[i]));
        result.peakRight = std::max(result.peakRight, std::fabs(result.samples[i + 1]));
        if (std::fabs(result.samples[i]) > 0.01f) first = std::min(first, i), last = i;
        if (i >= 2 && (result.samples[i - 2] < 0) != (result.samples[i] < 0)) ++crossings;
    }
    if (last > first)
        result.crossingsPerSecond = static_cast<double>(crossings) / ((last - first) / 2.0 / 44100.0);
    return result;
}

} // namespace

// The output gain is linear amplitude: a sine played at gain 50 comes out at half the amplitude of
// gain 100, which itself is the decoded file's own amplitude.
TEST(OutputTest, GainScalesTheAmplitudeThatReachesTheDevice) {
    REQUIRE_LAME();
    std::string mp3 = sharedMp3("output-sine.mp3", {.frequency = 1000, .amplitude = 0.5, .seconds = 1.0});
    ASSERT_FALSE(mp3.empty());
    Reference ref = referenceDecode(mp3, true);
    const float decodedPeak = peak(ref.samples.data(), ref.samples.size());

    Recording full = record(mp3, 100);
    Recording half = record(mp3, 50);
    ASSERT_GT(full.samples.size(), 44100u * 2) << "the disk driver recorded nothing";
    EXPECT_NEAR(full.peakLeft, decodedPeak, 0.01);
    EXPECT_NEAR(full.peakRight, decodedPeak, 0.01);
    EXPECT_NEAR(half.peakLeft / full.peakLeft, 0.5, 0.01);
    EXPECT_NEAR(half.peakRight / full.peakRight, 0.5, 0.01);
    EXPECT_NEAR(full.crossingsPerSecond, 2000.0, 40.0) << "a 1 kHz sine crosses zero 2000 times a second";
}

// A mono 22.05 kHz file is resampled to the output rate (same pitch) and sounds on both channels.
TEST(OutputTest, MonoLowRateFileKeepsItsPitch) {
    REQUIRE_LAME();
    std::string mp3 =
        sharedMp3("output-mono22.mp3",
                  {.frequency = 1000, .amplitude = 0.5, .seconds = 1.0, .sampleRate = 22050, .channels = 1},
                  {.bitrateKbps = 64, .mono = true});
    ASSERT_FALSE(mp3.empty());
    Recording out = record(mp3, 100);
    ASSERT_GT(out.samples.size(), 44100u * 2);
    EXPECT_NEAR(out.crossingsPerSecond, 2000.0, 40.0);
    EXPECT_NEAR(out.peakLeft, 0.48, 0.03);
    EXPECT_NEAR(out.peakRight, out.peakLeft, 0.001);
}

// Nothing reaches the device beyond full scale. A full-scale square decodes with overshoots above
// 1.0: at gain 100 they are cut at 1.0, at gain 50 they pass at half their size, so the limit comes
// after the gain.
TEST(OutputTest, NoSampleLeavesBeyondFullScale) {
    REQUIRE_LAME();
    std::string mp3 = sharedMp3(
        "output-square.mp3",
        {.waveform = fixtures::Waveform::Square, .frequency = 100, .amplitude = 1.0, .seconds = 1.0});
    ASSERT_FALSE(mp3.empty());
    Reference ref = referenceDecode(mp3, true);
    const float decodedPeak = peak(ref.samples.data(), ref.samples.size());
    ASSERT_GT(decodedPeak, 1.05f) << "the fixture must overshoot full scale";

    Recording full = record(mp3, 100);
    ASSERT_GT(full.samples.size(), 44100u * 2) << "the disk driver recorded nothing";
    EXPECT_EQ(peak(full.samples.data(), full.samples.size()), 1.0f);
    Recording half = record(mp3, 50);
    EXPECT_NEAR(std::max(half.peakLeft, half.peakRight), decodedPeak / 2, 0.01);
}
