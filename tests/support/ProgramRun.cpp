#include "support/ProgramRun.h"

#include <QElapsedTimer>
#include <QFile>

ProgramRun::ProgramRun(const QString& runtimeDir, const XServer* x)
    : runtimeDir_(runtimeDir.isEmpty() ? ownRuntime_.path() : runtimeDir),
      process_(std::make_unique<QProcess>()) {
    QFile::setPermissions(runtimeDir_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ready_ = folder_.isValid() &&
             QFile::copy(QStringLiteral(MP3ZX_EXECUTABLE), folder() + QStringLiteral("mp3zx"));
    env_ = x ? x->environment() : QProcessEnvironment::systemEnvironment();
    if (!x) env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir_);
    env_.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    // The program offers itself on the session bus: it stays off the desktop's bus unless a test gives it
    // one.
    env_.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env_.insert(QStringLiteral("HOME"), folder_.path());
    env_.insert(QStringLiteral("XDG_CONFIG_HOME"), folder_.path() + QStringLiteral("/config"));
    process_->setProcessEnvironment(env_);
    process_->setWorkingDirectory(folder_.path());
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

ProgramRun::~ProgramRun() {
    if (running()) {
        process_->kill();
        process_->waitForFinished(5000);
    }
}

bool ProgramRun::start(const QStringList& arguments) {
    process_->setProcessEnvironment(env_);
    process_->start(folder() + QStringLiteral("mp3zx"), arguments);
    return process_->waitForStarted(10000);
}

int ProgramRun::run(const QStringList& arguments, int timeoutMs, qint64* elapsedMs) {
    QElapsedTimer clock;
    clock.start();
    if (!start(arguments)) return -1;
    const bool ended = process_->waitForFinished(timeoutMs);
    if (elapsedMs) *elapsedMs = clock.elapsed();
    if (!ended) return -1;
    return process_->exitStatus() == QProcess::NormalExit ? process_->exitCode() : -1;
}

bool ProgramRun::terminate(int timeoutMs) {
    if (!running()) return true;
    process_->terminate();
    return process_->waitForFinished(timeoutMs);
}

QByteArray ProgramRun::iniBytes() const {
    QFile file(iniPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
