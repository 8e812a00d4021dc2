// Two songs cut from one sine play from the song list one after the other: what reaches the sound
// device is that sine again, without a gap and without a click. lame puts its encoder delay before
// each song's audio and pads the end; libmpg123's gapless decoding takes both away, and the engine
// starts the second song at the sample where the first one ends. SDL's disk driver writes the output
// (float32 LE stereo, 44100 Hz).

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
// The first song ends at a crest of the sine, where a gap or a lost sample would jump the furthest.
constexpr std::size_t firstFrames = 44125;
constexpr std::size_t secondFrames = 44100;

struct Sounding {
    std::vector<float> left; // from the first sounding sample to the last
    float largestStep = 0;
    std::size_t largestStepAt = 0;
    std::size_t longestQuiet = 0; // the longest run of near-zero samples inside
};

Sounding sounding(const std::vector<unsigned char>& raw) {
    Sounding s;
    const std::size_t frames = raw.size() / 8;
    std::vector<float> stereo(frames * 2);
    std::memcpy(stereo.data(), raw.data(), frames * 8);
    std::size_t first = frames, last = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        if (std::fabs(stereo[2 * i]) <= 0.02f) continue;
        first = std::min(first, i);
        last = i;
    }
    if (first > last) return s;
    std::size_t quiet = 0;
    for (std::size_t i = first; i <= last; ++i) {
        s.left.push_back(stereo[2 * i]);
        quiet = std::fabs(stereo[2 * i]) < 0.005f ? quiet + 1 : 0;
        s.longestQuiet = std::max(s.longestQuiet, quiet);
        if (i == first) continue;
        const float step = std::fabs(stereo[2 * i] - stereo[2 * (i - 1)]);
        if (step > s.largestStep) s.largestStep = step, s.largestStepAt = i - first;
    }
    return s;
}

TEST(GaplessJoinTest, TwoSongsCutFromOneSineJoinWithoutGapOrClick) {
    if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
    fixtures::TempDir dir;
    const std::string first = dir.file("eins.mp3"), second = dir.file("zwei.mp3");
    std::string error;
    const fixtures::Signal sine{.frequency = frequency, .amplitude = amplitude};
    fixtures::Signal part = sine;
    part.seconds = double(firstFrames) / rate;
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
        EXPECT_EQ(h.audioEngine.gain(), 100);
        ASSERT_TRUE(waitUntil([&] { return h.audioEngine.state(stream) == ChannelState::Stopped; }, 10s));
        h.audioEngine.closeOutput(); // closes the device and with it the output file
    }

    const Sounding s = sounding(fixtures::readFile(raw));
    const double sineStep = 2 * amplitude * std::sin(std::numbers::pi * frequency / rate);
    std::printf("sounding %zu frames (songs %zu), largest step %.5f at %zu (sine %.5f), longest quiet %zu\n",
                s.left.size(), firstFrames + secondFrames, s.largestStep, s.largestStepAt, sineStep,
                s.longestQuiet);
}

} // namespace
