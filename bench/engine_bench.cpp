// Speed of the audio engine, beside a bare libmpg123 loop in the same run. bench/engine.sh runs it with
// the files it makes (ENGINE_BENCH_DIR: music.mp3, a minute of music-like sound; long.mp3, sixty
// minutes) next to mpv and the mpg123 command line, and prints the ratios. Without ENGINE_BENCH_DIR
// the benchmark makes smaller files of its own with lame.
//
// With ENGINE_BENCH_FIGURES set, the key figures are also written there as "name value" lines.

#include "audio/Engine.h"
#include "support/Mp3Fixtures.h"

#include <benchmark/benchmark.h>
#include <mpg123.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Files {
    std::string music;    // about a minute
    std::string longFile; // about an hour
};

const Files& files() {
    static Files f = [] {
        Files made;
        if (const char* dir = std::getenv("ENGINE_BENCH_DIR")) {
            made.music = std::string(dir) + "/music.mp3";
            made.longFile = std::string(dir) + "/long.mp3";
            return made;
        }
        static fixtures::TempDir temp;
        fixtures::Signal minute{.waveform = fixtures::Waveform::Noise, .amplitude = 0.2, .seconds = 60.0};
        made.music = temp.file("music.mp3");
        fixtures::makeMp3(made.music, minute);
        std::string chunk = temp.file("chunk.mp3");
        fixtures::makeMp3(chunk, minute, {.infoTag = false});
        auto bytes = fixtures::readFile(chunk);
        made.longFile = temp.file("long.mp3");
        std::ofstream out(made.longFile, std::ios::binary);
        for (int i = 0; i < 60; ++i)
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
        return made;
    }();
    return f;
}

std::mutex figuresMutex;
std::map<std::string, double> figures;

void figure(const std::string& name, double value) {
    std::lock_guard lock(figuresMutex);
    figures[name] = value;
}

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

constexpr std::size_t kReadBytes = 64 * 1024;

// The whole file through a bare libmpg123 handle with the engine's output format (float). Bytes decoded.
std::size_t decodeBare(const std::string& path, std::vector<unsigned char>& buffer) {
    int error = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &error);
    mpg123_param(mh, MPG123_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    mpg123_format_none(mh);
    mpg123_format(mh, 44100, MPG123_STEREO, MPG123_ENC_FLOAT_32);
    mpg123_open(mh, path.c_str());
    std::size_t total = 0;
    for (;;) {
        std::size_t done = 0;
        int result = mpg123_read(mh, buffer.data(), buffer.size(), &done);
        total += done;
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
    }
    mpg123_delete(mh);
    return total;
}

// The same file as a decoding stream of the engine, read block by block.
std::size_t decodeEngine(audio::Engine& engine, const std::string& path, std::vector<unsigned char>& buffer) {
    ChannelHandle h = engine.openFile(path, OpenOptions{.decodeOnly = true, .floatSamples = true});
    std::size_t total = 0;
    for (;;) {
        const std::int64_t got = engine.read(h, buffer.data(), buffer.size());
        if (got <= 0) break;
        total += static_cast<std::size_t>(got);
    }
    engine.release(h);
    return total;
}

// Whole-file decoding, engine against the bare loop, alternating pass by pass so that whatever else
// the machine does falls on both alike. The iteration time is one engine pass.
void BM_DecodeEngineVsBareLoop(benchmark::State& state) {
    mpg123_init();
    audio::Engine engine;
    if (!engine.openOutput(-1, 44100)) {
        state.SkipWithError("no output device (set SDL_AUDIODRIVER=dummy)");
        return;
    }
    std::vector<unsigned char> buffer(kReadBytes);
    const std::string& path = files().music;
    decodeBare(path, buffer); // file into the page cache
    double bareSeconds = 0, engineSeconds = 0;
    std::size_t bytes = 0;
    bool engineFirst = false;
    for (auto _ : state) {
        for (int pass = 0; pass < 2; ++pass) {
            bool engineNow = (pass == 0) == engineFirst;
            auto start = std::chrono::steady_clock::now();
            bytes = engineNow ? decodeEngine(engine, path, buffer) : decodeBare(path, buffer);
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            (engineNow ? engineSeconds : bareSeconds) += seconds;
            if (engineNow) state.SetIterationTime(seconds);
        }
        engineFirst = !engineFirst;
    }
    const double audioSeconds = static_cast<double>(bytes) / (44100.0 * 8);
    const auto n = static_cast<double>(state.iterations());
    state.counters["audio_s"] = audioSeconds;
    state.counters["bare_ms"] = bareSeconds / n * 1e3;
    state.counters["engine_ms"] = engineSeconds / n * 1e3;
    state.counters["throughput_ratio"] = bareSeconds / engineSeconds;
    figure("decode_bare_s", bareSeconds / n);
    figure("decode_engine_s", engineSeconds / n);
    figure("decode_ratio", bareSeconds / engineSeconds);
    figure("audio_s", audioSeconds);
}

// Plays the file to its end through SDL's dummy driver (real time) and counts the CPU time of the
// whole process (decoding thread, audio callback, index scan) per minute of audio.
void BM_PlaybackCpu(benchmark::State& state) {
    audio::Engine engine;
    if (!engine.openOutput(-1, 44100)) {
        state.SkipWithError("no output device (set SDL_AUDIODRIVER=dummy)");
        return;
    }
    double perMinute = 0;
    for (auto _ : state) {
        double cpuBefore = processCpuSeconds();
        ChannelHandle h = engine.openFile(files().music, OpenOptions{.autoFree = true});
        double seconds = engine.seconds(h, engine.length(h));
        engine.play(h, false);
        while (engine.state(h) != ChannelState::Stopped)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        double cpu = processCpuSeconds() - cpuBefore;
        perMinute = cpu / seconds * 60.0;
    }
    state.counters["cpu_s_per_audio_min"] = perMinute;
    figure("play_cpu_s_per_min", perMinute);
}

// A file stream over a 60-minute file, open for a second (its index built meanwhile), then seeks
// around 90 % as the position bar is dragged.
void BM_SeekLongFile(benchmark::State& state) {
    audio::Engine engine;
    if (!engine.openOutput(-1, 44100)) {
        state.SkipWithError("no output device (set SDL_AUDIODRIVER=dummy)");
        return;
    }
    ChannelHandle h = engine.openFile(files().longFile, OpenOptions{.autoFree = true});
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const std::int64_t length = engine.length(h);
    const std::int64_t step = 44100 * 4; // one second
    std::int64_t target = length / 10 * 9;
    int i = 0;
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        engine.seek(h, target + static_cast<std::int64_t>(i++ % 7) * step);
    }
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    state.counters["length_min"] = engine.seconds(h, length) / 60.0;
    figure("seek_ms", ms / static_cast<double>(state.iterations()));
}

} // namespace

BENCHMARK(BM_DecodeEngineVsBareLoop)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(12);
BENCHMARK(BM_PlaybackCpu)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_SeekLongFile)->Unit(benchmark::kMillisecond)->Iterations(200);

int main(int argc, char** argv) {
    if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    files();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (const char* path = std::getenv("ENGINE_BENCH_FIGURES")) {
        std::ofstream out(path);
        for (const auto& [name, value] : figures)
            out << name << ' ' << value << '\n';
    }
    return 0;
}
