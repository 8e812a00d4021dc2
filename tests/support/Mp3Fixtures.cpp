#include "support/Mp3Fixtures.h"

#include "support/FixtureCache.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fixtures {

namespace {

void putLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

void putBe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

void putSyncsafe(std::string& out, std::uint32_t value) {
    for (int i = 3; i >= 0; --i)
        out.push_back(static_cast<char>((value >> (7 * i)) & 0x7f));
}

std::string randomBytes(std::size_t count, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::string data(count, '\0');
    for (auto& c : data)
        c = static_cast<char>(random() & 0xff);
    return data;
}

bool writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

bool prepend(const std::string& path, const std::string& head) {
    const auto original = readFile(path);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(head.data(), static_cast<std::streamsize>(head.size()));
    file.write(reinterpret_cast<const char*>(original.data()), static_cast<std::streamsize>(original.size()));
    return static_cast<bool>(file);
}

// Runs a program without a shell; its output goes to `output`. The exit status, or -1.
int run(const std::vector<std::string>& argv, std::string* output) {
    TempDir dir;
    std::string log = dir.file("output.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (output) {
        auto bytes = readFile(log);
        output->assign(bytes.begin(), bytes.end());
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

std::vector<float> render(const Signal& signal) {
    const auto frames = static_cast<std::size_t>(std::llround(signal.seconds * signal.sampleRate));
    const auto channels = static_cast<std::size_t>(std::max(signal.channels, 1));
    std::vector<float> samples(frames * channels);
    std::mt19937 random(signal.seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    double brown = 0.0;
    double steppedPhase = 0.0; // kept across the steps, so they do not click
    for (std::size_t i = 0; i < frames; ++i) {
        const auto frame = static_cast<double>(i + signal.startFrame);
        double phase = std::fmod(signal.frequency * frame / signal.sampleRate, 1.0);
        if (signal.stepHz != 0.0) {
            phase = steppedPhase;
            const double second = std::floor(static_cast<double>(i) / signal.sampleRate);
            steppedPhase =
                std::fmod(phase + (signal.frequency + signal.stepHz * second) / signal.sampleRate, 1.0);
        }
        double value = 0.0;
        switch (signal.waveform) {
        case Waveform::Sine:
            value = std::sin(2.0 * std::numbers::pi * phase);
            break;
        case Waveform::Square:
            value = phase < 0.5 ? 1.0 : -1.0;
            break;
        case Waveform::Silence:
            value = 0.0;
            break;
        case Waveform::Noise:
            value = noise(random);
            break;
        case Waveform::BrownNoise:
            // Integrated noise, pulled back towards zero so that it stays within full scale.
            brown = std::clamp(0.995 * brown + 0.05 * noise(random), -1.0, 1.0);
            value = brown;
            break;
        }
        value *= signal.amplitude;
        samples[i * channels] = static_cast<float>(value);
        for (std::size_t c = 1; c < channels; ++c)
            samples[i * channels + c] = static_cast<float>(value * signal.rightGain);
    }
    return samples;
}

bool writeWav(const std::string& path, const Signal& signal) {
    auto samples = render(signal);
    const auto channels = static_cast<std::uint32_t>(std::max(signal.channels, 1));
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::string out;
    out += "RIFF";
    putLe(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    putLe(out, 16, 4);
    putLe(out, 1, 2); // PCM
    putLe(out, channels, 2);
    putLe(out, static_cast<std::uint32_t>(signal.sampleRate), 4);
    putLe(out, static_cast<std::uint32_t>(signal.sampleRate) * channels * 2, 4);
    putLe(out, channels * 2, 2);
    putLe(out, 16, 2);
    out += "data";
    putLe(out, dataBytes, 4);
    for (float s : samples) {
        auto v = static_cast<std::int16_t>(std::lrint(std::clamp(s * 32767.0f, -32768.0f, 32767.0f)));
        putLe(out, static_cast<std::uint16_t>(v), 2);
    }
    std::ofstream file(path, std::ios::binary);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}

std::string lamePath() {
    for (const char* candidate : {"/usr/bin/lame", "/usr/local/bin/lame"}) {
        if (::access(candidate, X_OK) == 0) return candidate;
    }
    return {};
}

bool haveLame() {
    return !lamePath().empty();
}

std::string missingLameMessage() {
    return "SKIPPED LOUDLY: the lame encoder is not installed (scripts/install-deps.sh installs it); "
           "MP3 fixtures cannot be made";
}

namespace {

bool encodeMp3(const std::string& path, const Signal& signal, const LameOptions& options,
               std::string* error) {
    auto fail = [&](std::string message) {
        if (error) *error = std::move(message);
        return false;
    };
    std::string lame = lamePath();
    if (lame.empty()) return fail(missingLameMessage());
    TempDir dir;
    std::string wav = dir.file("signal.wav");
    if (!writeWav(wav, signal)) return fail("cannot write " + wav);
    std::vector<std::string> argv = {lame, "--quiet"};
    if (options.vbrQuality >= 0) {
        argv.push_back("-V");
        argv.push_back(std::to_string(options.vbrQuality));
    } else {
        argv.push_back("--cbr");
        argv.push_back("-b");
        argv.push_back(std::to_string(options.bitrateKbps));
    }
    if (!options.infoTag) argv.push_back("-t");
    if (options.mono) {
        argv.push_back("-m");
        argv.push_back("m");
    }
    if (options.resampleHz > 0) {
        argv.push_back("--resample");
        char khz[32];
        std::snprintf(khz, sizeof khz, "%g", options.resampleHz / 1000.0);
        argv.push_back(khz);
    }
    argv.insert(argv.end(), options.extraArguments.begin(), options.extraArguments.end());
    argv.push_back(wav);
    argv.push_back(path);
    std::string output;
    int status = run(argv, &output);
    if (status != 0) return fail("lame failed (" + std::to_string(status) + "): " + output);
    return true;
}

// Everything the made file depends on; an argument that names a file stands for that file's bytes.
std::string describe(const std::vector<std::string>& arguments) {
    std::string text;
    for (const auto& argument : arguments) {
        std::error_code error;
        text += std::filesystem::is_regular_file(argument, error) ? "file:" + contentKey(argument) : argument;
        text += '\n';
    }
    return text;
}

std::string mp3Key(const Signal& signal, const LameOptions& options) {
    char numbers[512];
    std::snprintf(numbers, sizeof numbers, "%d %a %a %a %a %lld %d %d %a %u | %d %d %d %d %d\n",
                  static_cast<int>(signal.waveform), signal.frequency, signal.stepHz, signal.amplitude,
                  signal.seconds, static_cast<long long>(signal.startFrame), signal.sampleRate,
                  signal.channels, signal.rightGain, signal.seed, options.bitrateKbps, options.vbrQuality,
                  options.infoTag, options.mono, options.resampleHz);
    return "lame " + toolKey(lamePath()) + "\n" + numbers + describe(options.extraArguments);
}

} // namespace

bool makeMp3(const std::string& path, const Signal& signal, const LameOptions& options, std::string* error) {
    return cachedFile(path, mp3Key(signal, options),
                      [&](const std::string& target) { return encodeMp3(target, signal, options, error); });
}

bool prependId3v2(const std::string& path, std::size_t bytes, std::uint32_t seed) {
    if (bytes < 32) return false;
    // Header (10) + frame header (10) + picture preamble; the rest is the "picture".
    std::string frame;
    frame.push_back('\0'); // text encoding
    frame += "image/jpeg";
    frame.push_back('\0');
    frame.push_back('\3'); // front cover
    frame.push_back('\0'); // empty description
    frame += randomBytes(bytes - 20 - frame.size(), seed);
    std::string tag = "ID3";
    tag.push_back('\3');
    tag.push_back('\0');
    tag.push_back('\0');
    putSyncsafe(tag, static_cast<std::uint32_t>(bytes - 10));
    tag += "APIC";
    putBe(tag, static_cast<std::uint32_t>(frame.size()), 4);
    tag.push_back('\0');
    tag.push_back('\0');
    tag += frame;
    return prepend(path, tag);
}

bool prependRandom(const std::string& path, std::size_t bytes, std::uint32_t seed) {
    return prepend(path, randomBytes(bytes, seed));
}

bool writeRandomFile(const std::string& path, std::size_t bytes, std::uint32_t seed) {
    return writeBytes(path, randomBytes(bytes, seed));
}

bool writePicture(const std::string& path, std::size_t bytes) {
    if (bytes < 4) return false;
    return writeBytes(path, "\xFF\xD8\xFF\xE0" + randomBytes(bytes - 4, 5));
}

std::string ffmpegPath() {
    return ::access("/usr/bin/ffmpeg", X_OK) == 0 ? "/usr/bin/ffmpeg" : "";
}

std::string missingFfmpegMessage() {
    return "SKIPPED LOUDLY: ffmpeg is not installed (scripts/install-deps.sh installs it); "
           "files of other audio formats cannot be made";
}

namespace {
bool encodeWithFfmpeg(const std::string& path, const std::string& source,
                      const std::vector<std::string>& outputArguments, std::string* error) {
    auto fail = [&](std::string message) {
        if (error) *error = std::move(message);
        return false;
    };
    const std::string ffmpeg = ffmpegPath();
    if (ffmpeg.empty()) return fail(missingFfmpegMessage());
    std::vector<std::string> argv = {ffmpeg,  "-nostdin", "-v",   "error", "-y", "-f",
                                     "lavfi", "-i",       source, "-ac",   "2"};
    argv.insert(argv.end(), outputArguments.begin(), outputArguments.end());
    argv.push_back(path);
    std::string output;
    const int status = run(argv, &output);
    if (status != 0) return fail("ffmpeg failed (" + std::to_string(status) + "): " + output);
    return true;
}
} // namespace

bool makeWithFfmpeg(const std::string& path, const std::string& source,
                    const std::vector<std::string>& outputArguments, std::string* error) {
    // A segmenter writes its segments beside the playlist, where a copy from the cache would not have them.
    if (std::find(outputArguments.begin(), outputArguments.end(), "hls") != outputArguments.end())
        return encodeWithFfmpeg(path, source, outputArguments, error);
    // Without "-f" ffmpeg picks the container by the file name's extension.
    const std::string key = "ffmpeg " + toolKey(ffmpegPath()) + "\n" + describe({source}) +
                            describe(outputArguments) + std::filesystem::path(path).extension().string();
    return cachedFile(path, key, [&](const std::string& target) {
        return encodeWithFfmpeg(target, source, outputArguments, error);
    });
}

bool truncateFile(const std::string& path, std::size_t bytes) {
    std::error_code error;
    std::filesystem::resize_file(path, bytes, error);
    return !error;
}

std::size_t fileSize(const std::string& path) {
    std::error_code error;
    auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<std::size_t>(size);
}

std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mp3zx-test-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code error;
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
}

std::string TempDir::file(const std::string& name) const {
    return path_ + "/" + name;
}

} // namespace fixtures
