#pragma once
// Which of the desktop's window systems the player runs on. On X11 the window can place itself, be
// dragged by its strip and grab the hot keys; a Wayland client can do none of these, the compositor
// places and moves it, and global keys come from the desktop's shortcuts portal.

#include <QByteArray>
#include <functional>

// What preferredPlatform reads from the environment.
using EnvironmentLookup = std::function<QByteArray(const char* name)>;

// The Qt platform list to run on: X11 first, Wayland after it, when a Wayland session also offers an X
// server (DISPLAY set, XWayland) and the user named no platform (QT_QPA_PLATFORM, -platform). Empty
// when Qt's own choice stands.
QByteArray preferredPlatform(const EnvironmentLookup& environment, int argc, const char* const* argv);

// Applies preferredPlatform to this process; call before the application object is made.
void preferX11OnWayland(int argc, const char* const* argv);

// Whether the running application is a native Wayland client.
bool runsOnWayland();
