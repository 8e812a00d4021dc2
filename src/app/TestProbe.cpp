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
    QObject::connect(&p_.s.fileList, &FileListModel::listingFinished, &timer_, [this] { ++fileListings_; });
    timer_.start();
    writeIfChanged();
}

QStringList TestProbe::stateLines() const {
    const PlayerState& s = p_.s;
    AudioEngine& audioEngine = p_.audioEngine();
    QStringList lines;
    const auto add = [&lines](const char* key, const QString& value) {
        lines << QString::fromLatin1(key) + u'=' + value;
    };
    // Positions as signed numbers, so "no stream" reads -1.
    const auto position = [&audioEngine](ChannelHandle h) {
        return QString::number(audioEngine.position(h));
    };
    add("playMode", QString::number(s.playMode));
    add("radioMode", QString::number(int(s.radioMode)));
    add("titleStrip", s.display.titleStrip.get());
    add("streamURL", s.streamURL);
    add("currentIndex", QString::number(s.currentIndex));
    add("fileActive", QString::number(int(audioEngine.state(s.fileStream))));
    add("filePosition", position(s.fileStream));
    add("radioActive", QString::number(int(audioEngine.state(s.radioChannel))));
    add("radioPosition", position(s.radioChannel));
    add("playButton",
        s.display.playButton.get() == PlayPicture::STOP ? QStringLiteral("STOP") : QStringLiteral("START"));
    add("songSelected", QString::number(s.songs.selected()));
    add("stationSelected", QString::number(s.stations.selected()));
    add("currentLoudness", QString::number(s.currentLoudness));
    add("volume", QString::number(audioEngine.gain()));
    add("volumeBar", QString::number(s.volumeBar.position()));
    add("levellingBox", QString::number(int(s.levellingBox.get())));
    add("currentFolder", s.currentFolder);
    add("fileListings", QString::number(fileListings_));
    for (int i = 0; i < s.fileList.count(); ++i)
        add("file", s.fileList.caption(i));
    for (const Song& song : s.songs.rows())
        add("song", song.path);
    for (const Song& song : s.songs.rows())
        add("loudness", song.loudness);
    for (const PlaylistEntry& entry : s.entries.rows())
        add("entry", entry.title + u'\t' + entry.url);
    return lines;
}

void TestProbe::writeIfChanged() {
    const QStringList lines = stateLines();
    if (lines == written_) return;
    try {
        writeTextLinesAtomic(file_, lines);
        written_ = lines;
    } catch (const RuntimeError&) {
        // A probe never disturbs the program; the next tick tries again.
    }
}
