#pragma once
// What a running mp3zx reports about itself: a ProgramRun started with MP3ZX_TEST_STATE writes its
// state lines (src/app/TestProbe.h lists them) to "state.txt" in its program folder; tests read them
// and wait, bounded, for what they expect.
//
//     ProgramRun run;
//     ProgramState state(run); // before run.start()
//     ASSERT_TRUE(run.start({playlist}));
//     EXPECT_TRUE(state.waitFor([](const ProbeState& st) { return st.value("radioMode") == u"1"; }));

#include "support/ProgramRun.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>

// One reading of the state file.
struct ProbeState {
    QStringList lines;
    // The value of the first "key=" line; empty when there is none.
    QString value(const QString& key) const;
    // The values of every "key=" line, in order (song, entry).
    QStringList values(const QString& key) const;
    qint64 number(const QString& key) const { return value(key).toLongLong(); }
    // All lines, for failure messages.
    std::string dump() const { return lines.join(u'\n').toStdString(); }
};

class ProgramState {
public:
    explicit ProgramState(ProgramRun& run);

    ProbeState read() const;
    // Polls until cond holds; false when the time is up or the program ended first.
    bool waitFor(const std::function<bool(const ProbeState&)>& cond,
                 std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;

private:
    ProgramRun& run_;
    QString file_;
};
