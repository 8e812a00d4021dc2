#pragma once
// Runs the real mp3zx executable for system tests: a program folder of its own (mp3.ini and mp3.snd
// live beside the executable, so the executable is copied there), a runtime folder for the
// single-instance socket (shared between runs that are to find each other), the dummy sound driver,
// and the offscreen platform unless an X server is given.

#include "support/PeerProcess.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

class ProgramRun {
public:
    // runtimeDir: the folder of the instance socket; empty gives one of this run's own.
    explicit ProgramRun(const QString& runtimeDir = QString(), const XServer* x = nullptr);
    ~ProgramRun();

    bool ready() const { return ready_; }
    // The program folder, with a final "/".
    QString folder() const { return folder_.path() + u'/'; }
    QString runtimeDir() const { return runtimeDir_; }
    QProcessEnvironment& environment() { return env_; }
    QProcess& process() { return *process_; }

    // Starts the program; it runs until terminated or closed. The arguments reach it with the bytes
    // they stand for (platform/ByteText.h), also where those are not UTF-8.
    bool start(const QStringList& arguments = {});
    // Starts the program once per argument list, all at once, as a file manager's "Open with" on
    // several files does. running() holds while any of them runs; terminate() ends them all.
    bool startTogether(const QList<QStringList>& argumentLists);
    // How many of the started processes run now.
    int runningCount() const;
    // Runs the program to its end; its exit code, or -1 when it did not end within timeoutMs.
    int run(const QStringList& arguments, int timeoutMs, qint64* elapsedMs = nullptr);
    // SIGTERM, which closes the window through its normal shutdown; waits for the end.
    bool terminate(int timeoutMs = 30000);
    bool running() const { return runningCount() > 0; }

    QString iniPath() const { return folder() + QStringLiteral("mp3.ini"); }
    // The bytes of mp3.ini; empty when there is none.
    QByteArray iniBytes() const;

private:
    // The process of start() first, then the others startTogether() started.
    std::vector<QProcess*> processes() const;

    QTemporaryDir folder_;
    QTemporaryDir ownRuntime_;
    QString runtimeDir_;
    QProcessEnvironment env_;
    std::unique_ptr<QProcess> process_;
    std::vector<std::unique_ptr<QProcess>> together_;
    bool ready_ = false;
};
