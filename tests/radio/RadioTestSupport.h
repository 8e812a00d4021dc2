#pragma once
// Shared by the radio tests: a fresh current folder, where a test sees whatever a download would leave
// in the user's current folder (nothing), and the environment a test server on 127.0.0.1 needs.

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

// Makes a fresh temporary folder the process's current folder, and puts the old one back.
class ScopedCurrentFolder {
public:
    ScopedCurrentFolder() : old_(QDir::currentPath()) {
        // A proxy from the environment must not come between a test and its own server.
        qputenv("no_proxy", "127.0.0.1");
        qputenv("NO_PROXY", "127.0.0.1");
        QDir::setCurrent(dir_.path());
    }
    ~ScopedCurrentFolder() { QDir::setCurrent(old_); }
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }
    bool exists(const QString& name) const { return QDir(dir_.path()).exists(name); }

private:
    QString old_;
    QTemporaryDir dir_;
};
