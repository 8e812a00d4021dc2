#pragma once
// Helpers for tests that start a real peer (a sound server, an X server) as a child process: every
// wait is bounded, and every peer is stopped by its pid when the test ends.

#include "support/QtPrinters.h"

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>

// Polls cond (letting the event loop run) until it holds or the time is up.
bool waitUntil(const std::function<bool()>& cond, std::chrono::milliseconds timeout);

// Runs a tool to its end within the time-out; the exit code, or -1 when it did not start or finish.
struct ToolResult {
    int exitCode = -1;
    QByteArray out;
};
ToolResult runTool(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                   std::chrono::milliseconds timeout = std::chrono::seconds(20));

// A child process that is terminated, and killed if it does not end in time, when this goes away.
class PeerProcess {
public:
    PeerProcess();
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool start(const QString& program, const QStringList& args, const QProcessEnvironment& env);
    void stop();
    QProcess& process() { return *process_; }
    bool running() const { return process_->state() != QProcess::NotRunning; }

private:
    std::unique_ptr<QProcess> process_;
};

// The path of a tool, or an empty text when it is not installed.
inline QString findTool(const QString& name) {
    return QStandardPaths::findExecutable(name);
}

// An X server of the test's own (Xvfb on a free display). Skips nothing itself: check available().
class XServer {
public:
    explicit XServer(const QString& screen = QStringLiteral("1280x1024x24"));
    bool available() const { return !display_.isEmpty(); }
    // ":N"
    QString display() const { return display_; }
    // The system environment with DISPLAY set to this server.
    QProcessEnvironment environment() const;

private:
    PeerProcess server_;
    QString display_;
};

// A Wayland compositor of the test's own: Weston, headless or, given an X server, as a window on it at
// its top left corner, so the pointer that xdotool moves there reaches Weston's clients. Skips nothing
// itself: check available().
class WaylandCompositor {
public:
    explicit WaylandCompositor(const XServer* x = nullptr);
    bool available() const { return !socket_.isEmpty(); }
    // Makes env a program's environment in this Wayland session (WAYLAND_DISPLAY, XDG_SESSION_TYPE),
    // with no Qt platform named. DISPLAY stays as it is: remove it for a session without XWayland.
    void addTo(QProcessEnvironment& env) const;
    // Its screen (weston-screenshooter); null when none could be taken.
    QImage screenshot() const;

private:
    QTemporaryDir dir_;
    PeerProcess server_;
    QString socket_;
};
