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
    // The whole start-up sequence: what the program runs before showing the window and what it runs
    // after the first paint.
    bool start() {
        if (form->start({QStringLiteral("mp3zx")}, programFolder.path()) != Lifecycle::Start::Run) return false;
        form->finishStart();
        return true;
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
