#include "app/TestProbe.h"

#include "app/Player.h"
#include "platform/RuntimeError.h"
#include "platform/TextFile.h"

std::unique_ptr<TestProbe> TestProbe::fromEnvironment(Player& player) {
    const QString file = qEnvironmentVariable("MP3ZX_TEST_STATE");
    if (file.isEmpty()) return nullptr;
    const int intervalMs = qEnvironmentVariableIntValue("MP3ZX_TEST_STATE_MS");
    return std::make_unique<TestProbe>(player, file, intervalMs > 0 ? intervalMs : 100);
}

TestProbe::TestProbe(Player& player, const QString& file, int intervalMs) : p_(player), file_(file) {
    timer_.setInterval(intervalMs);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { writeIfChanged(); });
    QObject::connect(&p_.browser.fileList, &FileListModel::listingFinished, &timer_,
                     [this] { ++fileListings_; });
    timer_.start();
    writeIfChanged();
}

QStringList TestProbe::stateLines() const {
    AudioEngine& audioEngine = p_.audioEngine();
    QStringList lines;
    const auto add = [&lines](const char* key, const QString& value) {
        lines << QString::fromLatin1(key) + u'=' + value;
    };
    // Positions as signed numbers, so "no stream" reads -1.
    const auto position = [&audioEngine](ChannelHandle h) {
        return QString::number(audioEngine.position(h));
    };
    add("playMode", QString::number(static_cast<int>(p_.channel.playMode)));
    add("radioMode", QString::number(int(p_.radio.radioMode)));
    add("titleStrip", p_.channel.titleStrip.get());
    add("streamURL", p_.radio.streamUrl);
    add("currentIndex", QString::number(p_.songList.currentIndex));
    add("fileActive", QString::number(int(audioEngine.state(p_.channel.fileStream))));
    add("filePosition", position(p_.channel.fileStream));
    add("radioActive", QString::number(int(audioEngine.state(p_.radio.radioChannel))));
    add("radioPosition", position(p_.radio.radioChannel));
    add("playButton",
        p_.channel.playButton.get() == PlayPicture::Stop ? QStringLiteral("STOP") : QStringLiteral("START"));
    add("songSelected", QString::number(p_.songList.songs.selected()));
    add("stationSelected", QString::number(p_.radio.stations.selected()));
    add("currentLoudness", QString::number(p_.volume.currentLoudness));
    add("volume", QString::number(audioEngine.gain()));
    add("volumeBar", QString::number(p_.volume.volumeBar.position()));
    add("levellingBox", QString::number(int(p_.volume.levellingBox.get())));
    add("currentFolder", p_.browser.currentFolder);
    add("fileListings", QString::number(fileListings_));
    for (int i = 0; i < p_.browser.fileList.count(); ++i)
        add("file", p_.browser.fileList.caption(i));
    for (const Song& song : p_.songList.songs.rows())
        add("song", song.path);
    for (const Song& song : p_.songList.songs.rows())
        add("loudness", song.loudness);
    for (const PlaylistEntry& entry : p_.update.entries.rows())
        add("entry", entry.title + u'\t' + entry.url);
    return lines;
}

void TestProbe::writeIfChanged() {
    const QStringList lines = stateLines();
    if (lines == written_) return;
    try {
        // Read by a test while the program runs, never after a power cut: no wait for the disk, which
        // takes seconds when builds beside the tests keep it busy.
        writeTextLinesAtomic(file_, lines, DiskSync::Skip);
        written_ = lines;
    } catch (const RuntimeError&) {
        // A probe never disturbs the program; the next tick tries again.
    }
}
