#include "app/TestProbe.h"

#include "audio/AudioEngine.h"
#include "library/FileBrowser.h"
#include "library/SongListEditor.h"
#include "platform/RuntimeError.h"
#include "platform/TextFile.h"
#include "playback/ChannelControl.h"
#include "playback/VolumeControl.h"
#include "radio/RadioPlayback.h"
#include "radio/StationUpdate.h"

std::unique_ptr<TestProbe> TestProbe::fromEnvironment(const Parts& parts) {
    const QString file = qEnvironmentVariable("MP3ZX_TEST_STATE");
    if (file.isEmpty()) return nullptr;
    const int intervalMs = qEnvironmentVariableIntValue("MP3ZX_TEST_STATE_MS");
    return std::make_unique<TestProbe>(parts, file, intervalMs > 0 ? intervalMs : 100);
}

TestProbe::TestProbe(const Parts& parts, const QString& file, int intervalMs) : parts_(parts), file_(file) {
    timer_.setInterval(intervalMs);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { writeIfChanged(); });
    QObject::connect(&parts_.browser.fileList, &FileListModel::listingFinished, &timer_,
                     [this] { ++fileListings_; });
    timer_.start();
    writeIfChanged();
}

QStringList TestProbe::stateLines() const {
    AudioEngine& audioEngine = parts_.audioEngine;
    QStringList lines;
    const auto add = [&lines](const char* key, const QString& value) {
        lines << QString::fromLatin1(key) + u'=' + value;
    };
    // Positions as signed numbers, so "no stream" reads -1.
    const auto position = [&audioEngine](ChannelHandle h) {
        return QString::number(audioEngine.position(h));
    };
    add("playMode", QString::number(static_cast<int>(parts_.channel.playMode)));
    add("radioMode", QString::number(int(parts_.radio.radioMode)));
    add("titleStrip", parts_.channel.titleStrip.get());
    add("streamURL", parts_.radio.streamUrl);
    add("currentIndex", QString::number(parts_.songList.currentIndex));
    add("fileActive", QString::number(int(audioEngine.state(parts_.channel.fileStream))));
    add("filePosition", position(parts_.channel.fileStream));
    add("radioActive", QString::number(int(audioEngine.state(parts_.radio.radioChannel))));
    add("radioPosition", position(parts_.radio.radioChannel));
    add("playButton", parts_.channel.playButton.get() == PlayPicture::Stop ? QStringLiteral("STOP")
                                                                           : QStringLiteral("START"));
    add("songSelected", QString::number(parts_.songList.songs.selected()));
    add("stationSelected", QString::number(parts_.radio.stations.selected()));
    add("currentLoudness", QString::number(parts_.volume.currentLoudness));
    add("volume", QString::number(audioEngine.gain()));
    add("volumeBar", QString::number(parts_.volume.volumeBar.position()));
    add("levellingBox", QString::number(int(parts_.volume.levellingBox.get())));
    add("currentFolder", parts_.browser.currentFolder);
    add("fileListings", QString::number(fileListings_));
    for (int i = 0; i < parts_.browser.fileList.count(); ++i)
        add("file", parts_.browser.fileList.caption(i));
    for (const Song& song : parts_.songList.songs.rows())
        add("song", song.path);
    for (const Song& song : parts_.songList.songs.rows())
        add("loudness", song.loudness);
    for (const PlaylistEntry& entry : parts_.update.entries.rows())
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
