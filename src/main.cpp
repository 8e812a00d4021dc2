// The player's entry: the application object, the real platform services, the main window, and the
// message loop until the window closes.

#include "app/TestProbe.h"
#include "audio/Engine.h"
#include "mpris/Mpris.h"
#include "platform/AlsaMixer.h"
#include "platform/ByteText.h"
#include "platform/FileSystem.h"
#include "platform/FontWarmup.h"
#include "platform/InstanceChannel.h"
#include "platform/PortalHotKeys.h"
#include "platform/SessionPlatform.h"
#include "platform/X11HotKeys.h"
#include "ui/MainWindow.h"
#include "ui/QtDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// Rejects the open questions and messages, innermost first, as Escape would. Returns whether there was
// one.
bool rejectModalDialogs() {
    bool any = false;
    // A dialog that will not hide would otherwise keep this loop going.
    for (int i = 0; i < 16; ++i) {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) break;
        dialog->reject();
        any = true;
    }
    return any;
}

// SIGINT and SIGTERM close the window through its normal shutdown, so settings are written and the
// output volume is restored. An open question runs an event loop of its own, which the closing would
// not end: it is refused first (a file asked about is not deleted), and the window closes once the
// code that asked has gone on.
void closeOnSignals(QWidget& window) {
    if (::pipe(signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        if (rejectModalDialogs())
            QTimer::singleShot(0, &window, [&window] { window.close(); });
        else
            window.close();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// A Wayland client cannot grab keys; there the desktop's shortcuts portal binds them.
std::unique_ptr<IHotKeySource> desktopHotKeys() {
    if (runsOnWayland()) return std::make_unique<PortalHotKeys>(Mpris::sessionBus());
    return std::make_unique<X11HotKeys>();
}

} // namespace

int main(int argc, char** argv) {
    // Fontconfig reads its configuration on a second core while Qt starts up.
    FontWarmup fonts;
    preferX11OnWayland(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mp3zx"));
    QApplication::setDesktopFileName(QStringLiteral("mp3zx"));

    audio::Engine audioEngine;
    AlsaMixer mixer;
    const std::unique_ptr<IHotKeySource> hotKeys = desktopHotKeys();
    QtDialogs dialogs;
    InstanceChannel channel(QStringLiteral("RI3-VEZEZI"));

    // The window's first text needs the fonts; should the reading still run, Qt would start it again.
    fonts.wait();
    MainWindow window(PlatformServices{audioEngine, mixer, *hotKeys, dialogs}, channel);
    dialogs.setOwner(&window);
    const QString executableFolder = QFileInfo(canonicalPath(QStringLiteral("/proc/self/exe"))).path();
    // QApplication has taken its own options out of argv.
    const Lifecycle::Start started = window.start(argumentTexts(argc, argv), executableFolder);
    if (started == Lifecycle::Start::HandOverFailed) return 1;
    if (started == Lifecycle::Start::EndProcess) return 0;
    closeOnSignals(window);
    // Only the instance that runs offers itself to the desktop's media controls, once its start has
    // finished: the session bus is not needed for the first picture.
    Player& p = window.player();
    std::unique_ptr<Mpris> mpris;
    QObject::connect(&window, &MainWindow::startFinished, &window, [&] {
        mpris = std::make_unique<Mpris>(Mpris::Parts{p.audioEngine(), p.window(), p.dialogs(), p.channel,
                                                     p.seq, p.volume, p.songList, p.radio, p.intake},
                                        Mpris::sessionBus());
    });
    // Only system tests ask for it.
    const std::unique_ptr<TestProbe> probe = TestProbe::fromEnvironment(
        {p.audioEngine(), p.channel, p.radio, p.songList, p.volume, p.browser, p.update});
    window.show();
    return app.exec();
}
