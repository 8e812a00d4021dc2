#pragma once
// Shared pieces of the fuzz targets: the application object some readers need, a Player over fakes,
// and a scratch file for readers that take a path.

#include "app/Player.h"
#include "support/Fakes.h"
#include "support/TestOpens.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

inline QCoreApplication& fuzzApplication() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

inline QTemporaryDir& fuzzFolder() {
    static QTemporaryDir dir;
    return dir;
}

// Writes the input into a file of the scratch folder and returns its path.
inline QString fuzzFile(const QString& name, const std::uint8_t* data, std::size_t size) {
    const QString path = fuzzFolder().filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    return path;
}

struct FuzzPlayer {
    FakeAudioEngine audioEngine;
    FakeMixer mixer;
    FakeHotKeys hotKeys;
    FakeDialogs dialogs;
    FakeWindow window;
    Player player{Services{audioEngine, mixer, hotKeys, dialogs, window}};
    TestOpens opens{player.radio.stationOpener};
};
