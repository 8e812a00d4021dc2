// Which files the engine takes for MP3: files of other formats under an .mp3 name are refused, real
// MP3s open whatever surrounds their frames, and the tags around a file's audio are found.

#include "AudioTestSupport.h"
#include "audio/AudioSpan.h"
#include "audio/Engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>

using namespace audiotest;
using audio::Engine;
using fixtures::LameOptions;
using fixtures::Signal;

namespace {

constexpr OpenOptions kDecodeFloat{.decodeOnly = true, .floatSamples = true};

Signal tone(double seconds, int rate = 44100, int channels = 2) {
    return {
        .frequency = 440.0, .amplitude = 0.5, .seconds = seconds, .sampleRate = rate, .channels = channels};
}

void append(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

std::string littleEndian32(std::uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>(value >> (8 * i)));
    return out;
}

// An APE tag of `items` bytes of items with its header and footer.
std::string apeTag(std::uint32_t items) {
    auto block = [&](std::uint32_t flags) {
        return "APETAGEX" + littleEndian32(2000) + littleEndian32(items + 32) + littleEndian32(1) +
               littleEndian32(flags) + std::string(8, '\0');
    };
    return block(0xA0000000u) + std::string(items, 'x') + block(0x80000000u);
}

std::string id3v1Tag() {
    return "TAG" + std::string(125, 'y');
}

// An ID3v2.4 header for `size` bytes of frames, with or without a footer.
std::string id3v2Header(std::uint32_t size, bool footer) {
    std::string out = "ID3";
    out.push_back('\4');
    out.push_back('\0');
    out.push_back(footer ? '\x10' : '\0');
    for (int i = 3; i >= 0; --i)
        out.push_back(static_cast<char>((size >> (7 * i)) & 0x7f));
    return out;
}

class MpegAudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_LAME();
        ASSERT_TRUE(engine.openOutput(-1, 44100)) << "SDL dummy output did not open";
    }

    // Everything a decoding stream over the whole file delivers; empty when it does not open.
    std::vector<float> decodeAll(const std::string& path) {
        std::vector<float> all;
        ChannelHandle h = engine.openFile(path, kDecodeFloat);
        if (!h) return all;
        std::vector<float> block(8192);
        for (std::int64_t got; (got = engine.read(h, block.data(), 8192 * 4)) >= 0;)
            all.insert(all.end(), block.begin(), block.begin() + got / 4);
        engine.release(h);
        return all;
    }

    fixtures::TempDir dir;
    Engine engine;
};

} // namespace

// A WAV, an AAC and an Ogg file named .mp3: libmpg123 alone finds false frames in them and plays
// bursts of noise; the engine opens none of them, neither to play nor to decode an excerpt.
TEST_F(MpegAudioTest, FilesOfOtherFormatsAreRefused) {
    if (fixtures::ffmpegPath().empty()) GTEST_SKIP() << fixtures::missingFfmpegMessage();
    // Brown noise, as loud music, fills these files with false frame headers: libmpg123 alone opens
    // all three and decodes samples up to ten times full scale.
    const std::string noise = "anoisesrc=color=brown:amplitude=0.5:duration=5:seed=1";
    const std::string wav = dir.file("wave.mp3");
    const std::string aac = dir.file("aac.mp3");
    const std::string ogg = dir.file("ogg.mp3");
    std::string error;
    ASSERT_TRUE(fixtures::makeWithFfmpeg(wav, noise, {"-c:a", "pcm_s16le", "-f", "wav"}, &error)) << error;
    ASSERT_TRUE(fixtures::makeWithFfmpeg(aac, noise, {"-c:a", "aac", "-b:a", "96k", "-f", "adts"}, &error))
        << error;
    ASSERT_TRUE(
        fixtures::makeWithFfmpeg(ogg, noise, {"-c:a", "libvorbis", "-q:a", "10", "-f", "ogg"}, &error))
        << error;
    for (const std::string& path : {wav, aac, ogg}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(engine.openFile(path, OpenOptions{.autoFree = true}));
        EXPECT_FALSE(engine.openFile(path, kDecodeFloat));
        const std::uint64_t fifth = fixtures::fileSize(path) / 5;
        EXPECT_FALSE(engine.openFile(path, OpenOptions{.offset = fifth,
                                                       .length = 100000,
                                                       .decodeOnly = true,
                                                       .mono = true,
                                                       .floatSamples = true,
                                                       .prescan = true}));
    }
}

