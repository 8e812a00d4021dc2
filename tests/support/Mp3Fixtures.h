#pragma once
// Test fixtures made on the spot: signals rendered to WAV, MP3 files encoded from them with the lame
// command-line encoder, and damaged or tagged variants of such files. Nothing here needs Qt.
//
//     fixtures::TempDir dir;
//     fixtures::Signal tone{.waveform = fixtures::Waveform::Sine, .frequency = 1000, .amplitude = 0.5};
//     std::string error;
//     if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
//     ASSERT_TRUE(fixtures::makeMp3(dir.file("tone.mp3"), tone, {.bitrateKbps = 192}, &error)) << error;

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fixtures {

// Noise is white (every sample drawn anew); BrownNoise wanders as loud music does, and PCM files of
// it are full of byte patterns that look like MPEG frame headers.
enum class Waveform { Sine, Square, Silence, Noise, BrownNoise };

struct Signal {
    Waveform waveform = Waveform::Sine;
    double frequency = 440.0; // Hz, for Sine and Square
    // Sine: the pitch rises by this much at each whole second, so what is heard tells the time.
    double stepHz = 0.0;
    double amplitude = 0.5; // peak, full scale 1.0
    double seconds = 1.0;
    // Sine: the signal from this frame on, so files cut at frames of one sine play on into each other.
    std::size_t startFrame = 0;
    int sampleRate = 44100;
    int channels = 2;
    // The right channel is the left one times this factor: -1 inverts it, 0 silences it.
    double rightGain = 1.0;
    std::uint32_t seed = 1; // for Noise
};

// Interleaved samples of the signal, full scale 1.0.
std::vector<float> render(const Signal& signal);
// A 16-bit PCM WAV file of the signal; false when the file cannot be written.
bool writeWav(const std::string& path, const Signal& signal);

struct LameOptions {
    int bitrateKbps = 128;                        // constant bitrate, unless vbrQuality is set
    int vbrQuality = -1;                          // 0 (best) .. 9: variable bitrate (-V), with a Xing header
    bool infoTag = true;                          // false: no Xing/Info frame at all (-t)
    bool mono = false;                            // encode one channel (-m m); use with Signal::channels = 1
    int resampleHz = 0;                           // output sample rate (--resample), 0 = the signal's
    std::vector<std::string> extraArguments = {}; // passed to lame before the file names
};

// The lame executable, or "" when it is not installed.
std::string lamePath();
bool haveLame();
// What a test prints when it skips for want of lame.
std::string missingLameMessage();

// Renders the signal and encodes it with lame into path. False (and error filled) on failure.
bool makeMp3(const std::string& path, const Signal& signal, const LameOptions& options = {},
             std::string* error = nullptr);

// Puts an ID3v2.3 tag of exactly `bytes` bytes (header included, at least 32) in front of the file: one
// picture frame of pseudo-random data, which holds plenty of false MPEG sync words. False on I/O error.
bool prependId3v2(const std::string& path, std::size_t bytes, std::uint32_t seed = 1);
// Puts `bytes` pseudo-random bytes in front of the file: junk before the first frame. False on I/O error.
bool prependRandom(const std::string& path, std::size_t bytes, std::uint32_t seed = 1);
// A file of pseudo-random bytes.
bool writeRandomFile(const std::string& path, std::size_t bytes, std::uint32_t seed = 1);
// A file that passes for a JPEG picture (its magic bytes, then pseudo-random ones), for lame's --ti.
bool writePicture(const std::string& path, std::size_t bytes);

// The ffmpeg executable, or "" when it is not installed; what a test prints when it skips for want of it.
std::string ffmpegPath();
std::string missingFfmpegMessage();
// Encodes one of ffmpeg's own stereo sources (for example "anoisesrc=color=brown:duration=5:seed=1",
// whose output is the same on every run) with ffmpeg. outputArguments name the codec and the
// container (for example {"-c:a", "aac", "-f", "adts"}), so the file's name need not tell what it holds.
bool makeWithFfmpeg(const std::string& path, const std::string& source,
                    const std::vector<std::string>& outputArguments, std::string* error = nullptr);
// Cuts the file to its first `bytes` bytes.
bool truncateFile(const std::string& path, std::size_t bytes);
std::size_t fileSize(const std::string& path);
std::vector<unsigned char> readFile(const std::string& path);

// A fresh folder under the system's temporary folder, removed with everything in it at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

} // namespace fixtures
