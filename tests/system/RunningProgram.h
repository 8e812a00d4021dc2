#pragma once
// The real mp3zx executable, run the way a user runs it, for system tests.
//
// The program keeps mp3.ini and mp3.snd beside its executable and finds a running instance through a
// socket in $XDG_RUNTIME_DIR, so each RunningProgram gets a fresh program folder holding a link to (or
// a copy of) the executable, and a runtime folder of its own. The first instance runs with
// MP3ZX_TEST_STATE pointing at a file in the program folder (see src/app/TestProbe.h); tests read the
// state from there and wait for what they expect. Every wait is bounded; the instance is closed with
// SIGTERM (its normal shutdown) and killed if it does not end in time.
//
//     RunningProgram program;
//     ASSERT_TRUE(program.start({playlist}));
//     EXPECT_TRUE(program.waitFor([](const ProbeState& st) { return st.value("radioMode") == "1"; }));
//     EXPECT_EQ(program.runSecond({song}), 0);

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>

// One reading of the running program's state file.
struct ProbeState {
    QStringList lines;
    // The value of the first "key=" line; empty when there is none.
    QString value(const QString& key) const;
    // The values of every "key=" line, in order (song, entry).
    QStringList values(const QString& key) const;
    qint64 number(const QString& key) const { return value(key).toLongLong(); }
};

class RunningProgram {
public:
    RunningProgram();
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // Whether the program folder could be made.
    bool ready() const { return ready_; }
    QString folder() const { return programDir_.path(); }
    QProcessEnvironment environment() const { return env_; }

    // Starts the first instance and waits until its state file appears.
    bool start(const QStringList& arguments, std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Runs another start of the program to its end; its exit code, or -1 when it did not end in time.
    int runSecond(const QStringList& arguments, std::chrono::milliseconds timeout = std::chrono::seconds(30));

    ProbeState state() const;
    // Waits (letting the event loop run) until the state satisfies cond.
    bool waitFor(const std::function<bool(const ProbeState&)>& cond,
                 std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;

    // Closes the first instance as the system does; its exit code, or -1 when it had to be killed.
    int close(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // What the first instance wrote to standard error so far.
    QByteArray errorOutput() const;

private:
    QTemporaryDir programDir_;
    QTemporaryDir runtimeDir_;
    QString executable_;
    QString stateFile_;
    QProcessEnvironment env_;
    std::unique_ptr<QProcess> first_;
    bool ready_ = false;
};
