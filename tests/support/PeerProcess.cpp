#include "support/PeerProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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

XServer::XServer() {
    const QString xvfb = findTool(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) return;
    // -displayfd picks a free display and writes its number once the server accepts clients.
    if (!server_.start(xvfb, {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
                       QProcessEnvironment::systemEnvironment()))
        return;
    if (!waitUntil([&] { return server_.process().canReadLine() || !server_.running(); }, std::chrono::seconds(20)))
        return;
    const QByteArray number = server_.process().readLine().trimmed();
    if (!number.isEmpty()) display_ = QStringLiteral(":") + QString::fromLatin1(number);
}

QProcessEnvironment XServer::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.remove(QStringLiteral("XAUTHORITY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}
