#pragma once
// Empty files standing in for songs, for tests where the engine is a fake and only existence counts.

#include "platform/ByteText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <fcntl.h>
#include <unistd.h>

class SongFiles {
public:
    // Creates the named files (relative to a fresh temporary folder) and returns their paths.
    QStringList make(const QStringList& names) {
        QStringList paths;
        for (const QString& name : names) {
            const QString path = dir.filePath(name);
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            paths << path;
        }
        return paths;
    }
    // Creates a file whose name is given as bytes (UTF-8 or not) and returns its path as the program
    // holds it (platform/ByteText.h). Qt's file classes cannot make such a name.
    QString makeBytes(const QByteArray& name) {
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) ::close(fd);
        return bytesToText(path);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};
