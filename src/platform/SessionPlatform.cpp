#include "platform/SessionPlatform.h"

#include <QGuiApplication>
#include <cstring>

namespace {

bool platformChosenOnCommandLine(int argc, const char* const* argv) {
    // Qt takes its options with one dash or two.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
    return false;
}

} // namespace

QByteArray preferredPlatform(const EnvironmentLookup& environment, int argc, const char* const* argv) {
    if (!environment("QT_QPA_PLATFORM").isEmpty() || platformChosenOnCommandLine(argc, argv)) return {};
    const bool waylandSession =
        !environment("WAYLAND_DISPLAY").isEmpty() || environment("XDG_SESSION_TYPE") == "wayland";
    if (!waylandSession || environment("DISPLAY").isEmpty()) return {};
    // Wayland stays as the fallback for an X server that cannot be reached after all.
    return QByteArrayLiteral("xcb;wayland");
}

void preferX11OnWayland(int argc, const char* const* argv) {
    const QByteArray platform = preferredPlatform([](const char* name) { return qgetenv(name); }, argc, argv);
    if (!platform.isEmpty()) qputenv("QT_QPA_PLATFORM", platform);
}

bool runsOnWayland() {
    // "wayland", "wayland-egl", ...
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}
