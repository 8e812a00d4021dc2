// Listing and sorting a large folder in the file list, with the longest time the event loop had to
// wait, against `ls -l` of the same folder. Give the folder with --dir=PATH (bench/filelist.sh makes
// one); without it a folder of 20,000 empty MP3 files is made in the temporary folder.

#include "ui/FileList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

namespace {

QString folder;

void setUpAsPlayer(FileListWidget& list) {
    list.resize(217, 150);
    list.files().setDisplayDirectory(false);
    list.files().setViewColumns({NameColumn, ModifiedColumn});
    list.files().setMask("*.mp3");
    list.setColumnWidth(0, 300);
    list.show();
}

// Measures the longest time between two turns of the event loop while work() runs, counting the
// time from its start to the first turn and from the last turn to its end.
template <class Work> double longestStallMs(Work work) {
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start();
    clock.start();
    work();
    longest = std::max(longest, clock.nsecsElapsed() - last);
    return static_cast<double>(longest) / 1e6;
}

void BM_ListAndSort(benchmark::State& state) {
    FileListWidget list;
    setUpAsPlayer(list);
    double worstStall = 0;
    for (auto _ : state) {
        worstStall = std::max(worstStall, longestStallMs([&] { list.files().setDirectory(folder); }));
        benchmark::DoNotOptimize(list.files().count());
    }
    state.counters["files"] = list.files().count();
    state.counters["max_stall_ms"] = worstStall;
}
BENCHMARK(BM_ListAndSort)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_SortByDate(benchmark::State& state) {
    FileListWidget list;
    setUpAsPlayer(list);
    list.files().setDirectory(folder);
    for (auto _ : state)
        list.files().setSortColumn(ModifiedColumn); // alternates the direction
    state.counters["files"] = list.files().count();
}
BENCHMARK(BM_SortByDate)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

void BM_LsL(benchmark::State& state) {
    const std::string command = "ls -l '" + folder.toStdString() + "' > /dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("ls -l failed");
}
BENCHMARK(BM_LsL)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Prints as usual and keeps the times, for the ratio at the end.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (!r.error_occurred) realMs[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> realMs;
};

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);

    std::unique_ptr<QTemporaryDir> made;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("--dir=", 0) == 0) folder = QString::fromLocal8Bit(argv[i] + 6);
    if (folder.isEmpty()) {
        made = std::make_unique<QTemporaryDir>();
        folder = made->path();
        for (int i = 0; i < 20000; ++i)
            QFile(folder + QString("/song %1.mp3").arg(i, 5, 10, QChar('0'))).open(QIODevice::WriteOnly);
        std::printf("folder: %s\n", qPrintable(folder));
    }

    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double list = reporter.realMs["BM_ListAndSort/min_time:2.000/real_time"];
    const double ls = reporter.realMs["BM_LsL/min_time:2.000/real_time"];
    if (list > 0 && ls > 0) std::printf("listing and sorting / ls -l: %.2f\n", list / ls);
    return 0;
}
