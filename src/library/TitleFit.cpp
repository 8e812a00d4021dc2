#include "library/TitleFit.h"

namespace {

// Removes n characters from the front (or back) without splitting a surrogate pair.
QString dropFront(const QString& s, qsizetype n) {
    if (n >= s.size()) return QString();
    if (s[n].isLowSurrogate()) ++n;
    return s.mid(n);
}

QString dropBack(const QString& s, qsizetype n) {
    qsizetype keep = s.size() - n;
    if (keep <= 0) return QString();
    if (s[keep - 1].isHighSurrogate()) --keep;
    return s.left(keep);
}

} // namespace

QString fitKeepingEnd(const QString& text, const TextWidth& width, int limit) {
    static const QString marker = QStringLiteral(" ..");
    QString s = text;
    if (width(s) <= limit) return s;
    do {
        s = marker + dropFront(s, 4);
    } while (width(s) >= limit && s != marker);
    return s;
}

QString fitKeepingStart(const QString& text, const TextWidth& width, int limit) {
    static const QString marker = QStringLiteral("..");
    QString s = text;
    if (width(s) <= limit) return s;
    do {
        s = dropBack(s, 3) + marker;
    } while (width(s) >= limit && s != marker);
    return s;
}
