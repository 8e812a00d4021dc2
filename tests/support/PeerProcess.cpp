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
