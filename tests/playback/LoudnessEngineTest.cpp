// The loudness measurement through the real engine, on MP3 files made with lame from signals whose
// value is known, checked against the same four excerpts decoded directly with libmpg123.

#include "playback/LoudnessMeter.h"
#include "support/BareLoudness.h"
#include "support/EngineHarness.h"
#include "support/Mp3Fixtures.h"

#include <QDir>
#include <QString>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <numbers>

namespace {

using fixtures::Signal;
using fixtures::Waveform;

// 100 x the mean magnitude of the samples above 0.2 of a sine of peak a (without the +1 of the
// divisor): its samples lie above 0.2 between asin(0.2 / a) and pi minus that.
double sineLoudness(double a) {
    const double from = std::asin(0.2 / a);
    return 100.0 * a * 2.0 * std::cos(from) / (std::numbers::pi - 2.0 * from);
}

// The same statistic over the whole song, decoded directly and mixed to mono; and its peak.
struct WholeSong {
    double loudness = 0;
    float peak = 0;
};
WholeSong wholeSong(const std::string& path) {
    const bare::Decoded decoded = bare::decodeWhole(path);
    WholeSong result;
    double sum = 0;
    std::size_t loud = 0;
    const auto channels = static_cast<std::size_t>(decoded.channels);
    for (std::size_t i = 0; i + channels <= decoded.samples.size(); i += channels) {
        float mix = 0;
        for (std::size_t c = 0; c < channels; ++c)
            mix += decoded.samples[i + c];
        const double magnitude = std::fabs(mix / static_cast<float>(channels));
        result.peak = std::max(result.peak, static_cast<float>(magnitude));
        if (magnitude > 0.2) {
            sum += magnitude;
            ++loud;
        }
    }
    result.loudness = loud > 0 ? 100.0 * sum / static_cast<double>(loud) : 0.0;
    return result;
}

class LoudnessEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dir = new fixtures::TempDir; }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override {
        if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
        ASSERT_TRUE(h.init()) << "the engine's output (SDL dummy driver) did not open";
        // Something plays, so the songs entered here are only measured, not started.
        s.channel.playMode = PlayMode::Song;
        s.volume.levellingBox = true;
    }

    static std::string mp3(const std::string& name, const Signal& signal) {
        const std::string path = dir->file(name);
        std::string error;
        if (!std::ifstream(path) && !fixtures::makeMp3(path, signal, {}, &error)) ADD_FAILURE() << error;
        return path;
    }
    // The entry the song gets when it is entered with levelling on; "gone" when its row left the list.
    QString entered(const std::string& path) {
        const int before = s.songList.songs.count();
        h.player.songList.addSong(QString::fromStdString(path));
        if (s.songList.songs.count() == before) return QStringLiteral("gone");
        return s.songList.songs.loudness(s.songList.songs.count() - 1);
    }

    static fixtures::TempDir* dir;
    EngineHarness h;
    Player& s = h.player;
    bare::ExcerptDecoder decoder;
};

fixtures::TempDir* LoudnessEngineTest::dir = nullptr;

// Each excerpt is decoded from the first frame found after a plain byte offset: that frame lacks the
// data it borrows from the frames before it and decodes silent, the next one only partly, so the
// value is near, not at, the value of the whole song; and exactly the value of a direct decode.
TEST_F(LoudnessEngineTest, SignalsMeasureTheirKnownValueAndAgreeWithADirectDecode) {
    struct Case {
        const char* name;
        std::string path;
        bool sine;
        bool compareWithWholeSong;
    };
    const std::vector<Case> cases = {
        {"silence", mp3("stille.mp3", {.waveform = Waveform::Silence, .seconds = 6.0}), false, true},
        // Nearly every sample loud and close to full scale; lame's band limit leaves a mean
        // magnitude of about 0.95.
        {"full-scale square",
         mp3("rechteck.mp3",
             {.waveform = Waveform::Square, .frequency = 100, .amplitude = 1.0, .seconds = 6.0}),
         false, true},
        {"sine 0.5", mp3("sinus50.mp3", {.frequency = 1000, .amplitude = 0.5, .seconds = 6.0}), true, true},
        // The mono mix halves a signal on one channel only.
        {"sine 0.8 on the left only",
         mp3("sinus80.mp3", {.frequency = 440, .amplitude = 0.8, .seconds = 6.0, .rightGain = 0.0}), true,
         true},
        // Shorter than one excerpt: the four ranges overlap and run into the end of the file, and
        // the broken first frames weigh too much for a comparison with the whole song.
        {"short sine", mp3("kurz.mp3", {.frequency = 1000, .amplitude = 0.5, .seconds = 0.4}), true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto excerpts = bare::excerpts(decoder, c.path);
        ASSERT_EQ(excerpts.size(), 4u);
        std::int64_t sum = 0;
        for (const auto& e : excerpts) {
            ASSERT_FALSE(e.empty()) << "an excerpt decoded nothing";
            sum += excerptLoudness(e.data(), e.size());
        }
        const QString value = entered(c.path);
        EXPECT_EQ(value, QString::number(sum / 4));
        if (!c.compareWithWholeSong) continue;
        const WholeSong song = wholeSong(c.path);
        EXPECT_NEAR(value.toDouble(), song.loudness, 2.0);
        if (c.sine) {
            EXPECT_NEAR(value.toDouble(), sineLoudness(song.peak), 2.0) << "peak " << song.peak;
        }
    }
    EXPECT_EQ(s.songList.songs.loudness(0), QStringLiteral("0"));
    EXPECT_GE(s.songList.songs.loudness(1).toInt(), 90);
    // A long excerpt is 12500 samples, whatever the range holds beyond them.
    EXPECT_EQ(bare::excerpts(decoder, cases[2].path)[0].size(), 12'500u);
}

TEST_F(LoudnessEngineTest, FilesWithoutAudioMeasureZeroAndMissingFilesLeaveTheList) {
    const std::string tiny = dir->file("winzig.mp3");
    std::ofstream(tiny, std::ios::binary) << "\xFF\xFB\x90"; // 3 bytes: every excerpt starts at 0
    const std::string text = dir->file("text.mp3");
    {
        std::ofstream out(text, std::ios::binary);
        for (int i = 0; i < 20'000; ++i)
            out << "Dies ist keine MP3-Datei.\n";
    }
    const std::string empty = dir->file("leer.mp3");
    std::ofstream(empty, std::ios::binary).flush();
    for (const std::string& path : {tiny, text, empty}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(entered(path), QStringLiteral("0"));
        std::vector<float> samples;
        EXPECT_EQ(bare::measure(decoder, path, samples), 0);
    }
    // A WAV under an .mp3 name holds false frames that libmpg123 alone would measure as loud noise.
    const std::string wave = dir->file("welle.mp3");
    ASSERT_TRUE(
        fixtures::writeWav(wave, {.waveform = Waveform::BrownNoise, .amplitude = 1.0, .seconds = 4.0}));
    EXPECT_EQ(entered(wave), QStringLiteral("0"));
    EXPECT_EQ(entered(dir->file("fehlt.mp3")), QStringLiteral("gone"));
    ASSERT_EQ(s.songList.songs.count(), 4);
    EXPECT_EQ(s.songList.songs.path(2), QString::fromStdString(empty));
}

} // namespace
