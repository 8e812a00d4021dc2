#pragma once
// A live source made by ffmpeg for stream tests: a sine at a known frequency and level, encoded in
// real time (-re) and sent wherever the output arguments say (an icecast2 mount, an HLS folder). The
// process is stopped by its pid, at the latest when this goes away; a stopped source can start again.

#include "support/PeerProcess.h"

#include <QString>
#include <QStringList>

class FfmpegSource {
public:
    // frequency in Hz at amplitude 0.5 on both channels, 44100 Hz; output: codec, format and target.
    FfmpegSource(int frequency, QStringList output);

    bool start(QString* error);
    // SIGTERM: ffmpeg finishes its output cleanly (an HLS playlist gets its end tag).
    void stop() { process_.stop(); }
    QString diagnostics() { return QString::fromLocal8Bit(process_.process().readAll()); }

private:
    int frequency_;
    QStringList output_;
    PeerProcess process_;
};
