// The long run behind bench/soak.sh: the player over the real audio engine, first listening to a
// local icecast2 station whose server and source are taken away and brought back again and again,
// then taking in thousands of songs, playing, reordering and removing them. Meanwhile it samples its
// resident memory and the longest time the event loop stood still, prints them and checks them
// against the bounds it was given. Exit code 0: within the bounds; 1: outside; 2: could not run.
//
//   soak_driver --work DIR [--radio-seconds 600] [--restart-seconds 60] [--songs 10000]
//               [--max-growth-mib 200] [--end-growth-mib 64] [--max-stall-ms 2000]

#include "audio/Engine.h"
#include "support/EngineHarness.h"
#include "support/Fakes.h"
#include "support/IcecastStation.h"
#include "support/Mp3Fixtures.h"

#include "app/Player.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <random>
#include <thread>
#include <unistd.h>

namespace {

struct Options {
    QString work;
    int radioSeconds = 600;
    int restartSeconds = 60;
    int songs = 10000;
    qint64 maxGrowthMiB = 200;
    qint64 endGrowthMiB = 64;
    qint64 maxStallMs = 2000;
};

qint64 residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Samples memory and the event loop's gaps for the whole run.
class Monitor {
public:
    Monitor() {
        clock_.start();
        beat_.setInterval(10);
        QObject::connect(&beat_, &QTimer::timeout, [this] { tick(); });
        beat_.start();
        startKiB_ = maxKiB_ = residentKiB();
    }
    void tick() {
        const qint64 now = clock_.elapsed();
        if (last_ >= 0) longestGapMs_ = std::max(longestGapMs_, now - last_);
        last_ = now;
        if (now - lastSample_ >= 100) {
            lastSample_ = now;
            maxKiB_ = std::max(maxKiB_, residentKiB());
        }
    }
    // The gap measured from here on (setup work before it does not count).
    void resetGaps() {
        last_ = -1;
        longestGapMs_ = 0;
    }
    qint64 startKiB_ = 0;
    qint64 maxKiB_ = 0;
    qint64 longestGapMs_ = 0;

private:
    QElapsedTimer clock_;
    QTimer beat_;
    qint64 last_ = -1;
    qint64 lastSample_ = 0;
};

// Lets the event loop run until cond holds or seconds pass.
bool runUntil(const std::function<bool()>& cond, int seconds) {
    QElapsedTimer clock;
    clock.start();
    while (!cond()) {
        if (clock.elapsed() > seconds * 1000LL) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

void runFor(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
}

void say(const QString& text) {
    std::cout << text.toStdString() << std::endl;
}

// The station's server and source, started, restarted every so often and stopped on a thread of
// their own (their processes belong to it), so the player's event loop is measured and not the
// waits for icecast2.
struct RestartLoop {
    std::atomic<bool> stop{false};
    std::atomic<int> state{0}; // 0 starting, 1 up, -1 did not come up
    std::atomic<int> restarts{0};
    std::atomic<int> failures{0};
    std::thread thread;

    void run(IcecastStation& station, int restartSeconds) {
        thread = std::thread([this, &station, restartSeconds] {
            QString error;
            if (!station.startServer(&error) || !station.startSource(&error)) {
                std::cerr << "soak: icecast2 did not come up: " << error.toStdString() << "\n"
                          << station.diagnostics().toStdString() << std::endl;
                state = -1;
                return;
            }
            state = 1;
            while (!stop) {
                for (int waited = 0; waited < restartSeconds * 10 && !stop; ++waited)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                if (stop) break;
                station.stopSource();
                station.stopServer();
                std::this_thread::sleep_for(std::chrono::seconds(2));
                if (!station.startServer(&error) || !station.startSource(&error)) {
                    ++failures;
                    std::cerr << "soak: station restart failed: " << error.toStdString() << std::endl;
                }
                ++restarts;
            }
            station.stopSource();
            station.stopServer();
        });
    }
    void finish() {
        stop = true;
        if (thread.joinable()) thread.join();
    }
};

int radioPhase(EngineHarness& h, const Options& o, const QStringList& stationFiles) {
    const QString folder = o.work + QStringLiteral("/station");
    QDir().mkpath(folder);
    IcecastStation station(folder, stationFiles);
    RestartLoop restarts;
    restarts.run(station, o.restartSeconds);
    while (restarts.state == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (restarts.state < 0) {
        restarts.finish();
        return 2;
    }
    Player& s = h.player;
    s.radio.stations.append({QStringLiteral("Soak"), station.mountUrl()});
    s.radio.stations.setSelected(0);
    h.player.radio.toggleRadioMode();
    if (!runUntil([&] { return h.audioEngine.state(s.radio.radioChannel) == ChannelState::Playing; }, 60)) {
        std::cerr << "soak: the station does not play" << std::endl;
        restarts.finish();
        return 2;
    }
    QElapsedTimer clock;
    clock.start();
    qint64 playingSamples = 0;
    qint64 samples = 0;
    int titles = 0;
    QString lastTitle;
    while (clock.elapsed() < o.radioSeconds * 1000LL) {
        runFor(500);
        ++samples;
        if (h.audioEngine.state(s.radio.radioChannel) == ChannelState::Playing) ++playingSamples;
        if (s.channel.titleStrip.get() != lastTitle) {
            lastTitle = s.channel.titleStrip.get();
            ++titles;
        }
    }
    // After the last restart the player finds the station again by itself.
    const bool recovered =
        runUntil([&] { return h.audioEngine.state(s.radio.radioChannel) == ChannelState::Playing; }, 90);
    restarts.finish();
    say(QStringLiteral("radio: %1 s, %2 restarts of the station (%3 failed), playing in %4 % of the samples, "
                       "%5 changes of the title line, playing again after the last restart: %6")
            .arg(o.radioSeconds)
            .arg(restarts.restarts.load())
            .arg(restarts.failures.load())
            .arg(samples ? 100 * playingSamples / samples : 0)
            .arg(titles)
            .arg(recovered ? QStringLiteral("yes") : QStringLiteral("NO")));
    h.player.radio.toggleRadioMode(); // back to MP3 mode: the radio stops
    h.audioEngine.stop(s.radio.radioChannel);
    return recovered ? 0 : 1;
}

int songPhase(EngineHarness& h, const Options& o, const QString& song) {
    Player& s = h.player;
    const QString folder = o.work + QStringLiteral("/songs");
    QDir().mkpath(folder);
    QStringList paths;
    for (int i = 0; i < o.songs; ++i) {
        const QString path = folder + QStringLiteral("/Lied %1.mp3").arg(i, 5, 10, QChar(u'0'));
        const QByteArray from = QFile::encodeName(song);
        const QByteArray to = QFile::encodeName(path);
        if (::link(from.constData(), to.constData()) != 0 && !QFile::copy(song, path)) {
            std::cerr << "soak: cannot make " << path.toStdString() << std::endl;
            return 2;
        }
        paths << path;
    }
    std::mt19937 random(4711);
    // Added in slices, as a user's "alle" on big folders would, each song measured as it enters.
    s.volume.levellingBox = true;
    QElapsedTimer clock;
    clock.start();
    for (const QString& path : paths) {
        h.player.songList.addSong(path);
        QCoreApplication::processEvents();
    }
    const qint64 addMs = clock.elapsed();
    if (s.songList.songs.count() != o.songs) {
        std::cerr << "soak: " << s.songList.songs.count() << " of " << o.songs << " songs in the list"
                  << std::endl;
        return 1;
    }
    // A few songs play to their ends by themselves, the rest are stepped through with "vor".
    const bool played = runUntil([&] { return s.songList.currentIndex >= 3; }, 120);
    const int steps = std::min(o.songs - 10, 2000);
    for (int i = 0; i < steps; ++i) {
        h.player.seq.nextButtonClicked();
        if (s.channel.playMode != PlayMode::Song) h.player.seq.playSelected();
        if (i % 20 == 0) runFor(5);
    }
    // Reordering: rows dragged within the visible part of the list, the list scrolled at random.
    const int drags = std::min(o.songs, 2000);
    for (int i = 0; i < drags; ++i) {
        h.window.topIndex = std::uniform_int_distribution<int>(0, s.songList.songs.count() - 12)(random);
        const int fromY = std::uniform_int_distribution<int>(0, 11)(random) * songRowHeight + 3;
        const int toY = std::uniform_int_distribution<int>(0, 11)(random) * songRowHeight + 3;
        s.songList.songs.setSelected(h.window.topIndex + fromY / songRowHeight);
        h.player.songList.onSongListPress(fromY);
        h.player.songList.onSongListMove(true, 100, toY);
        h.player.songList.onSongListRelease(100, toY == fromY ? toY + 1 : toY);
        if (i % 50 == 0) runFor(5);
    }
    // Removing every row, one at a time, the playing one among them.
    h.window.topIndex = 0;
    while (s.songList.songs.count() > 0) {
        const int y =
            std::uniform_int_distribution<int>(0, std::min(11, s.songList.songs.count() - 1))(random) *
                songRowHeight +
            3;
        h.player.songList.onSongListMove(false, 1, y);
        h.player.songList.onSongListRelease(0, y);
        if (s.songList.songs.count() % 100 == 0) runFor(5);
    }
    runUntil([&] { return h.audioEngine.state(s.channel.fileStream) != ChannelState::Playing; }, 30);
    say(QStringLiteral(
            "songs: %1 added and measured in %2 s, %3 played to their end by themselves%4, %5 stepped "
            "through, %6 drags, all removed; error messages: %7")
            .arg(o.songs)
            .arg(addMs / 1000.0, 0, 'f', 1)
            .arg(played ? QStringLiteral("3") : QStringLiteral("NOT"))
            .arg(QString())
            .arg(steps)
            .arg(drags)
            .arg(h.dialogs.errors.size()));
    return played && h.dialogs.errors.isEmpty() ? 0 : 1;
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString key = QString::fromLocal8Bit(argv[i]);
        const QString value = QString::fromLocal8Bit(argv[i + 1]);
        if (key == u"--work")
            o.work = value;
        else if (key == u"--radio-seconds")
            o.radioSeconds = value.toInt();
        else if (key == u"--restart-seconds")
            o.restartSeconds = value.toInt();
        else if (key == u"--songs")
            o.songs = value.toInt();
        else if (key == u"--max-growth-mib")
            o.maxGrowthMiB = value.toLongLong();
        else if (key == u"--end-growth-mib")
            o.endGrowthMiB = value.toLongLong();
        else if (key == u"--max-stall-ms")
            o.maxStallMs = value.toLongLong();
        else
            return false;
    }
    return !o.work.isEmpty() && o.songs >= 20 && o.restartSeconds > 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Options o;
    if (!parse(argc, argv, o)) {
        std::cerr
            << "usage: soak_driver --work DIR [--radio-seconds N] [--restart-seconds N] [--songs N>=20]\n"
               "                   [--max-growth-mib N] [--end-growth-mib N] [--max-stall-ms N]\n";
        return 2;
    }
    if (!IcecastStation::missingTools().isEmpty() || !fixtures::haveLame()) {
        std::cerr << "soak: missing tools: " << IcecastStation::missingTools().toStdString()
                  << (fixtures::haveLame() ? "" : " lame") << std::endl;
        return 2;
    }
    qputenv("no_proxy", "127.0.0.1");
    // Two station tracks with titles, and one short song that the song list holds many times over.
    QStringList stationFiles;
    for (int i = 0; i < 2; ++i) {
        const QString path = o.work + QStringLiteral("/track%1.mp3").arg(i);
        fixtures::LameOptions lame;
        lame.extraArguments = {"--tt", "Titel " + std::to_string(i), "--ta", "Soak", "--add-id3v2"};
        if (!fixtures::makeMp3(path.toStdString(), {.frequency = 330.0 + 110 * i, .seconds = 20}, lame))
            return 2;
        stationFiles << path;
    }
    const QString song = o.work + QStringLiteral("/song.mp3");
    if (!fixtures::makeMp3(song.toStdString(), {.frequency = 550, .seconds = 0.6})) return 2;

    EngineHarness h;
    h.window.duringEvents = [] { QCoreApplication::processEvents(); };
    if (!h.audioEngine.openOutput(-1, 44100)) {
        std::cerr << "soak: the engine did not start (SDL_AUDIODRIVER=dummy?)" << std::endl;
        return 2;
    }
    Monitor monitor;
    runFor(200);
    monitor.resetGaps();
    monitor.startKiB_ = monitor.maxKiB_ = residentKiB();

    int result = radioPhase(h, o, stationFiles);
    const qint64 afterRadioKiB = residentKiB();
    const qint64 radioStallMs = monitor.longestGapMs_;
    monitor.resetGaps();
    if (result != 2) result = std::max(result, songPhase(h, o, song));
    runFor(1000);
    monitor.tick();
    const qint64 endKiB = residentKiB();
    monitor.maxKiB_ = std::max(monitor.maxKiB_, endKiB);

    const qint64 growth = (monitor.maxKiB_ - monitor.startKiB_) / 1024;
    const qint64 endGrowth = (endKiB - monitor.startKiB_) / 1024;
    const bool memoryOk = growth <= o.maxGrowthMiB && endGrowth <= o.endGrowthMiB;
    const qint64 songStallMs = monitor.longestGapMs_;
    const qint64 longestStallMs = std::max(radioStallMs, songStallMs);
    const bool stallOk = longestStallMs <= o.maxStallMs;
    say(QStringLiteral(
            "memory (RSS): start %1 MiB, after the radio %2 MiB, end %3 MiB, max %4 MiB; bounds: max "
            "<= start + %5 MiB, end <= start + %6 MiB: %7")
            .arg(monitor.startKiB_ / 1024)
            .arg(afterRadioKiB / 1024)
            .arg(endKiB / 1024)
            .arg(monitor.maxKiB_ / 1024)
            .arg(o.maxGrowthMiB)
            .arg(o.endGrowthMiB)
            .arg(memoryOk ? QStringLiteral("ok") : QStringLiteral("EXCEEDED")));
    say(QStringLiteral("longest event-loop stall: %1 ms (radio %4 ms, songs %5 ms); bound %2 ms: %3")
            .arg(longestStallMs)
            .arg(o.maxStallMs)
            .arg(stallOk ? QStringLiteral("ok") : QStringLiteral("EXCEEDED"))
            .arg(radioStallMs)
            .arg(songStallMs));
    if (result == 0 && !(memoryOk && stallOk)) result = 1;
    say(result == 0 ? QStringLiteral("soak: PASS") : QStringLiteral("soak: FAIL"));
    return result;
}
