// What reaches the sound device: a sine song entered with levelling on and the volume bar at 80 plays
// at the gain the volume formula gives for its measured loudness. SDL's disk driver writes the output
// to a file (float32 LE stereo, 44100 Hz, paced in real time). SDL reads the driver's variables when
// the engine opens its device, so the playing runs in a child process of this test executable with
// its own environment.

#include "playback/VolumeControl.h"
#include "support/BareLoudness.h"
#include "support/EngineHarness.h"
#include "support/Mp3Fixtures.h"
#include "support/PeerProcess.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace {

constexpr const char* songVariable = "MP3ZX_LEVELLING_CHILD_SONG";
constexpr int bar = 80;

// The child's part: enter the song, let it play to its end, report its entry and the volume set.
void playInChild(const QString& song) {
    EngineHarness h;
    ASSERT_TRUE(h.init()) << "SDL's disk driver did not open";
    h.player.volume.volumeBar.setPosition(bar);
    h.player.volume.levellingBox = true;
    h.player.songList.addSong(song);
    ASSERT_EQ(h.player.channel.playMode, PlayMode::Song);
    const ChannelHandle stream = h.player.channel.fileStream;
    ASSERT_TRUE(stream);
    std::printf("levelling: entry=%s volume=%d\n", qPrintable(h.player.songList.songs.loudness(0)),
                h.audioEngine.gain());
    std::fflush(stdout);
    EXPECT_TRUE(waitUntil([&] { return h.audioEngine.state(stream) == ChannelState::Stopped; },
                          std::chrono::seconds(30)));
    h.audioEngine.closeOutput(); // closes the device and with it the output file
}

TEST(LevellingOutputTest, AMeasuredSineSongPlaysAtTheGainOfTheFormula) {
    if (const QString song = qEnvironmentVariable(songVariable); !song.isEmpty()) {
        playInChild(song);
        return;
    }
    if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
    fixtures::TempDir dir;
    const std::string song = dir.file("sinus.mp3");
    std::string error;
    ASSERT_TRUE(fixtures::makeMp3(song, {.frequency = 441, .amplitude = 0.5, .seconds = 2.0}, {}, &error))
        << error;
    const std::string raw = dir.file("ausgabe.raw");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    env.insert(QStringLiteral("SDL_DISKAUDIOFILE"), QString::fromStdString(raw));
    env.insert(QString::fromLatin1(songVariable), QString::fromStdString(song));
    const ToolResult child = runTool(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--gtest_filter=LevellingOutputTest.AMeasuredSineSongPlaysAtTheGainOfTheFormula")},
        env, std::chrono::seconds(90));
    ASSERT_EQ(child.exitCode, 0) << child.out.toStdString();
    const auto report = QRegularExpression(QStringLiteral("levelling: entry=(\\d+) volume=(\\d+)"))
                            .match(QString::fromUtf8(child.out));
    ASSERT_TRUE(report.hasMatch()) << child.out.toStdString();

    // The entry is the song's own measurement, and the output volume the formula's.
    bare::ExcerptDecoder decoder;
    std::vector<float> buffer;
    const int loudness = bare::measure(decoder, song, buffer);
    EXPECT_EQ(report.captured(1).toInt(), loudness);
    const int volume = outputVolume(bar, loudness);
    EXPECT_EQ(report.captured(2).toInt(), volume);
    ASSERT_GT(volume, 1);
    ASSERT_LT(volume, 100);

    // The whole song reached the output, scaled by volume / 100.
    const bare::Decoded decoded = bare::decodeWhole(song);
    ASSERT_EQ(decoded.rate, 44100);
    ASSERT_EQ(decoded.channels, 2);
    float songPeak = 0;
    for (float x : decoded.samples)
        songPeak = std::max(songPeak, std::fabs(x));
    const std::vector<unsigned char> bytes = fixtures::readFile(raw);
    std::vector<float> output(bytes.size() / sizeof(float));
    std::memcpy(output.data(), bytes.data(), output.size() * sizeof(float));
    float outputPeak = 0;
    std::size_t first = output.size(), last = 0;
    for (std::size_t i = 0; i < output.size(); ++i) {
        const float magnitude = std::fabs(output[i]);
        outputPeak = std::max(outputPeak, magnitude);
        if (magnitude > 0.01f) {
            first = std::min(first, i);
            last = i;
        }
    }
    const double expected = songPeak * volume / 100.0;
    EXPECT_NEAR(outputPeak, expected, 0.002 * songPeak)
        << "volume " << volume << ", the song's own peak " << songPeak;
    ASSERT_LT(first, last);
    EXPECT_GE(static_cast<double>(last - first), 0.95 * static_cast<double>(decoded.samples.size()));
}

} // namespace
