#include "support/PeerProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

bool waitUntil(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
    QElapsedTimer clock;
    clock.start();
    while (!cond()) {
        if (clock.elapsed() > timeout.count()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

ToolResult runTool(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                   std::chrono::milliseconds timeout) {
    QProcess tool;
    tool.setProcessEnvironment(env);
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, args);
    ToolResult result;
    if (!tool.waitForStarted(int(timeout.count()))) return result;
    if (!tool.waitForFinished(int(timeout.count()))) {
        tool.kill();
        tool.waitForFinished(5000);
        return result;
    }
    result.out = tool.readAll();
    if (tool.exitStatus() == QProcess::NormalExit) result.exitCode = tool.exitCode();
    return result;
}

PeerProcess::PeerProcess() : process_(std::make_unique<QProcess>()) {}

PeerProcess::~PeerProcess() {
    stop();
}

bool PeerProcess::start(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    process_->setProcessEnvironment(env);
    process_->start(program, args);
    return process_->waitForStarted(10000);
}

void PeerProcess::stop() {
    if (process_->state() == QProcess::NotRunning) return;
    process_->terminate(); // SIGTERM to this child's pid only
    if (!process_->waitForFinished(10000)) {
        process_->kill();
        process_->waitForFinished(5000);
    }
}

XServer::XServer(const QString& screen) {
    const QString xvfb = findTool(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) return;
    // A random high display rather than the first free one: parallel tests and servers of other
    // sessions that share the abstract socket namespace but not /tmp would otherwise all race for :0.
    // -displayfd writes the number once the server accepts clients; a taken display ends the server.
    // -noreset: by default the server resets when its last client leaves, and refuses connections
    // meanwhile; a program starting while a test's xdotool call ends would find no display.
    for (int attempt = 0; attempt < 10 && display_.isEmpty(); ++attempt) {
        const QString number = QString::number(QRandomGenerator::global()->bounded(100, 30000));
        server_.stop();
        if (!server_.start(xvfb,
                           {QStringLiteral(":") + number, "-displayfd", "1", "-screen", "0", screen,
                            "-nolisten", "tcp", "-noreset"},
                           QProcessEnvironment::systemEnvironment()))
            return;
        if (!waitUntil([&] { return server_.process().canReadLine() || !server_.running(); },
                       std::chrono::seconds(20)))
            return;
        if (server_.running() && server_.process().readLine().trimmed() == number.toLatin1())
            display_ = QStringLiteral(":") + number;
    }
}

QProcessEnvironment XServer::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.remove(QStringLiteral("XAUTHORITY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

WaylandCompositor::WaylandCompositor(const XServer* x) {
    const QString weston = findTool(QStringLiteral("weston"));
    if (weston.isEmpty() || !dir_.isValid() || (x && !x->available())) return;
    QProcessEnvironment env = x ? x->environment() : QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // pixman draws, so a screenshot shows what the clients drew; --debug offers the screenshot protocol.
    const QString backend = x ? QStringLiteral("x11-backend.so") : QStringLiteral("headless-backend.so");
    if (!server_.start(weston,
                       {"--backend=" + backend, "--use-pixman", "--width=1280", "--height=1024",
                        "--socket=wayland-test", "--idle-time=0", "--debug"},
                       env))
        return;
    const QString socket = dir_.filePath(QStringLiteral("wayland-test"));
    if (waitUntil([&] { return QFileInfo::exists(socket) || !server_.running(); },
                  std::chrono::seconds(20)) &&
        server_.running())
        socket_ = socket;
}

void WaylandCompositor::addTo(QProcessEnvironment& env) const {
    // An absolute path: the program's XDG_RUNTIME_DIR is a folder of its own.
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), socket_);
    env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
}

QImage WaylandCompositor::screenshot() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), socket_);
    QProcess tool;
    tool.setProcessEnvironment(env);
    // It writes wayland-screenshot-<time>.png into its working folder.
    QTemporaryDir out;
    tool.setWorkingDirectory(out.path());
    tool.start(findTool(QStringLiteral("weston-screenshooter")), {});
    if (!tool.waitForFinished(20000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        tool.kill();
        tool.waitForFinished(5000);
        return {};
    }
    const QStringList shots = QDir(out.path()).entryList({QStringLiteral("*.png")}, QDir::Files);
    return shots.isEmpty() ? QImage() : QImage(out.filePath(shots.constFirst()));
}
