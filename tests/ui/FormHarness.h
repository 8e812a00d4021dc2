#pragma once
// The real main window over fakes of the platform services, with its own runtime and program folders
// so its instance channel and settings file meet no other test's.

#include "platform/InstanceChannel.h"
#include "support/Fakes.h"
#include "support/QtPrinters.h"
#include "ui/MainWindow.h"

#include <QTemporaryDir>
#include <memory>

struct FormHarness {
    FormHarness() {
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        channel = std::make_unique<InstanceChannel>(QStringLiteral("RI3-VEZEZI"));
        form = std::make_unique<MainWindow>(PlatformServices{audioEngine, mixer, hotKeys, dialogs}, *channel);
    }
    // The start-up sequence, as the program runs it before showing the window.
    bool start() {
        return form->start({QStringLiteral("mp3zx")}, programFolder.path()) == Lifecycle::Start::Run;
    }

    QTemporaryDir runtime;
    QTemporaryDir programFolder;
    FakeAudioEngine audioEngine;
    FakeMixer mixer;
    FakeHotKeys hotKeys;
    FakeDialogs dialogs;
    std::unique_ptr<InstanceChannel> channel;
    std::unique_ptr<MainWindow> form;
    Player& s() { return form->player(); }
};
