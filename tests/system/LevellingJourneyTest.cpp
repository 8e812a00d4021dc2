// The real program with "Lautstärke anpassen" ticked: a quiet and a loud song taken from a folder are
// measured as they enter the song list and reach the sound output at the volume the levelling formula
// gives. SDL's disk driver writes the output (float32 LE, stereo, 44100 Hz) to a file, which the test
// reads after the program has ended.

#include "DesktopRun.h"
#include "support/BareLoudness.h"
#include "support/Mp3Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

constexpr int volumeBar = 80;

// The volume the levelling promises for a song of this loudness at the bar's position.
int promisedVolume(int loudness) {
    const long v = std::lrint(1.5 * volumeBar) - std::lrint(1.5 * loudness);
    return int(std::clamp(v, 1L, 100L));
}

double rms(const float* samples, std::size_t count) {
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += double(samples[i]) * samples[i];
    return count ? std::sqrt(sum / double(count)) : 0.0;
}

// The RMS of the decoded song away from its edges (the encoder's and decoder's ramps).
double decodedRms(const QString& path) {
    const bare::Decoded d = bare::decodeWhole(path.toStdString());
    const std::size_t edge = std::size_t(d.rate) * std::size_t(d.channels) / 4;
    if (d.samples.size() < 4 * edge) return 0.0;
    return rms(d.samples.data() + edge, d.samples.size() - 2 * edge);
}

// The recorded output cut into 100 ms windows; each sounding window is told by its pitch (zero
// crossings of the left channel) and its RMS is filed under that pitch.
struct Recording {
    std::vector<double> low;  // windows of the 441 Hz song
    std::vector<double> high; // windows of the 882 Hz song
};

