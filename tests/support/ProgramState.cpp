#include "support/ProgramState.h"

#include "platform/ByteText.h"

#include <QFile>

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

ProgramState::ProgramState(ProgramRun& run) : run_(run), file_(run.folder() + QStringLiteral("state.txt")) {
    run.environment().insert(QStringLiteral("MP3ZX_TEST_STATE"), file_);
}

ProbeState ProgramState::read() const {
    ProbeState st;
    QFile file(file_);
    if (!file.open(QIODevice::ReadOnly)) return st;
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        if (!line.isEmpty()) st.lines << bytesToText(line);
    }
    return st;
}

bool ProgramState::waitFor(const std::function<bool(const ProbeState&)>& cond,
                           std::chrono::milliseconds timeout) const {
    bool met = false;
    waitUntil([&] { return (met = cond(read())) || !run_.running(); }, timeout);
    return met;
}
