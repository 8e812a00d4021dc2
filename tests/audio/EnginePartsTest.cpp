// The handle table, the sample ring between a decoder and the audio callback, the frame index built in
// the background, and where a network stream joined in mid-stream starts.

#include "AudioTestSupport.h"
#include "audio/ByteQueue.h"
#include "audio/FileDecoder.h"
#include "audio/FrameIndexer.h"
#include "audio/HandleTable.h"
#include "audio/MpegFrames.h"
#include "audio/PcmRing.h"
#include "audio/SampleBlocks.h"
#include "audio/StreamDecoder.h"
#include "audio/Wakeup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <thread>

using audio::HandleTable;
using audio::PcmRing;

TEST(HandleTable, HandlesAreNeverZeroNeverReusedAndFreedOnesAreGone) {
    HandleTable<int> table;
    EXPECT_EQ(table.find(0), nullptr);
    EXPECT_EQ(table.remove(0), nullptr);
    std::set<std::uint32_t> seen;
    std::uint32_t first = table.add(std::make_shared<int>(1));
    std::uint32_t second = table.add(std::make_shared<int>(2));
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    ASSERT_TRUE(table.find(second));
    EXPECT_EQ(*table.find(second), 2);
    EXPECT_EQ(*table.remove(first), 1);
    EXPECT_EQ(table.find(first), nullptr);
    EXPECT_EQ(table.remove(first), nullptr) << "freeing twice";
    for (int i = 0; i < 1000; ++i) {
        std::uint32_t h = table.add(std::make_shared<int>(i));
        EXPECT_NE(h, first);
        EXPECT_TRUE(seen.insert(h).second);
        table.remove(h);
    }
    EXPECT_EQ(table.size(), 1u);
    EXPECT_EQ(table.removeAll().size(), 1u);
    EXPECT_EQ(table.find(second), nullptr);
}

