#include "playback/LoudnessMeter.h"

#include "audio/AudioEngine.h"
#include "audio/AudioSpan.h"
#include "library/SongListEditor.h"
#include "platform/FileSystem.h"

#include <cmath>
#include <optional>

namespace {

constexpr std::uint64_t excerptBytes = 100000;
constexpr std::size_t fetchBytes = 50000;

} // namespace

std::int64_t excerptLoudness(const float* samples, std::size_t count) {
    std::int64_t n = 0;
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double magnitude = std::fabs(static_cast<double>(samples[i]));
        if (magnitude > 0.2) {
            ++n;
            sum += magnitude;
        }
    }
    return std::llrint(100.0 * sum) / (n + 1);
}

std::optional<int> measureFileLoudness(AudioEngine& audioEngine, const QString& path,
                                       std::vector<float>& buffer) {
    // Only a regular file counts as opened: a folder holds no song, and a named pipe is never waited
    // for. The excerpts lie in the audio, so tags at either end (a cover picture may be the larger
    // part of the file) are never measured; a file without tags measures over its whole size.
    const std::string file = pathBytes(path).toStdString();
    const std::optional<audio::AudioSpan> span = audio::findAudioSpan(file);
    if (!span) return std::nullopt;
    buffer.resize(fetchBytes / sizeof(float));
    const std::uint64_t step = span->size() / 5;
    std::int64_t total = 0;
    for (std::uint64_t k = 1; k <= 4; ++k) {
        const OpenOptions excerptOptions{.offset = span->begin + k * step,
                                         .length = excerptBytes,
                                         .decodeOnly = true,
                                         .mono = true,
                                         .floatSamples = true,
                                         .prescan = true,
                                         .autoFree = true};
        const ChannelHandle excerpt = audioEngine.openFile(file, excerptOptions);
        if (!excerpt) continue;
        const std::int64_t got = audioEngine.read(excerpt, buffer.data(), fetchBytes);
        audioEngine.release(excerpt);
        if (got < 0) continue;
        total += excerptLoudness(buffer.data(), static_cast<std::size_t>(got) / sizeof(float));
    }
    return static_cast<int>(total / 4);
}

void LoudnessMeter::measureLoudness(int index) {
    SongList& songs = songList_.songs;
    if (!songs.isRow(index) || songs.loudness(index) != QStringLiteral("x")) return;
    const std::optional<int> loudness = measureFileLoudness(audioEngine_, songs.path(index), buffer_);
    if (!loudness) {
        songList_.removeUnplayable(index);
        return;
    }
    songs.setLoudness(index, QString::number(*loudness));
}
