#pragma once
// A folder of songs made with lame: each a sine of its own pitch, so a listener (or the sound output)
// tells them apart.

#include "support/Mp3Fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class SongFolder {
public:
    // A folder of this name in a temporary folder of its own, or in parent when one is given.
    explicit SongFolder(const QString& name = QStringLiteral("Musik"), const QString& parent = QString()) {
        path_ = QFileInfo(parent.isEmpty() ? dir_.path() : parent).canonicalFilePath() + u'/' + name;
        QDir().mkpath(path_);
    }
    QString path() const { return path_; }
    // Adds a song of the given length; its full path, empty on failure.
    QString add(const QString& fileName, double seconds, double frequency = 440.0, double amplitude = 0.5) {
        const QString file = path_ + u'/' + fileName;
        std::string error;
        if (!fixtures::makeMp3(file.toStdString(),
                               {.frequency = frequency, .amplitude = amplitude, .seconds = seconds}, {},
                               &error)) {
            ADD_FAILURE() << error;
            return QString();
        }
        return file;
    }

private:
    QTemporaryDir dir_;
    QString path_;
};