TEST(HandleTable, ConcurrentUse) {
    HandleTable<int> table;
    std::vector<std::thread> threads;
    std::atomic<int> mismatches{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                std::uint32_t h = table.add(std::make_shared<int>(t * 10000 + i));
                auto found = table.find(h);
                if (!found || *found != t * 10000 + i) ++mismatches;
                if (table.remove(h) != found) ++mismatches;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(table.size(), 0u);
}

// One thread writes a numbered sequence in odd-sized pieces while another reads it: every sample
// arrives once, in order, across many wrap-arounds.
TEST(PcmRing, OneWriterOneReaderKeepOrder) {
    PcmRing ring(1000);
    EXPECT_EQ(ring.capacity(), 1024u);
    constexpr std::size_t total = 400'000;
    std::thread writer([&] {
        std::size_t next = 0;
        std::vector<float> piece(333);
        while (next < total) {
            std::size_t n = std::min(piece.size(), total - next);
            for (std::size_t i = 0; i < n; ++i)
                piece[i] = static_cast<float>(next + i);
            std::size_t written = 0;
            while (written < n) {
                std::size_t w = ring.write(piece.data() + written, n - written);
                if (w == 0) std::this_thread::yield();
                written += w;
            }
            next += n;
        }
    });
    std::size_t expected = 0;
    std::size_t errors = 0;
    std::vector<float> out(257);
    while (expected < total) {
        std::size_t got = ring.read(out.data(), out.size());
        if (got == 0) std::this_thread::yield();
        for (std::size_t i = 0; i < got; ++i)
            if (out[i] != static_cast<float>(expected + i)) ++errors;
        expected += got;
    }
    writer.join();
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(ring.readable(), 0u);
    EXPECT_EQ(ring.writable(), ring.capacity());
}

// The index built on its own thread, installed into the decoder, sends a seek straight to the right
// frame: the samples after the seek are those of a straight decode.
TEST(FrameIndexer, IndexedSeeksLandOnTheRightSample) {
    REQUIRE_LAME();
    std::string path = audiotest::sharedMp3(
        "indexed.mp3", {.waveform = fixtures::Waveform::Noise, .amplitude = 0.3, .seconds = 12.0},
        {.infoTag = false});
    ASSERT_FALSE(path.empty());
    auto ref = audiotest::referenceDecode(path, true);
    audio::FrameIndexer indexer(path, 0, 0);
    ASSERT_TRUE(indexer.waitFor(std::chrono::seconds(20)));
    auto index = indexer.result();
    ASSERT_TRUE(index);
    EXPECT_EQ(index->lengthFrames, ref.frames);
    EXPECT_GT(index->offsets.size(), 100u);

    auto decoder = audio::FileDecoder::open(path, 0, 0, false);
    ASSERT_TRUE(decoder);
    EXPECT_FALSE(decoder->lengthIsExact());
    decoder->installIndex(*index);
    EXPECT_TRUE(decoder->lengthIsExact());
    EXPECT_EQ(decoder->lengthFrames(), ref.frames);
    std::vector<float> got(1024 * 2);
    for (std::int64_t frame :
         {std::int64_t{500000}, std::int64_t{12345}, ref.frames - 1024, std::int64_t{0}}) {
        SCOPED_TRACE(frame);
        ASSERT_TRUE(decoder->seek(frame));
        auto result = decoder->read(got.data(), 1024);
        ASSERT_EQ(result.status, audio::PcmSource::Status::Frames);
        ASSERT_GT(result.frames, 0u);
        float worst = 0.0f;
        for (std::size_t i = 0; i < result.frames * 2; ++i)
            worst = std::max(worst, std::fabs(got[i] - ref.samples[static_cast<std::size_t>(frame) * 2 + i]));
        EXPECT_LT(worst, 1e-4f);
    }
}

TEST(FrameIndexer, StopsEarlyAndFailsOnNonAudio) {
    fixtures::TempDir dir;
    std::string junk = dir.file("junk.bin");
    ASSERT_TRUE(fixtures::writeRandomFile(junk, 200000));
    audio::FrameIndexer indexer(junk, 0, 0);
    ASSERT_TRUE(indexer.waitFor(std::chrono::seconds(20)));
    EXPECT_EQ(indexer.result(), nullptr);
    {
        audio::FrameIndexer missing(dir.file("missing.mp3"), 0, 0);
        EXPECT_TRUE(missing.waitFor(std::chrono::seconds(20)));
    }
    // Destroyed while it runs: returns promptly (the scan stops at its next read).
    audio::FrameIndexer running(junk, 0, 0);
}

// The callback's block work gives what the sample-by-sample recipe gives, for blocks of any length.
TEST(SampleBlocks, AddLimitAndPeakMatchTheSampleBySampleRecipe) {
    for (std::size_t count : {0u, 2u, 14u, 16u, 4098u}) {
        SCOPED_TRACE(count);
        std::vector<float> mix(count), voice(count);
        for (std::size_t i = 0; i < count; ++i) {
            mix[i] = 0.6f * std::sin(0.01f * static_cast<float>(i));
            voice[i] = (i % 2 ? 0.3f : 0.7f) * std::cos(0.013f * static_cast<float>(i));
        }
        std::vector<float> expected = mix;
        audio::StereoPeak peak;
        for (std::size_t i = 0; i < count; ++i) {
            (i % 2 ? peak.right : peak.left) = std::max(i % 2 ? peak.right : peak.left, std::fabs(voice[i]));
            expected[i] = std::clamp((expected[i] + voice[i]) * 1.5f, -1.0f, 1.0f);
        }
        const audio::StereoPeak measured = audio::stereoPeak(voice.data(), count);
        EXPECT_EQ(measured.left, peak.left);
        EXPECT_EQ(measured.right, peak.right);
        audio::addSamples(mix.data(), voice.data(), count);
        audio::scaleAndLimit(mix.data(), count, 1.5f);
        EXPECT_EQ(mix, expected);
    }
}

// A notification raised while nobody waits is kept for the next wait; several merge into one.
TEST(Wakeup, WakesAWaiterAndKeepsANotificationForTheNextWait) {
    audio::Wakeup wakeup;
    EXPECT_FALSE(wakeup.waitFor(std::chrono::milliseconds(1)));
    wakeup.notify();
    wakeup.notify();
    EXPECT_TRUE(wakeup.waitFor(std::chrono::milliseconds(0)));
    EXPECT_FALSE(wakeup.waitFor(std::chrono::milliseconds(0)));
    std::thread notifier([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        wakeup.notify();
    });
    EXPECT_TRUE(wakeup.waitFor(std::chrono::seconds(30)));
    notifier.join();
}

namespace {

// Everything a stream decoder makes of the file's bytes from a frame near its middle on, as a station
// joined there would send them.
std::vector<float> decodeJoinedHalfway(const std::string& path) {
    const std::vector<unsigned char> bytes = fixtures::readFile(path);
    std::size_t at = bytes.size() / 2;
    for (; at + 4 < bytes.size(); ++at) {
        const auto header = audio::parseFrameHeader(bytes.data() + at);
        if (header && header->length > 0 && at + header->length + 4 < bytes.size() &&
            audio::parseFrameHeader(bytes.data() + at + header->length))
            break;
    }
    audio::ByteQueue queue(bytes.size());
    queue.push(reinterpret_cast<const char*>(bytes.data() + at), bytes.size() - at);
    queue.close(false);
    auto decoder = audio::StreamDecoder::create(queue, false, std::chrono::milliseconds(50));
    std::vector<float> samples;
    std::vector<float> block(4096 * 2);
    for (int rounds = 0; decoder && rounds < 10000; ++rounds) {
        const auto result = decoder->read(block.data(), 4096);
        if (result.status == audio::PcmSource::Status::End) break;
        if (result.status == audio::PcmSource::Status::Frames)
            samples.insert(samples.end(), block.begin(), block.begin() + result.frames * 2);
    }
    return samples;
}

} // namespace

// The frames whose bit reservoir was never received come out of the decoder as silence: a station
// starts with its first sound, and one that is silent itself still plays.
TEST(StreamDecoder, AStationJoinedInMidStreamStartsWithItsFirstSound) {
    REQUIRE_LAME();
    const std::string noise = audiotest::sharedMp3(
        "joined.mp3", {.waveform = fixtures::Waveform::Noise, .amplitude = 0.3, .seconds = 4.0},
        {.infoTag = false});
    const std::string silence =
        audiotest::sharedMp3("joined-silence.mp3", {.amplitude = 0.0, .seconds = 4.0}, {.infoTag = false});
    ASSERT_FALSE(noise.empty());
    ASSERT_FALSE(silence.empty());

    const std::vector<float> sound = decodeJoinedHalfway(noise);
    ASSERT_GT(sound.size(), 44100u * 2);
    EXPECT_TRUE(sound[0] != 0.0f || sound[1] != 0.0f);

    const std::vector<float> quiet = decodeJoinedHalfway(silence);
    EXPECT_GT(quiet.size(), 44100u * 2) << "a silent station plays too";
    EXPECT_TRUE(std::all_of(quiet.begin(), quiet.end(), [](float x) { return x == 0.0f; }));
}
