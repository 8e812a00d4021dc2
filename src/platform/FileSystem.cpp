#include "platform/FileSystem.h"

#include "platform/ByteText.h"

#include <QDir>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool statPath(const QString& path, struct stat& st) {
    const QByteArray name = pathBytes(path);
    return !name.isEmpty() && ::stat(name.constData(), &st) == 0;
}

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};

} // namespace

QByteArray pathBytes(const QString& path) {
    QByteArray bytes = textToBytes(path);
    if (bytes.contains('\0')) bytes.clear();
    return bytes;
}

bool isFile(const QString& path) {
    struct stat st {};
    return statPath(path, st) && S_ISREG(st.st_mode);
}

bool isFolder(const QString& path) {
    struct stat st {};
    return statPath(path, st) && S_ISDIR(st.st_mode);
}

bool pathExists(const QString& path) {
    struct stat st {};
    return statPath(path, st);
}

QString currentFolder() {
    const std::unique_ptr<char, FreeDeleter> folder(::getcwd(nullptr, 0));
    return folder ? bytesToText(QByteArray(folder.get())) : QString();
}

QString absolutePath(const QString& path) {
    if (path.isEmpty() || path.startsWith(u'/')) return QDir::cleanPath(path);
    return QDir::cleanPath(currentFolder() + u'/' + path);
}

QString canonicalPath(const QString& path) {
    const QByteArray name = pathBytes(path);
    if (name.isEmpty()) return QString();
    const std::unique_ptr<char, FreeDeleter> resolved(::realpath(name.constData(), nullptr));
    return resolved ? bytesToText(QByteArray(resolved.get())) : QString();
}

int removeFile(const QString& path) {
    const QByteArray name = pathBytes(path);
    if (name.isEmpty()) return ENOENT;
    return ::unlink(name.constData()) == 0 ? 0 : errno;
}
