#include "platform/TextFile.h"

#include "platform/ByteText.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"

#include <QStringDecoder>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString decodeText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) return QString::fromLatin1(bytes);
    return text;
}

QStringList splitTextLines(const QByteArray& contents, bool stopAtCtrlZ) {
    QByteArray data = contents;
    if (stopAtCtrlZ) {
        const qsizetype eof = data.indexOf('\x1a');
        if (eof >= 0) data.truncate(eof);
    }
    QStringList lines;
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        const bool lastLine = end < 0;
        if (lastLine) end = data.size();
        qsizetype lineEnd = end;
        if (!lastLine && lineEnd > start && data[lineEnd - 1] == '\r') --lineEnd;
        lines << bytesToText(data.mid(start, lineEnd - start));
        start = end + 1;
    }
    return lines;
}

QStringList readTextLines(const QString& path, bool stopAtCtrlZ) {
    const int fd = ::open(pathBytes(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw InOutError(errno);
    QByteArray contents;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            throw InOutError(err);
        }
        if (n == 0) break;
        contents.append(buffer, n);
    }
    ::close(fd);
    return splitTextLines(contents, stopAtCtrlZ);
}

namespace {

void writeAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw InOutError(errno);
        }
        done += n;
    }
}

// The temporary files of earlier writes of the same file that were cut short (the process killed
// between creating and renaming them): they hold no data that was ever the file's, so they go.
void removeLeftovers(const QByteArray& folder, const QByteArray& prefix) {
    DIR* dir = ::opendir(folder.constData());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::size_t length = std::strlen(entry->d_name);
        if (length != static_cast<std::size_t>(prefix.size()) + 6 ||
            std::memcmp(entry->d_name, prefix.constData(), static_cast<std::size_t>(prefix.size())) != 0)
            continue;
        bool temporaryName = true;
        for (std::size_t i = static_cast<std::size_t>(prefix.size()); i < length; ++i) {
            const char c = entry->d_name[i];
            temporaryName =
                temporaryName && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'));
        }
        if (temporaryName) ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace

void writeTextLinesAtomic(const QString& path, const QStringList& lines) {
    QByteArray data;
    for (const QString& line : lines) {
        data += textToBytes(line);
        data += "\r\n";
    }
    const QByteArray target = pathBytes(path);
    if (target.isEmpty()) throw InOutError(ENOENT);
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? "." : slash == 0 ? "/" : target.left(slash);
    const QByteArray prefix = '.' + target.mid(slash + 1) + '.';
    removeLeftovers(folder, prefix);
    QByteArray temp = folder + '/' + prefix + "XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) throw InOutError(errno);
    try {
        writeAll(fd, data);
        if (::fsync(fd) != 0) throw InOutError(errno);
        // A replaced file keeps its permissions; a new one gets 0666 less the umask, like any new file.
        struct stat st {};
        mode_t mode = 0;
        if (::stat(target.constData(), &st) == 0) {
            mode = st.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        ::fchmod(fd, mode);
        const int closed = ::close(fd);
        fd = -1;
        if (closed != 0) throw InOutError(errno);
        if (::rename(temp.constData(), target.constData()) != 0) throw InOutError(errno);
    } catch (...) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.constData());
        throw;
    }
}

QString leftChars(const QString& s, qsizetype n) {
    if (n >= s.size()) return s;
    if (n <= 0) return QString();
    if (s[n - 1].isHighSurrogate()) --n;
    return s.left(n);
}
