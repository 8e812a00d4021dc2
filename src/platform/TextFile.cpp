#include "platform/TextFile.h"

#include "platform/ByteText.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"

#include <QStringDecoder>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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

bool isTemporaryName(const char* name, const QByteArray& prefix) {
    const std::size_t length = std::strlen(name);
    const auto prefixLength = static_cast<std::size_t>(prefix.size());
    if (length != prefixLength + 6 || std::memcmp(name, prefix.constData(), prefixLength) != 0) return false;
    for (std::size_t i = prefixLength; i < length; ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

// Whether a temporary belongs to no write still running: a writer holds a lock on its temporary until
// the rename, and the lock ends with the writer. Where the file system has no locks, only age tells.
bool abandoned(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EWOULDBLOCK) return false;
    constexpr time_t oneMinute = 60;
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_mtime < std::time(nullptr) - oneMinute;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev;
}

// The temporary files of earlier writes of the same file that were cut short (the process killed
// between creating and renaming them): they hold no data that was ever the file's, so they go. The
// temporary of a write that another process is doing right now stays.
void removeLeftovers(const QByteArray& folder, const QByteArray& prefix) {
    DIR* dir = ::opendir(folder.constData());
    if (!dir) return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!isTemporaryName(entry->d_name, prefix)) continue;
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat opened {};
        struct stat named {};
        // Removed by name, so only while the name still is the file found abandoned.
        if (abandoned(fd) && ::fstat(fd, &opened) == 0 &&
            ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(opened, named))
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

// A new temporary file from pattern (ending in XXXXXX), locked for this write. Another write's
// cleaning may take the file in the moment between its creation and the lock; it is then gone, and
// another one is made.
int createLockedTemporary(QByteArray& name, const QByteArray& pattern) {
    for (;;) {
        name = pattern;
        const int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) throw InOutError(errno);
        // Without locks (some network file systems) the write goes on as it is.
        if (::flock(fd, LOCK_EX) != 0) return fd;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || st.st_nlink > 0) return fd;
        ::close(fd);
    }
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
    QByteArray temp;
    int fd = createLockedTemporary(temp, folder + '/' + prefix + "XXXXXX");
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
        // Renamed while still locked, so no other write's cleaning takes it first.
        if (::rename(temp.constData(), target.constData()) != 0) throw InOutError(errno);
        temp.clear();
        const int closed = ::close(fd);
        fd = -1;
        if (closed != 0) throw InOutError(errno);
    } catch (...) {
        if (fd >= 0) ::close(fd);
        if (!temp.isEmpty()) ::unlink(temp.constData());
        throw;
    }
}

QString leftChars(const QString& s, qsizetype n) {
    if (n >= s.size()) return s;
    if (n <= 0) return QString();
    if (s[n - 1].isHighSurrogate()) --n;
    return s.left(n);
}
