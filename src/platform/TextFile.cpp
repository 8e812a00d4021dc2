#include "platform/TextFile.h"

#include "platform/ByteText.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "platform/UniqueFd.h"

#include <QStringDecoder>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <random>
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
    const UniqueFd fd(::open(pathBytes(path).constData(), O_RDONLY | O_CLOEXEC));
    if (!fd) throw InOutError(errno);
    QByteArray contents;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw InOutError(errno);
        }
        if (n == 0) break;
        contents.append(buffer, n);
    }
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
        const UniqueFd fd(::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!fd) continue;
        struct stat opened {};
        struct stat named {};
        // Removed by name, so only while the name still is the file found abandoned.
        if (abandoned(fd.get()) && ::fstat(fd.get(), &opened) == 0 &&
            ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(opened, named))
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

// prefix followed by six random letters and digits, the names removeLeftovers knows.
QByteArray temporaryName(const QByteArray& prefix) {
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, sizeof letters - 2);
    QByteArray name = prefix;
    for (int i = 0; i < 6; ++i)
        name += letters[pick(random)];
    return name;
}

// A new temporary file, named prefix and six random characters, locked for this write. It is
// created exclusively with 0666 less the process's umask, as any new file; the umask is never
// changed, since another thread may create files meanwhile. Another write's cleaning may take the
// file in the moment between its creation and the lock; it is then gone, and another one is made.
UniqueFd createLockedTemporary(QByteArray& name, const QByteArray& prefix) {
    for (;;) {
        name = temporaryName(prefix);
        UniqueFd fd(::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd) {
            if (errno == EEXIST) continue;
            throw InOutError(errno);
        }
        // Without locks (some network file systems) the write goes on as it is.
        if (::flock(fd.get(), LOCK_EX) != 0) return fd;
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0 || st.st_nlink > 0) return fd;
    }
}

} // namespace

void writeTextLinesAtomic(const QString& path, const QStringList& lines, DiskSync sync) {
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
    UniqueFd fd = createLockedTemporary(temp, folder + '/' + prefix);
    try {
        // A replaced file keeps its permissions; a new one keeps those it was created with. Set
        // before the data goes in, so the data is never more open than the file it replaces.
        struct stat st {};
        if (::stat(target.constData(), &st) == 0) ::fchmod(fd.get(), st.st_mode & 07777);
        writeAll(fd.get(), data);
        if (sync == DiskSync::Wait && ::fsync(fd.get()) != 0) throw InOutError(errno);
        // Renamed while still locked, so no other write's cleaning takes it first.
        if (::rename(temp.constData(), target.constData()) != 0) throw InOutError(errno);
        temp.clear();
        if (fd.close() != 0) throw InOutError(errno);
    } catch (...) {
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
