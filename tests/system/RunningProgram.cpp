#include "system/RunningProgram.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <unistd.h>

QString ProbeState::value(const QString& key) const {
    const QStringList all = values(key);
    return all.isEmpty() ? QString() : all.constFirst();
}

QStringList ProbeState::values(const QString& key) const {
    QStringList found;
    const QString prefix = key + u'=';
    for (const QString& line : lines)
        if (line.startsWith(prefix)) found << line.mid(prefix.size());
    return found;
}

RunningProgram::RunningProgram() {
    if (!programDir_.isValid() || !runtimeDir_.isValid()) return;
    // /proc/self/exe names the file itself, so the program folder needs a hard link or a copy, not a
    // symbolic link.
    const QString built = QStringLiteral(MP3ZX_EXECUTABLE);
    executable_ = programDir_.filePath(QStringLiteral("mp3zx"));
    if (::link(QFile::encodeName(built).constData(), QFile::encodeName(executable_).constData()) != 0 &&
        !QFile::copy(built, executable_))
        return;
    stateFile_ = programDir_.filePath(QStringLiteral("state.txt"));
    env_ = QProcessEnvironment::systemEnvironment();
    env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir_.path());
    env_.insert(QStringLiteral("XDG_CONFIG_HOME"), programDir_.filePath(QStringLiteral("config")));
    env_.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    // No window on the desktop of whoever runs the tests, unless a run asks for a platform (Xvfb).
    if (env_.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env_.insert(QStringLiteral("MP3ZX_TEST_STATE"), stateFile_);
    ready_ = true;
}

RunningProgram::~RunningProgram() {
    if (first_) close();
}

bool RunningProgram::start(const QStringList& arguments, std::chrono::milliseconds timeout) {
    if (!ready_ || first_) return false;
    first_ = std::make_unique<QProcess>();
    first_->setProcessEnvironment(env_);
    first_->setWorkingDirectory(programDir_.path());
    first_->setStandardOutputFile(QProcess::nullDevice());
    first_->setStandardErrorFile(programDir_.filePath(QStringLiteral("stderr.txt")));
    first_->start(executable_, arguments);
    if (!first_->waitForStarted(static_cast<int>(timeout.count()))) return false;
    return waitFor([](const ProbeState& st) { return !st.lines.isEmpty(); }, timeout);
}

int RunningProgram::runSecond(const QStringList& arguments, std::chrono::milliseconds timeout) {
    QProcess second;
    QProcessEnvironment env = env_;
    env.remove(QStringLiteral("MP3ZX_TEST_STATE"));
    second.setProcessEnvironment(env);
    second.setWorkingDirectory(QDir::rootPath());
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    second.setStandardOutputFile(QProcess::nullDevice());
    second.start(executable_, arguments);
    // The first instance answers from its event loop; this one just waits.
    if (!second.waitForFinished(static_cast<int>(timeout.count()))) {
        second.kill();
        second.waitForFinished(5000);
        return -1;
    }
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
}

ProbeState RunningProgram::state() const {
    ProbeState st;
    QFile file(stateFile_);
    if (!file.open(QIODevice::ReadOnly)) return st;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty()) st.lines << QString::fromUtf8(line.endsWith('\r') ? line.chopped(1) : line);
    return st;
}

bool RunningProgram::waitFor(const std::function<bool(const ProbeState&)>& cond,
                             std::chrono::milliseconds timeout) const {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (cond(state())) return true;
        if (clock.elapsed() > timeout.count()) return false;
        if (first_ && first_->state() == QProcess::NotRunning) return cond(state());
        QCoreApplication::processEvents();
        QThread::msleep(50);
    }
}

int RunningProgram::close(std::chrono::milliseconds timeout) {
    if (!first_) return -1;
    int result = -1;
    if (first_->state() != QProcess::NotRunning) {
        first_->terminate();
        if (!first_->waitForFinished(static_cast<int>(timeout.count()))) {
            first_->kill();
            first_->waitForFinished(5000);
        } else if (first_->exitStatus() == QProcess::NormalExit) {
            result = first_->exitCode();
        }
    } else if (first_->exitStatus() == QProcess::NormalExit) {
        result = first_->exitCode();
    }
    first_.reset();
    return result;
}

QByteArray RunningProgram::errorOutput() const {
    QFile file(programDir_.filePath(QStringLiteral("stderr.txt")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
