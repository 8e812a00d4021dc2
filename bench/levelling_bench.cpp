// The loudness measurement of one song (measureLoudness through the audio engine) against a bare libmpg123
// measurement of the same four excerpts (one decoder handle, a buffered range reader), and entering
// 1000 songs with levelling on: the total time and the longest time the event loop had to wait,
// seen by a 1 ms timer on the GUI thread. The songs are made with lame at start (bench/levelling.sh).

#include "app/Player.h"
#include "audio/Engine.h"
#include "platform/EventLoop.h"
#include "support/BareLoudness.h"
#include "support/Fakes.h"
#include "support/Mp3Fixtures.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int songCount = 1000;
std::vector<std::string> songs; // distinct MP3 files
std::vector<QString> manySongs; // songCount names, hard links to those files

// A window whose event-loop pass is the real one, as in the program.
class LiveWindow : public FakeWindow {
public:
    void yieldToEvents() override { ::yieldToEvents(); }
};

// A player over the real engine (the SDL output of SDL_AUDIODRIVER, dummy by default).
struct Rig {
    audio::Engine audioEngine;
    FakeMixer mixer;
    FakeHotKeys hotKeys;
    FakeDialogs dialogs;
    LiveWindow window;
    Player player{Services{audioEngine, mixer, hotKeys, dialogs, window}};
    bool ready = audioEngine.openOutput(-1, 44100) != 0;
};

// The gaps between two ticks of a 1 ms timer while work() runs, counting from its start to the first
// tick and from the last tick to its end: the longest one, and the one that 99 % stay below.
struct Stalls {
    double longestMs = 0;
    double p99Ms = 0;
};
template <class Work> Stalls eventLoopStalls(Work work) {
    QElapsedTimer clock;
    qint64 last = 0;
    std::vector<qint64> gaps;
    gaps.reserve(1 << 16);
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        gaps.push_back(now - last);
        last = now;
    });
    tick.start();
    clock.start();
    work();
    gaps.push_back(clock.nsecsElapsed() - last);
    std::sort(gaps.begin(), gaps.end());
    return {static_cast<double>(gaps.back()) / 1e6, static_cast<double>(gaps[gaps.size() * 99 / 100]) / 1e6};
}

