#include "support/ProgramRun.h"

#include "platform/ByteText.h"

#include <QElapsedTimer>
#include <QFile>
#include <unistd.h>
#include <vector>

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
    for (QProcess* process : processes()) {
        if (process->state() == QProcess::NotRunning) continue;
        process->kill();
        process->waitForFinished(5000);
    }
}

std::vector<QProcess*> ProgramRun::processes() const {
    std::vector<QProcess*> all{process_.get()};
    for (const auto& process : together_)
        all.push_back(process.get());
    return all;
}

bool ProgramRun::start(const QStringList& arguments) {
    process_->setProcessEnvironment(env_);
    const QString program = folder() + QStringLiteral("mp3zx");
    QList<QByteArray> bytes{QFile::encodeName(program)};
    bool utf8 = true;
    for (const QString& argument : arguments) {
        bytes << textToBytes(argument);
        utf8 = utf8 && bytes.last() == argument.toUtf8();
    }
    if (utf8) {
        process_->start(program, arguments);
        return process_->waitForStarted(10000);
    }
    // QProcess hands arguments over as UTF-8: the child runs the program itself with the bytes.
    QList<QByteArray> environment;
    for (const QString& variable : env_.toStringList())
        environment << variable.toLocal8Bit();
    const auto pointers = [](QList<QByteArray>& list) {
        std::vector<char*> p;
        for (QByteArray& b : list)
            p.push_back(b.data());
        p.push_back(nullptr);
        return p;
    };
    std::vector<char*> argv = pointers(bytes);
    std::vector<char*> envp = pointers(environment);
    process_->setChildProcessModifier([&argv, &envp] {
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    });
    process_->start(program, {});
    const bool started = process_->waitForStarted(10000);
    process_->setChildProcessModifier({});
    return started;
}

bool ProgramRun::startTogether(const QList<QStringList>& argumentLists) {
    together_.clear();
    for (qsizetype i = 1; i < argumentLists.size(); ++i) {
        together_.push_back(std::make_unique<QProcess>());
        together_.back()->setProcessEnvironment(env_);
        together_.back()->setWorkingDirectory(folder_.path());
        together_.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    // Every process is on its way before the first is waited for.
    process_->setProcessEnvironment(env_);
    process_->start(folder() + QStringLiteral("mp3zx"), argumentLists.value(0));
    for (qsizetype i = 1; i < argumentLists.size(); ++i)
        together_[static_cast<std::size_t>(i - 1)]->start(folder() + QStringLiteral("mp3zx"),
                                                          argumentLists[i]);
    bool started = true;
    for (QProcess* process : processes())
        started = process->waitForStarted(10000) && started;
    return started;
}

int ProgramRun::runningCount() const {
    int count = 0;
    for (QProcess* process : processes())
        count += process->state() != QProcess::NotRunning;
    return count;
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
    bool ended = true;
    for (QProcess* process : processes()) {
        if (process->state() == QProcess::NotRunning) continue;
        process->terminate();
        ended = process->waitForFinished(timeoutMs) && ended;
    }
    return ended;
}

QByteArray ProgramRun::iniBytes() const {
    QFile file(iniPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
