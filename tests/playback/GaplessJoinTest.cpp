// Two songs cut from one sine play from the song list one after the other: what reaches the sound
// device is that sine again, without a gap and without a click. lame puts its encoder delay before
// each song's audio and pads its end to whole frames; libmpg123's gapless decoding takes both away,
// and the engine starts the second song at the sample where the first one ends. SDL's disk driver
// writes the output (float32 LE stereo, 44100 Hz).

#include "support/BareLoudness.h"
#include "support/EngineHarness.h"
#include "support/Mp3Fixtures.h"
#include "support/PeerProcess.h"
#include "support/ScopedEnv.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <numbers>

namespace {

using namespace std::chrono_literals;

constexpr int rate = 44100;
constexpr double frequency = 441; // 100 frames a period
constexpr double amplitude = 0.5;
// The cut lies at a zero crossing, where the sine is steepest: one sample lost or doubled there
// changes the step by a whole sine step. (A cut at a crest makes lame code a hard edge on both
// sides, whose ringing alone jumps by 0.15 at 128 kbit/s.)
constexpr std::size_t firstFrames = 44100;
constexpr std::size_t secondFrames = 44100;
// lame's coding error on top of the sine's own step: the two songs decoded alone and put together
// step at most 0.0327 against the sine's 0.0314 at 128 kbit/s (0.0348 at 192), so 0.005 holds them
// with room, while a lost sample at the cut adds 0.03.
constexpr double codingTolerance = 0.005;

// The left channel from its first sample above the noise floor to its last.
std::vector<float> soundingLeft(const float* stereo, std::size_t frames) {
    std::size_t first = frames, last = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        if (std::fabs(stereo[2 * i]) <= 0.02f) continue;
        first = std::min(first, i);
        last = i;
    }
    std::vector<float> left;
    for (std::size_t i = first; i <= last && i < frames; ++i)
        left.push_back(stereo[2 * i]);
    return left;
}

TEST(GaplessJoinTest, TwoSongsCutFromOneSineJoinWithoutGapOrClick) {
    if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
    fixtures::TempDir dir;
    const std::string first = dir.file("eins.mp3"), second = dir.file("zwei.mp3");
    std::string error;
    fixtures::Signal part{
        .frequency = frequency, .amplitude = amplitude, .seconds = double(firstFrames) / rate};
    ASSERT_TRUE(fixtures::makeMp3(first, part, {}, &error)) << error;
    part.seconds = double(secondFrames) / rate;
    part.startFrame = firstFrames;
    ASSERT_TRUE(fixtures::makeMp3(second, part, {}, &error)) << error;

    const std::string raw = dir.file("ausgabe.raw");
    {
        ScopedEnv driver("SDL_AUDIODRIVER", "disk");
        ScopedEnv file("SDL_DISKAUDIOFILE", raw);
        EngineHarness h;
        ASSERT_TRUE(h.init()) << "SDL's disk driver did not open";
        Player& p = h.player;
        p.volume.volumeBar.setPosition(100); // the output gain 100: the songs as decoded
        p.songList.addSong(QString::fromStdString(first));
        p.songList.addSong(QString::fromStdString(second));
        ASSERT_EQ(p.songList.currentIndex, 0);
        ASSERT_TRUE(waitUntil([&] { return p.songList.currentIndex == 1; }, 10s));
        // The window shows the second song once it is heard.
        const ChannelHandle stream = p.channel.fileStream;
        EXPECT_GT(h.audioEngine.position(stream), 0);
        EXPECT_EQ(p.songList.songs.selected(), 1);
        EXPECT_EQ(p.channel.titleStrip.get(), QStringLiteral("zwei [00:01]"));
        ASSERT_TRUE(waitUntil([&] { return h.audioEngine.state(stream) == ChannelState::Stopped; }, 10s));
        h.audioEngine.closeOutput(); // closes the device and with it the output file
    }

    // Each song decodes to exactly the frames it was cut to: the encoder's delay and padding are gone.
    const bare::Decoded one = bare::decodeWhole(first), two = bare::decodeWhole(second);
    ASSERT_EQ(one.samples.size(), firstFrames * 2);
    ASSERT_EQ(two.samples.size(), secondFrames * 2);
    std::vector<float> joined = one.samples;
    joined.insert(joined.end(), two.samples.begin(), two.samples.end());
    const std::vector<float> expected = soundingLeft(joined.data(), joined.size() / 2);

    // The device got the two songs back to back, sample for sample.
    const std::vector<unsigned char> bytes = fixtures::readFile(raw);
    std::vector<float> output(bytes.size() / sizeof(float));
    std::memcpy(output.data(), bytes.data(), output.size() * sizeof(float));
    const std::vector<float> heard = soundingLeft(output.data(), output.size() / 2);
    ASSERT_EQ(heard.size(), expected.size()) << "frames lost or added";
    float largestStep = 0, largestDifference = 0;
    for (std::size_t i = 0; i < heard.size(); ++i) {
        largestDifference = std::max(largestDifference, std::fabs(heard[i] - expected[i]));
        if (i > 0) largestStep = std::max(largestStep, std::fabs(heard[i] - heard[i - 1]));
    }
    EXPECT_LT(largestDifference, 1e-6f);
    const double sineStep = 2 * amplitude * std::sin(std::numbers::pi * frequency / rate);
    EXPECT_LE(largestStep, sineStep + codingTolerance) << "a click";
}

} // namespace