void BM_MeasureLoudness(benchmark::State& state) {
    Rig rig;
    if (!rig.ready) {
        state.SkipWithError("the engine's output did not open");
        return;
    }
    SongList& list = rig.player.songList.songs;
    for (const std::string& path : songs)
        list.append({QStringLiteral("t"), QString::fromStdString(path), QStringLiteral("x")});
    std::size_t i = 0;
    for (auto _ : state) {
        const int row = static_cast<int>(i++ % songs.size());
        list.setLoudness(row, QStringLiteral("x"));
        rig.player.loudness.measureLoudness(row);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MeasureLoudness)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(3.0);

void BM_BareMeasure(benchmark::State& state) {
    bare::ExcerptDecoder decoder;
    std::vector<float> samples;
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(bare::measure(decoder, songs[i++ % songs.size()], samples));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareMeasure)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(3.0);

double threadCpuUs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// measureLoudness, the engine's calls alone and the bare measurement of the same song, one after the other
// in every iteration, so a load that comes and goes on a shared machine weighs on all alike. The ratio of
// their thread CPU times is the figure to compare with the target.
void BM_MeasureLoudnessVsBare(benchmark::State& state) {
    Rig rig;
    if (!rig.ready) {
        state.SkipWithError("the engine's output did not open");
        return;
    }
    SongList& list = rig.player.songList.songs;
    for (const std::string& path : songs)
        list.append({QStringLiteral("t"), QString::fromStdString(path), QStringLiteral("x")});
    bare::ExcerptDecoder decoder;
    std::vector<float> samples(12'500);
    std::vector<std::int64_t> steps;
    for (const std::string& path : songs)
        steps.push_back(fixtures::fileSize(path) / 5);
    double measureUs = 0, engineUs = 0, bareUs = 0;
    auto timed = [](double& total, auto work) {
        const double start = threadCpuUs();
        work();
        total += threadCpuUs() - start;
    };
    std::size_t i = 0;
    for (auto _ : state) {
        const std::size_t song = i % songs.size();
        auto runMeasure = [&] {
            list.setLoudness(static_cast<int>(song), QStringLiteral("x"));
            rig.player.loudness.measureLoudness(static_cast<int>(song));
        };
        // The engine's calls alone, as measureLoudness makes them.
        auto runEngine = [&] {
            for (std::uint64_t k = 1; k <= 4; ++k) {
                const OpenOptions excerpt{.offset = k * steps[song],
                                          .length = 100'000,
                                          .decodeOnly = true,
                                          .mono = true,
                                          .floatSamples = true,
                                          .prescan = true,
                                          .autoFree = true};
                const ChannelHandle h = rig.audioEngine.openFile(songs[song], excerpt);
                benchmark::DoNotOptimize(rig.audioEngine.read(h, samples.data(), 50'000));
                rig.audioEngine.release(h);
            }
        };
        auto runBare = [&] { benchmark::DoNotOptimize(bare::measure(decoder, songs[song], samples)); };
        // The order turns, so no one of them always finds the caches as another one left them.
        switch (i++ % 3) {
        case 0:
            timed(measureUs, runMeasure), timed(engineUs, runEngine), timed(bareUs, runBare);
            break;
        case 1:
            timed(engineUs, runEngine), timed(bareUs, runBare), timed(measureUs, runMeasure);
            break;
        default:
            timed(bareUs, runBare), timed(measureUs, runMeasure), timed(engineUs, runEngine);
            break;
        }
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["measure_cpu_us"] = measureUs / n;
    state.counters["engine_cpu_us"] = engineUs / n;
    state.counters["bare_cpu_us"] = bareUs / n;
    state.counters["ratio"] = bareUs > 0 ? measureUs / bareUs : 0;
}
BENCHMARK(BM_MeasureLoudnessVsBare)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(5.0);

void BM_Enter1000Songs(benchmark::State& state) {
    Rig rig;
    if (!rig.ready) {
        state.SkipWithError("the engine's output did not open");
        return;
    }
    Player& s = rig.player;
    Stalls worst;
    for (auto _ : state) {
        state.PauseTiming();
        rig.audioEngine.release(s.channel.fileStream);
        s.channel.fileStream = {};
        s.channel.playMode = PlayMode::Idle;
        s.songList.songs.clear();
        s.volume.levellingBox = true;
        state.ResumeTiming();
        const Stalls stalls = eventLoopStalls([&] {
            for (const QString& path : manySongs)
                rig.player.songList.addSong(path);
        });
        worst.longestMs = std::max(worst.longestMs, stalls.longestMs);
        worst.p99Ms = std::max(worst.p99Ms, stalls.p99Ms);
    }
    if (s.songList.songs.count() != songCount ||
        s.songList.songs.loudness(songCount - 1) == QStringLiteral("x"))
        state.SkipWithError("the songs were not all entered and measured");
    state.counters["max_stall_ms"] = worst.longestMs;
    state.counters["p99_gap_ms"] = worst.p99Ms;
}
BENCHMARK(BM_Enter1000Songs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Prints as usual and keeps the times and counters, for the summary at the end.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so the script's output reads cleanly in a log.
    RecordingReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.error_occurred) continue;
            realTime[r.run_name.function_name] = r.GetAdjustedRealTime();
            cpuTime[r.run_name.function_name] = r.GetAdjustedCPUTime();
            for (const auto& [name, counter] : r.counters)
                counters[r.run_name.function_name + "/" + name] = counter.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> realTime;
    std::map<std::string, double> cpuTime;
    std::map<std::string, double> counters;
};

// Distinct songs of 40 seconds: sines, a square and noise at several levels, constant and variable
// bitrate, so the excerpts meet different frames.
bool makeSongs(const fixtures::TempDir& dir) {
    using fixtures::Signal;
    using fixtures::Waveform;
    const std::vector<std::pair<Signal, fixtures::LameOptions>> kinds = {
        {{.frequency = 440, .amplitude = 0.5, .seconds = 40}, {}},
        {{.frequency = 1000, .amplitude = 0.9, .seconds = 40}, {.bitrateKbps = 192}},
        {{.waveform = Waveform::Square, .frequency = 110, .amplitude = 0.7, .seconds = 40}, {}},
        {{.waveform = Waveform::Noise, .amplitude = 0.6, .seconds = 40}, {.vbrQuality = 2}},
        {{.frequency = 220, .amplitude = 0.3, .seconds = 40}, {.bitrateKbps = 320}},
        {{.waveform = Waveform::Noise, .amplitude = 0.3, .seconds = 40, .seed = 7}, {}},
    };
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        const std::string path = dir.file("song" + std::to_string(i) + ".mp3");
        std::string error;
        if (!fixtures::makeMp3(path, kinds[i].first, kinds[i].second, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
        songs.push_back(path);
    }
    for (int i = 0; i < songCount; ++i) {
        const std::string name = dir.file("many/" + std::to_string(i) + ".mp3");
        if (i == 0 && ::mkdir(dir.file("many").c_str(), 0700) != 0) return false;
        if (::link(songs[static_cast<std::size_t>(i) % songs.size()].c_str(), name.c_str()) != 0)
            return false;
        manySongs.push_back(QString::fromStdString(name));
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
    QApplication app(argc, argv);
    if (!fixtures::haveLame()) {
        std::fprintf(stderr, "%s\n", fixtures::missingLameMessage().c_str());
        return 1;
    }
    fixtures::TempDir dir;
    if (!makeSongs(dir)) return 1;

    // Both measurements must give the same values before their speeds are compared.
    {
        Rig rig;
        bare::ExcerptDecoder decoder;
        std::vector<float> samples;
        for (const std::string& path : songs) {
            rig.player.songList.songs.append(
                {QStringLiteral("t"), QString::fromStdString(path), QStringLiteral("x")});
            const int row = rig.player.songList.songs.count() - 1;
            rig.player.loudness.measureLoudness(row);
            const int bareValue = bare::measure(decoder, path, samples);
            std::printf("%s: measureLoudness %s, bare %d\n", path.c_str(),
                        qPrintable(rig.player.songList.songs.loudness(row)), bareValue);
            if (rig.player.songList.songs.loudness(row) != QString::number(bareValue))
                std::printf("  VALUES DIFFER\n");
        }
    }

    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    // CPU times as well: on a loaded machine the wall-clock times mostly measure the waiting.
    for (const auto* times : {&reporter.realTime, &reporter.cpuTime}) {
        const double measureLoudness =
            times->count("BM_MeasureLoudness") ? times->at("BM_MeasureLoudness") : 0;
        const double bareTime = times->count("BM_BareMeasure") ? times->at("BM_BareMeasure") : 0;
        if (measureLoudness > 0 && bareTime > 0)
            std::printf(
                "%s: measureLoudness %.3f ms per song, bare libmpg123 %.3f ms: ratio %.2f (target <= 1.2)\n",
                times == &reporter.realTime ? "wall clock" : "CPU", measureLoudness / 1000, bareTime / 1000,
                measureLoudness / bareTime);
    }
    if (reporter.counters.count("BM_MeasureLoudnessVsBare/ratio"))
        std::printf("interleaved, thread CPU: measureLoudness %.3f ms per song, the engine's calls alone "
                    "%.3f ms, bare "
                    "libmpg123 %.3f ms: measureLoudness / bare %.2f (target <= 1.2), engine / bare %.2f\n",
                    reporter.counters["BM_MeasureLoudnessVsBare/measure_cpu_us"] / 1000,
                    reporter.counters["BM_MeasureLoudnessVsBare/engine_cpu_us"] / 1000,
                    reporter.counters["BM_MeasureLoudnessVsBare/bare_cpu_us"] / 1000,
                    reporter.counters["BM_MeasureLoudnessVsBare/ratio"],
                    reporter.counters["BM_MeasureLoudnessVsBare/engine_cpu_us"] /
                        reporter.counters["BM_MeasureLoudnessVsBare/bare_cpu_us"]);
    const double enter = reporter.realTime["BM_Enter1000Songs"];
    if (enter > 0)
        std::printf("entering %d songs with levelling on: %.0f ms (%.2f ms per song, CPU %.2f ms), longest "
                    "event-loop "
                    "stall %.2f ms, 99 %% of the gaps below %.2f ms\n",
                    songCount, enter, enter / songCount, reporter.cpuTime["BM_Enter1000Songs"] / songCount,
                    reporter.counters["BM_Enter1000Songs/max_stall_ms"],
                    reporter.counters["BM_Enter1000Songs/p99_gap_ms"]);
    return 0;
}
