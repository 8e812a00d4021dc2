#include "support/FfmpegSource.h"

FfmpegSource::FfmpegSource(int frequency, QStringList output)
    : frequency_(frequency), output_(std::move(output)) {
    process_.process().setProcessChannelMode(QProcess::MergedChannels);
}

bool FfmpegSource::start(QString* error) {
    const QString ffmpeg = findTool(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty()) {
        *error = QStringLiteral("ffmpeg is not installed");
        return false;
    }
    const QString sine = QStringLiteral("0.5*sin(2*PI*%1*t)").arg(frequency_);
    const QStringList input{QStringLiteral("-hide_banner"),
                            QStringLiteral("-loglevel"),
                            QStringLiteral("error"),
                            QStringLiteral("-nostdin"),
                            QStringLiteral("-re"),
                            QStringLiteral("-f"),
                            QStringLiteral("lavfi"),
                            QStringLiteral("-i"),
                            QStringLiteral("aevalsrc=%1|%1:s=44100").arg(sine)};
    if (process_.start(ffmpeg, input + output_, QProcessEnvironment::systemEnvironment())) return true;
    *error = QStringLiteral("ffmpeg does not start: ") + process_.process().errorString();
    return false;
}
