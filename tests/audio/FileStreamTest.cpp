// File streams through the real engine: libmpg123 decoding files made with lame, SDL's dummy driver
// playing in real time.

#include "AudioTestSupport.h"
#include "audio/Engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <thread>

using namespace audiotest;
using audio::Engine;
using fixtures::LameOptions;
using fixtures::Signal;
using fixtures::Waveform;

namespace {

// How the player opens its loudness excerpts.
OpenOptions excerpt(std::uint64_t offset = 0, std::uint64_t length = 0) {
    return {.offset = offset,
            .length = length,
            .decodeOnly = true,
            .mono = true,
            .floatSamples = true,
            .prescan = true,
            .autoFree = true};
}

Signal sine(double seconds, double amplitude = 0.5, int rate = 44100, int channels = 2) {
    return {.waveform = Waveform::Sine,
            .frequency = 1000.0,
            .amplitude = amplitude,
            .seconds = seconds,
            .sampleRate = rate,
            .channels = channels};
}

class FileStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
        ASSERT_TRUE(engine.openOutput(-1, 44100)) << "SDL dummy output did not open";
    }

    Engine engine;
};

struct LengthCase {
    const char* name;
    std::string path;
    OpenOptions options;
};

} // namespace

// Lengths must agree with libmpg123's exact scan to within one MPEG frame, in bytes and in seconds,
// and the file position must be the file's size, for every kind of file the player meets.
TEST_F(FileStreamTest, LengthAndSizeMatchTheExactScan) {
    std::string tagged = sharedDir() + "/tagged.mp3";
    {
        std::string plain = sharedMp3("tagged-source.mp3", sine(3.0));
        ASSERT_FALSE(plain.empty());
        std::filesystem::copy_file(plain, tagged, std::filesystem::copy_options::overwrite_existing);
        ASSERT_TRUE(fixtures::prependId3v2(tagged, 1 << 20));
    }
    std::string truncated = sharedDir() + "/truncated.mp3";
    {
        std::string whole = sharedMp3("whole.mp3", sine(4.0));
        std::filesystem::copy_file(whole, truncated, std::filesystem::copy_options::overwrite_existing);
        // Cut in the middle of a frame: the Xing header still announces the whole file.
        ASSERT_TRUE(fixtures::truncateFile(truncated, fixtures::fileSize(whole) / 2 + 100));
    }
    std::vector<LengthCase> cases = {
        {"CBR 128 with Info frame", sharedMp3("cbr.mp3", sine(3.0)), {}},
        {"VBR with Xing header", sharedMp3("vbr.mp3", sine(3.0), {.vbrQuality = 2}), {}},
        {"mono 22.05 kHz",
         sharedMp3("mono22.mp3", sine(2.5, 0.5, 22050, 1), {.bitrateKbps = 64, .mono = true}),
         {}},
        {"1 MiB ID3v2 tag in front", tagged, {}},
        {"CBR without Info frame, prescan",
         sharedMp3("noinfo.mp3", sine(3.0), {.infoTag = false}),
         {.prescan = true}},
        {"truncated, prescan", truncated, {.prescan = true}},
        {"decoding, float, mono",
         sharedMp3("cbr.mp3", sine(3.0)),
         {.decodeOnly = true, .mono = true, .floatSamples = true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.path.empty());
        Reference ref = referenceDecode(c.path, false);
        ASSERT_GT(ref.frames, 0);
        ChannelHandle h = engine.openFile(c.path, c.options);
        ASSERT_TRUE(h);
        const int channels = c.options.mono ? 1 : ref.channels;
        const int bytesPerFrame = channels * (c.options.floatSamples ? 4 : 2);
        const std::int64_t mpegFrame = ref.rate >= 32000 ? 1152 : 576;

        std::int64_t length = engine.length(h);
        ASSERT_NE(length, -1);
        EXPECT_EQ(length % static_cast<std::int64_t>(bytesPerFrame), 0u);
        EXPECT_LE(std::llabs(static_cast<long long>(length / static_cast<std::int64_t>(bytesPerFrame)) -
                             ref.frames),
                  mpegFrame);
        double seconds = engine.seconds(h, length);
        EXPECT_NEAR(seconds, static_cast<double>(ref.frames) / static_cast<double>(ref.rate),
                    static_cast<double>(mpegFrame) / static_cast<double>(ref.rate));
        EXPECT_EQ(engine.downloadedBytes(h), fixtures::fileSize(c.path));
        EXPECT_TRUE(engine.release(h));
    }
}

// Without an Info frame and without prescan the first answer is libmpg123's estimate; the background
// scan makes it exact without anybody asking.
TEST_F(FileStreamTest, LengthBecomesExactOnceTheBackgroundScanEnds) {
    std::string path = sharedMp3("noinfo-long.mp3", sine(20.0), {.infoTag = false});
    ASSERT_FALSE(path.empty());
    Reference ref = referenceDecode(path, false);
    ChannelHandle h = engine.openFile(path, OpenOptions{});
    ASSERT_TRUE(h);
    const std::int64_t exact = static_cast<std::int64_t>(ref.frames) * 4;
    EXPECT_TRUE(waitUntil([&] { return engine.length(h) == exact; })) << engine.length(h) << " != " << exact;
}

TEST_F(FileStreamTest, FilesWithoutAudioDoNotOpen) {
    fixtures::TempDir dir;
    std::string random = dir.file("random.mp3");
    ASSERT_TRUE(fixtures::writeRandomFile(random, 300000, 7));
    std::string empty = dir.file("empty.mp3");
    ASSERT_TRUE(fixtures::writeRandomFile(empty, 0));
    std::string cbr = sharedMp3("cbr.mp3", sine(3.0));

    EXPECT_FALSE(engine.openFile(random, OpenOptions{}));
    EXPECT_FALSE(engine.openFile(random, excerpt()));
    EXPECT_FALSE(engine.openFile(empty, OpenOptions{}));
    EXPECT_FALSE(engine.openFile(dir.file("missing.mp3"), OpenOptions{}));
    EXPECT_FALSE(engine.openFile(dir.path(), OpenOptions{})) << "a folder";
    EXPECT_FALSE(engine.openFile(cbr, OpenOptions{.offset = fixtures::fileSize(cbr)}))
        << "range beyond the end";
    EXPECT_FALSE(engine.openFile("", OpenOptions{})) << "no path";
}

// The loudness measurement's excerpts: a decoding stream over 100000 bytes from a plain byte offset
// delivers mono float samples from the first frame found in the range, as loud as the file is there.
// (The first frames after an arbitrary offset lack their bit reservoir and come out silent.)
TEST_F(FileStreamTest, DecodeExcerptDeliversMonoFloatFromTheMiddle) {
    std::string path = sharedMp3("sine8.mp3", sine(8.0, 0.5));
    ASSERT_FALSE(path.empty());
    Reference ref = referenceDecode(path, true);
    auto loudness = [](const float* samples, std::size_t count) {
        double sum = 0.0;
        std::size_t loud = 0;
        for (std::size_t i = 0; i < count; ++i)
            if (std::fabs(samples[i]) > 0.2f) sum += std::fabs(samples[i]), ++loud;
        return loud == 0 ? 0.0 : sum / static_cast<double>(loud);
    };
    std::vector<float> middle;
    for (std::size_t i = 100000; i < 112500; ++i)
        middle.push_back(ref.samples[2 * i]);
    const double expected = loudness(middle.data(), middle.size());

    const std::int64_t size = fixtures::fileSize(path);
    std::vector<float> buffer(12500 + 16, 123.0f);
    for (std::int64_t k = 1; k <= 4; ++k) {
        SCOPED_TRACE(k);
        ChannelHandle h = engine.openFile(path, excerpt(k * (size / 5), 100000));
        ASSERT_TRUE(h);
        std::int64_t got = engine.read(h, buffer.data(), 50000);
        EXPECT_EQ(got, 50000);
        EXPECT_NEAR(loudness(buffer.data(), got / 4), expected, 0.02 * expected);
        EXPECT_EQ(buffer[12500], 123.0f) << "wrote past the requested length";
        EXPECT_EQ(engine.position(h), 50000);
        engine.release(h);
    }
}

// A decoding channel with prescan gives its exact length when asked, also after part of it was read,
// and the reading goes on where it stood: the same samples, to the exact end.
TEST_F(FileStreamTest, DecodingPrescanIsExactWhenAskedAndLeavesTheReadingWhereItWas) {
    const std::string path = sharedMp3("noinfo.mp3", sine(3.0), {.infoTag = false});
    ASSERT_FALSE(path.empty());
    const Reference ref = referenceDecode(path, true, true);
    ChannelHandle h = engine.openFile(path, excerpt());
    ASSERT_TRUE(h);
    std::vector<float> head(10000);
    ASSERT_EQ(engine.read(h, head.data(), 40000), 40000);
    EXPECT_EQ(engine.length(h), static_cast<std::int64_t>(ref.frames) * sizeof(float));
    EXPECT_EQ(engine.position(h), 40000);

    std::vector<float> rest(static_cast<std::size_t>(ref.frames));
    const std::int64_t got = engine.read(h, rest.data(), rest.size() * sizeof(float));
    ASSERT_EQ(got, (ref.frames - 10000) * 4);
    for (std::size_t i = 0; i < static_cast<std::size_t>(got / 4); i += 997)
        ASSERT_NEAR(rest[i], ref.samples[10000 + i], 1e-6) << "at sample " << 10000 + i;
    engine.release(h);
}

// "Mono" means the mix (L+R)/2: with the right channel inverted the excerpt is silent, where the left
// channel alone would be a full-scale sine.
TEST_F(FileStreamTest, MonoFlagMixesBothChannels) {
    Signal inverted = sine(3.0, 0.5);
    inverted.rightGain = -1.0;
    std::string path = sharedMp3("inverted.mp3", inverted, {.extraArguments = {"-m", "s"}});
    ASSERT_FALSE(path.empty());
    std::vector<float> buffer(12500);
    ChannelHandle h = engine.openFile(path, excerpt(20000, 100000));
    ASSERT_TRUE(h);
    std::int64_t got = engine.read(h, buffer.data(), 50000);
    ASSERT_EQ(got, 50000);
    EXPECT_LT(peak(buffer.data(), got / 4), 0.02f);

    ChannelHandle stereo = engine.openFile(
        path, OpenOptions{.offset = 20000, .length = 100000, .decodeOnly = true, .floatSamples = true});
    std::vector<float> frames(12500 * 2);
    ASSERT_EQ(engine.read(stereo, frames.data(), 100000), 100000);
    EXPECT_GT(peak(frames.data(), frames.size()), 0.4f);
}

// An excerpt that starts inside a large ID3 picture full of false sync words must decode the real
// audio after the tag (libmpg123 needs a seekable, buffered reader for this), and one that lies
// wholly inside the picture must not open.
TEST_F(FileStreamTest, ExcerptsInsideALargeTag) {
    std::string tagged = sharedDir() + "/tagged-excerpt.mp3";
    std::string plain = sharedMp3("tagged-source.mp3", sine(3.0));
    std::filesystem::copy_file(plain, tagged, std::filesystem::copy_options::overwrite_existing);
    const std::size_t tagBytes = 2 << 20;
    ASSERT_TRUE(fixtures::prependId3v2(tagged, tagBytes, 3));

    std::vector<float> buffer(12500);
    ChannelHandle across = engine.openFile(tagged, excerpt(tagBytes - 60000, 100000));
    ASSERT_TRUE(across);
    std::int64_t got = engine.read(across, buffer.data(), 50000);
    ASSERT_GE(got, 0);
    EXPECT_GT(got, 4000);
    EXPECT_NEAR(peak(buffer.data() + 4000, got / 4 - 4000), 0.48, 0.03)
        << "decoded something else than the sine";

    ChannelHandle inside = engine.openFile(tagged, excerpt(tagBytes / 2, 100000));
    if (inside) {
        // A false frame that survives libmpg123's checks may open, but must not pass as loud audio.
        got = engine.read(inside, buffer.data(), 50000);
        if (got >= 0) {
            EXPECT_LT(got, 50000) << "decoded a whole excerpt out of picture data";
        }
    }
}

TEST_F(FileStreamTest, SixteenBitDecodingMatchesFloat) {
    std::string path = sharedMp3("cbr.mp3", sine(3.0));
    ChannelHandle f = engine.openFile(path, OpenOptions{.decodeOnly = true, .floatSamples = true});
    ChannelHandle s = engine.openFile(path, OpenOptions{.decodeOnly = true});
    std::vector<float> floats(4096 * 2);
    std::vector<std::int16_t> shorts(4096 * 2);
    ASSERT_EQ(engine.read(f, floats.data(), 4096 * 8), 4096 * 8);
    ASSERT_EQ(engine.read(s, shorts.data(), 4096 * 4), 4096 * 4);
    for (std::size_t i = 0; i < floats.size(); ++i)
        ASSERT_NEAR(shorts[i] / 32768.0, floats[i], 2.0 / 32768) << i;
    EXPECT_EQ(engine.length(s) * 2, engine.length(f));
}

// A seek lands on the exact sample: what follows a seek is what a straight decode has at that place.
TEST_F(FileStreamTest, SeekIsSampleAccurate) {
    std::string path =
        sharedMp3("noise.mp3", {.waveform = Waveform::Noise, .amplitude = 0.3, .seconds = 6.0});
    ASSERT_FALSE(path.empty());
    Reference ref = referenceDecode(path, true);
    ASSERT_EQ(ref.channels, 2);
    ChannelHandle h = engine.openFile(path, OpenOptions{.decodeOnly = true, .floatSamples = true});
    ASSERT_TRUE(h);
    std::vector<float> got(2048 * 2);
    for (std::int64_t frame : {200000, 3333, 0, 150001, 262000}) {
        SCOPED_TRACE(frame);
        ASSERT_TRUE(engine.seek(h, static_cast<std::int64_t>(frame) * 8 + 5)) << "rounds down";
        EXPECT_EQ(engine.position(h), static_cast<std::int64_t>(frame) * 8);
        ASSERT_EQ(engine.read(h, got.data(), 2048 * 8), 2048 * 8);
        float worst = 0.0f;
        for (std::size_t i = 0; i < got.size(); ++i)
            worst = std::max(worst, std::fabs(got[i] - ref.samples[static_cast<std::size_t>(frame) * 2 + i]));
        EXPECT_LT(worst, 1e-4f);
    }
    EXPECT_FALSE(engine.seek(h, engine.length(h) + 8)) << "past the end";
    // Reading to the end, then once more: the end is an error, not an empty success.
    std::vector<float> rest(1 << 20);
    ASSERT_TRUE(engine.seek(h, engine.length(h) - 800));
    EXPECT_EQ(engine.read(h, rest.data(), 1 << 22), 800);
    EXPECT_EQ(engine.read(h, rest.data(), 1 << 22), -1);
    EXPECT_EQ(engine.state(h), ChannelState::Stopped);
}

TEST_F(FileStreamTest, PlayPauseResumeKeepsThePosition) {
    std::string path = sharedMp3("sine8.mp3", sine(8.0, 0.5));
    ChannelHandle h = engine.openFile(path, OpenOptions{.autoFree = true});
    ASSERT_TRUE(h);
    EXPECT_EQ(engine.state(h), ChannelState::Stopped) << "not started yet";
    EXPECT_EQ(engine.position(h), 0);
    ASSERT_TRUE(engine.play(h, false));
    EXPECT_EQ(engine.state(h), ChannelState::Playing);
    ASSERT_TRUE(waitUntil([&] { return engine.position(h) > 44100; })) << "position does not move";

    ASSERT_TRUE(engine.pause(h));
    EXPECT_EQ(engine.state(h), ChannelState::Paused);
    std::int64_t paused = engine.position(h);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(engine.position(h), paused);
    EXPECT_FALSE(engine.pause(h)) << "already paused";

    ASSERT_TRUE(engine.play(h, false));
    ASSERT_TRUE(waitUntil([&] { return engine.position(h) > paused; }));
    // The heard position never runs ahead of real time by more than the output buffer.
    EXPECT_LT(engine.position(h), paused + 44100 * 4 * 2);

    // While paused, a seek moves the position and the stream stays paused.
    ASSERT_TRUE(engine.pause(h));
    ASSERT_TRUE(engine.seek(h, 6 * 44100 * 4));
    EXPECT_EQ(engine.position(h), 6 * 44100 * 4);
    EXPECT_EQ(engine.state(h), ChannelState::Paused);
    ASSERT_TRUE(engine.play(h, false));
    ASSERT_TRUE(waitUntil([&] { return engine.position(h) > 6 * 44100 * 4; }));
}

// An auto-free stream that plays to its end reports "stopped" and is gone: every later call on its
// handle fails quietly.
TEST_F(FileStreamTest, AutoFreeStreamIsGoneAfterItsEnd) {
    std::string path = sharedMp3("short.mp3", sine(0.6));
    ASSERT_FALSE(path.empty());
    ChannelHandle h = engine.openFile(path, OpenOptions{.autoFree = true});
    ASSERT_TRUE(h);
    ASSERT_TRUE(engine.play(h, false));
    ASSERT_TRUE(waitUntil([&] { return engine.state(h) == ChannelState::Stopped; }));
    EXPECT_EQ(engine.length(h), -1);
    EXPECT_FALSE(engine.play(h, false)) << "the ended stream is gone";
    EXPECT_FALSE(engine.pause(h));
    EXPECT_FALSE(engine.release(h));

    // Without auto-free the stream stays, and playing it again starts it over.
    ChannelHandle kept = engine.openFile(path, OpenOptions{});
    ASSERT_TRUE(engine.play(kept, false));
    ASSERT_TRUE(waitUntil([&] { return engine.state(kept) == ChannelState::Stopped; }));
    EXPECT_NE(engine.length(kept), -1);
    ASSERT_TRUE(engine.play(kept, false));
    EXPECT_EQ(engine.state(kept), ChannelState::Playing);
    EXPECT_TRUE(engine.release(kept));
}

// A paused song and a second stream at another rate play side by side; stopping one leaves the other.
TEST_F(FileStreamTest, SeveralChannelsPlayAtOnce) {
    std::string a = sharedMp3("sine8.mp3", sine(8.0, 0.5));
    std::string b = sharedMp3("mono22.mp3", sine(2.5, 0.5, 22050, 1), {.bitrateKbps = 64, .mono = true});
    ChannelHandle first = engine.openFile(a, OpenOptions{});
    ChannelHandle second = engine.openFile(b, OpenOptions{});
    ASSERT_TRUE(engine.play(first, false));
    ASSERT_TRUE(engine.play(second, false));
    ASSERT_TRUE(
        waitUntil([&] { return engine.position(first) > 22050 * 4 && engine.position(second) > 11025 * 2; }));
    // The 22.05 kHz stream is resampled, so its heard position advances at its own rate.
    double secondsA = engine.seconds(first, engine.position(first));
    double secondsB = engine.seconds(second, engine.position(second));
    EXPECT_NEAR(secondsA, secondsB, 0.3);
    ASSERT_TRUE(engine.stop(second));
    EXPECT_EQ(engine.state(second), ChannelState::Stopped);
    EXPECT_EQ(engine.state(first), ChannelState::Playing);
}

// The level meter reads the channel's own peak (before the output gain), left low and right high.
TEST_F(FileStreamTest, LevelIsThePeakOfWhatPlays) {
    Signal quietRight = sine(8.0, 0.5);
    quietRight.rightGain = 0.25;
    std::string path = sharedMp3("quiet-right.mp3", quietRight, {.extraArguments = {"-m", "s"}});
    ASSERT_FALSE(path.empty());
    Reference ref = referenceDecode(path, true);
    float peakLeft = 0, peakRight = 0;
    for (std::size_t i = 0; i + 1 < ref.samples.size(); i += 2) {
        peakLeft = std::max(peakLeft, std::fabs(ref.samples[i]));
        peakRight = std::max(peakRight, std::fabs(ref.samples[i + 1]));
    }
    ASSERT_TRUE(engine.setGain(30));
    ChannelHandle h = engine.openFile(path, OpenOptions{});
    EXPECT_FALSE(engine.level(h)) << "not playing";
    ASSERT_TRUE(engine.play(h, false));
    ASSERT_TRUE(waitUntil([&] { return engine.position(h) > 44100; }));
    const std::optional<ChannelLevel> level = engine.level(h);
    ASSERT_TRUE(level);
    // A 20 ms window holds 20 periods of the 1 kHz sine, so its peak is the file's peak.
    EXPECT_NEAR(level->left, peakLeft * 32768, 0.01 * 32768);
    EXPECT_NEAR(level->right, peakRight * 32768, 0.01 * 32768);
    engine.pause(h);
    EXPECT_FALSE(engine.level(h)) << "paused";
}
