#include "playback/Duration.h"

#include <cmath>

QString twoDigits(QString text) {
    while (text.size() < 2)
        text.prepend(u'0');
    return text;
}

QString formatDuration(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
    const long long s = std::llrint(seconds);
    const long long h = s / 3600;
    const long long m = (s % 3600) / 60;
    const long long r = s % 60;
    QString text;
    if (h > 0) text = QString::number(h) + u':';
    return text + twoDigits(QString::number(m)) + u':' + twoDigits(QString::number(r));
}

QString formatBitrate(double fileSize, double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0 || !std::isfinite(fileSize) || fileSize < 0)
        return QStringLiteral(" - ");
    return QString::number(std::llrint(fileSize / (seconds * 125)));
}
