#pragma once
// Empty files standing in for songs, for tests where the engine is a fake and only existence counts.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

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
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};
