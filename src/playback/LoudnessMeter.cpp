#include "playback/LoudnessMeter.h"

#include "app/Player.h"
#include "platform/FileSystem.h"

#include <cmath>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr DWORD excerptFlags =
    BASS_STREAM_DECODE | BASS_STREAM_AUTOFREE | BASS_STREAM_PRESCAN | BASS_SAMPLE_FLOAT | BASS_SAMPLE_MONO;
constexpr QWORD excerptBytes = 100000;
constexpr DWORD fetchBytes = 50000;

// The file's size, taken by opening it for reading. Only a regular file counts as opened: a folder
// has no song in it, and opening a named pipe would block the window until a writer came along
// (O_NONBLOCK keeps even that open from waiting).
std::optional<QWORD> fileSize(const QString& path) {
    const int fd = ::open(pathBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!ok) return std::nullopt;
    return static_cast<QWORD>(st.st_size);
}

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

std::optional<int> measureLoudness(IBass& bass, const QString& path, std::vector<float>& buffer) {
    const std::optional<QWORD> size = fileSize(path);
    if (!size) return std::nullopt;
    buffer.resize(fetchBytes / sizeof(float));
    const QWORD step = *size / 5;
    const QByteArray name = pathBytes(path);
    std::int64_t total = 0;
    for (QWORD k = 1; k <= 4; ++k) {
        const HSTREAM excerpt =
            bass.BASS_StreamCreateFile(0, name.constData(), k * step, excerptBytes, excerptFlags);
        if (excerpt == 0) continue;
        const DWORD got = bass.BASS_ChannelGetData(excerpt, buffer.data(), fetchBytes);
        bass.BASS_StreamFree(excerpt);
        if (got == BASS_ERROR_DWORD) continue;
        total += excerptLoudness(buffer.data(), got / sizeof(float));
    }
    return static_cast<int>(total / 4);
}

void LoudnessMeter::lauttest(int index) {
    SongList& songs = p_.s.songs;
    if (!songs.isRow(index) || songs.LautLB(index) != QStringLiteral("x")) return;
    const std::optional<int> loudness = measureLoudness(p_.bass(), songs.dateinamenLB(index), buffer_);
    if (!loudness) {
        p_.songList.removeUnplayable(index);
        return;
    }
    songs.setLautLB(index, QString::number(*loudness));
}