Recording analyse(const QByteArray& raw) {
    Recording r;
    const std::size_t frames = std::size_t(raw.size()) / 8;
    std::vector<float> samples(frames * 2);
    std::memcpy(samples.data(), raw.constData(), frames * 8);
    constexpr std::size_t window = 4410;
    for (std::size_t start = 0; start + window <= frames; start += window) {
        const float* w = samples.data() + 2 * start;
        const double level = rms(w, 2 * window);
        if (level < 0.01) continue;
        int crossings = 0;
        for (std::size_t i = 1; i < window; ++i)
            if ((w[2 * i] >= 0) != (w[2 * (i - 1)] >= 0)) ++crossings;
        // 441 Hz crosses zero 88 times in 100 ms, 882 Hz 176 times; windows across a change fall out.
        if (crossings >= 84 && crossings <= 92) r.low.push_back(level);
        if (crossings >= 170 && crossings <= 182) r.high.push_back(level);
    }
    return r;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

TEST(LevellingJourneyTest, AQuietAndALoudSongReachTheOutputAtTheLevelledVolume) {
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();

    QTemporaryDir dir;
    const QString music = QFileInfo(dir.path()).canonicalFilePath() + ascii("/Musik");
    QDir().mkpath(music);
    const QString quiet = music + ascii("/a leise.mp3");
    const QString loud = music + ascii("/b laut.mp3");
    std::string error;
    ASSERT_TRUE(fixtures::makeMp3(quiet.toStdString(), {.frequency = 441, .amplitude = 0.3, .seconds = 3.0},
                                  {}, &error))
        << error;
    ASSERT_TRUE(fixtures::makeMp3(loud.toStdString(), {.frequency = 882, .amplitude = 0.8, .seconds = 3.0},
                                  {}, &error))
        << error;
    const QString raw = dir.path() + ascii("/ausgabe.raw");
    desk.recordSoundTo(raw);
    ASSERT_TRUE(desk.writeIni({music, QString(), QString::number(volumeBar)}));
    ASSERT_TRUE(desk.start());
    ASSERT_TRUE(desk.waitFor([](const ProbeState& st) { return st.values(ascii("file")).size() == 2; }))
        << desk.now().dump();

    // The user ticks the box, then takes the whole folder.
    ASSERT_TRUE(desk.click(DesktopRun::levellingBox));
    ASSERT_TRUE(desk.waitFor([](const ProbeState& st) { return st.value(ascii("levellingBox")) == u"1"; }))
        << "the click did not tick the levelling box";
    ASSERT_TRUE(desk.click(DesktopRun::addAllButton));

    // Both play to their end; note the output volume each one plays at.
    QMap<int, QString> volumeWhilePlaying;
    ASSERT_TRUE(desk.waitFor(
        [&](const ProbeState& st) {
            if (st.value(ascii("fileActive")) == u"1" && st.value(ascii("playMode")) == u"0")
                volumeWhilePlaying[int(st.number(ascii("currentIndex")))] = st.value(ascii("volume"));
            return volumeWhilePlaying.size() == 2 && st.value(ascii("playMode")) == u"1" &&
                   st.value(ascii("fileActive")) == u"0";
        },
        60s))
        << desk.now().dump();
    const QStringList loudness = desk.now().values(ascii("loudness"));
    ASSERT_EQ(loudness.size(), 2);
    ASSERT_TRUE(desk.run().terminate()); // closes the sound device, and with it the file

    // Each song was measured as the measurement promises (computed here straight on libmpg123).
    bare::ExcerptDecoder decoder;
    std::vector<float> buffer;
    const int quietLoudness = loudness[0].toInt();
    const int loudLoudness = loudness[1].toInt();
    EXPECT_NEAR(quietLoudness, bare::measure(decoder, quiet.toStdString(), buffer), 1);
    EXPECT_NEAR(loudLoudness, bare::measure(decoder, loud.toStdString(), buffer), 1);
    EXPECT_LT(quietLoudness, loudLoudness);
    EXPECT_EQ(volumeWhilePlaying[0], QString::number(promisedVolume(quietLoudness)));
    EXPECT_EQ(volumeWhilePlaying[1], QString::number(promisedVolume(loudLoudness)));

    // What reached the output: each song's level scaled by its volume.
    QFile file(raw);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "no sound recorded";
    const Recording heard = analyse(file.readAll());
    ASSERT_GE(heard.low.size(), 10u) << "the quiet song was hardly heard";
    ASSERT_GE(heard.high.size(), 10u) << "the loud song was hardly heard";
    const double expectedQuiet = decodedRms(quiet) * promisedVolume(quietLoudness) / 100.0;
    const double expectedLoud = decodedRms(loud) * promisedVolume(loudLoudness) / 100.0;
    const double heardQuiet = median(heard.low);
    const double heardLoud = median(heard.high);
    std::printf("[ measured ] loudness %d / %d, output RMS %.4f (expected %.4f) / %.4f (expected %.4f)\n",
                quietLoudness, loudLoudness, heardQuiet, expectedQuiet, heardLoud, expectedLoud);
    EXPECT_NEAR(heardQuiet, expectedQuiet, 0.1 * expectedQuiet);
    EXPECT_NEAR(heardLoud, expectedLoud, 0.1 * expectedLoud);
    // The point of it all: the loud song no longer sounds much louder than the quiet one.
    EXPECT_LT(heardLoud / heardQuiet, 0.5 * (0.8 / 0.3));

    // The next start finds the box ticked, the bar where it was and the folder listed again; a song
    // taken now is measured too.
    desk.recordSoundTo(dir.path() + ascii("/zweiter-lauf.raw"));
    ASSERT_TRUE(desk.restart());
    ASSERT_TRUE(desk.waitFor([&](const ProbeState& st) {
        return st.value(ascii("levellingBox")) == u"1" &&
               st.value(ascii("volumeBar")) == QString::number(volumeBar) &&
               st.value(ascii("currentFolder")) == music && st.values(ascii("file")).size() == 2;
    })) << desk.now().dump();
    ASSERT_TRUE(desk.click(DesktopRun::addAllButton));
    EXPECT_TRUE(desk.waitFor([&](const ProbeState& st) { return st.values(ascii("loudness")) == loudness; }))
        << desk.now().dump();
    EXPECT_TRUE(desk.run().terminate());
}

} // namespace
