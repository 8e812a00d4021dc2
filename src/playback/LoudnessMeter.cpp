#include "playback/LoudnessMeter.h"

#include "app/Player.h"
#include "audio/AudioSpan.h"
#include "platform/FileSystem.h"

#include <cmath>
#include <optional>

namespace {

constexpr DWORD excerptFlags =
    BASS_STREAM_DECODE | BASS_STREAM_AUTOFREE | BASS_STREAM_PRESCAN | BASS_SAMPLE_FLOAT | BASS_SAMPLE_MONO;
constexpr QWORD excerptBytes = 100000;
constexpr DWORD fetchBytes = 50000;

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
    const QByteArray name = pathBytes(path);
    const std::optional<audio::AudioSpan> span = audio::findAudioSpan(name.toStdString());
    if (!span) return std::nullopt;
    buffer.resize(fetchBytes / sizeof(float));
    const QWORD step = span->size() / 5;
    std::int64_t total = 0;
    for (QWORD k = 1; k <= 4; ++k) {
        const ChannelHandle excerpt =
            audioEngine.openFile(0, name.constData(), span->begin + k * step, excerptBytes, excerptFlags);
        if (excerpt == 0) continue;
        const DWORD got = audioEngine.read(excerpt, buffer.data(), fetchBytes);
        audioEngine.release(excerpt);
        if (got == BASS_ERROR_DWORD) continue;
        total += excerptLoudness(buffer.data(), got / sizeof(float));
    }
    return static_cast<int>(total / 4);
}

void LoudnessMeter::measureLoudness(int index) {
    SongList& songs = p_.s.songs;
    if (!songs.isRow(index) || songs.loudness(index) != QStringLiteral("x")) return;
    const std::optional<int> loudness = measureFileLoudness(p_.audioEngine(), songs.path(index), buffer_);
    if (!loudness) {
        p_.songList.removeUnplayable(index);
        return;
    }
    songs.setLoudness(index, QString::number(*loudness));
}