// Whatever lies before the first frame or after the last (tags, a large picture, junk), decoding
// starts at the first frame and gives exactly the samples of the bare file.
TEST_F(MpegAudioTest, RealMp3sDecodeTheSameWhateverSurroundsTheirFrames) {
    const std::string bare = sharedMp3("surrounded.mp3", tone(3.0));
    ASSERT_FALSE(bare.empty());
    const Reference ref = referenceDecode(bare, true);
    struct Case {
        const char* name;
        std::function<bool(const std::string&)> wrap;
    };
    const std::vector<Case> cases = {
        {"3 MiB ID3v2 picture", [](const std::string& p) { return fixtures::prependId3v2(p, 3 << 20, 9); }},
        {"20000 bytes of junk", [](const std::string& p) { return fixtures::prependRandom(p, 20000, 4); }},
        {"APE and ID3v1 tags at the end",
         [](const std::string& p) {
             append(p, apeTag(3000) + id3v1Tag());
             return true;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("wrapped.mp3");
        std::filesystem::copy_file(bare, path, std::filesystem::copy_options::overwrite_existing);
        ASSERT_TRUE(c.wrap(path));
        const std::vector<float> samples = decodeAll(path);
        ASSERT_EQ(samples.size(), ref.samples.size());
        float worst = 0;
        for (std::size_t i = 0; i < samples.size(); ++i)
            worst = std::max(worst, std::fabs(samples[i] - ref.samples[i]));
        EXPECT_EQ(worst, 0.0f);
    }
}

// Every kind of MPEG audio a user has opens and is as long as libmpg123's own scan says.
TEST_F(MpegAudioTest, EveryKindOfMpegAudioOpens) {
    struct Case {
        const char* name;
        std::string path;
    };
    std::vector<Case> cases = {
        {"VBR with Xing header", sharedMp3("kinds-vbr.mp3", tone(2.0), {.vbrQuality = 2})},
        {"mono", sharedMp3("kinds-mono.mp3", tone(2.0, 44100, 1), {.bitrateKbps = 64, .mono = true})},
        {"MPEG-2.5 at 8 kHz",
         sharedMp3("kinds-8k.mp3", tone(2.0, 8000, 1), {.bitrateKbps = 8, .mono = true})},
        {"free format",
         sharedMp3("kinds-free.mp3", tone(2.0), {.bitrateKbps = 320, .extraArguments = {"--freeformat"}})},
    };
    if (!fixtures::ffmpegPath().empty()) {
        const std::string mp2 = dir.file("layer2.mp3");
        std::string error;
        ASSERT_TRUE(fixtures::makeWithFfmpeg(mp2, "sine=frequency=440:duration=2",
                                             {"-c:a", "mp2", "-f", "mp2"}, &error))
            << error;
        cases.push_back({"layer II", mp2});
    } else {
        std::cout << fixtures::missingFfmpegMessage() << " (layer II)\n";
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.path.empty());
        const Reference ref = referenceDecode(c.path, false);
        ASSERT_GT(ref.frames, 0) << "libmpg123 does not take it";
        ChannelHandle h = engine.openFile(c.path, OpenOptions{.prescan = true});
        ASSERT_TRUE(h);
        const std::int64_t frameBytes = static_cast<std::int64_t>(ref.channels) * 2;
        EXPECT_EQ(engine.length(h), static_cast<std::int64_t>(ref.frames) * frameBytes);
        EXPECT_TRUE(engine.play(h, false));
        EXPECT_TRUE(waitUntil([&] { return engine.position(h) > 0; }));
        engine.release(h);
    }
}

// The audio of a file lies between the ID3v2 tags at its start and the APE and ID3v1 tags at its
// end; a tag that claims more bytes than the file has is no tag.
TEST(AudioSpanTest, TagsAtBothEndsAreLeftOut) {
    fixtures::TempDir dir;
    const std::string audio(1000, 'a');
    struct Case {
        const char* name;
        std::string bytes;
        std::uint64_t begin;
        std::uint64_t end;
    };
    const std::string v24 = id3v2Header(490, false) + std::string(490, 'p');
    const std::string v24Footer =
        id3v2Header(480, true) + std::string(480, 'p') + "3DI" + std::string(7, '\0');
    const std::vector<Case> cases = {
        {"no tags", audio, 0, 1000},
        {"ID3v2.4", v24 + audio, 500, 1500},
        {"ID3v2.4 with its footer", v24Footer + audio, 500, 1500},
        {"two ID3v2 tags", v24 + v24 + audio, 1000, 2000},
        {"ID3v1", audio + id3v1Tag(), 0, 1000},
        {"APE and ID3v1", audio + apeTag(200) + id3v1Tag(), 0, 1000},
        {"everything", v24 + audio + apeTag(200) + id3v1Tag(), 500, 1500},
        {"ID3v2 longer than the file", id3v2Header(5000, false) + audio, 0, 1010},
        {"only a tag", v24, 500, 500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("span.mp3");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
        const auto span = audio::findAudioSpan(path);
        ASSERT_TRUE(span);
        EXPECT_EQ(span->begin, c.begin);
        EXPECT_EQ(span->end, c.end);
        EXPECT_EQ(span->tagBytes(), c.bytes.size() - (c.end - c.begin));
    }
    EXPECT_FALSE(audio::findAudioSpan(dir.file("missing.mp3")));
    EXPECT_FALSE(audio::findAudioSpan(dir.path())) << "a folder";
}
