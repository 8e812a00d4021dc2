#include "playback/StreamTitle.h"

QString streamTitleFromMetadata(const QString& meta) {
    QString s = meta;
    // Drop StreamTitle=' with its opening quote.
    const qsizetype key = s.indexOf(QStringLiteral("le="));
    if (key >= 0) s.remove(0, key + 4);
    // The title ends at its closing quote. Servers do not escape ";" inside titles, so the quote
    // followed by ";" is the end when there is one; otherwise the text ends one character before the
    // first ";".
    const qsizetype closing = s.indexOf(QStringLiteral("';"));
    if (closing >= 0) {
        s.remove(closing, 1000);
    } else {
        const qsizetype semicolon = s.indexOf(u';');
        if (semicolon > 0) s.remove(semicolon - 1, 1000);
    }
    const qsizetype lf = s.indexOf(u'\n');
    if (lf >= 0) s.remove(lf, 1);
    const qsizetype cr = s.indexOf(u'\r');
    if (cr >= 0) s.remove(cr, 1);
    return s + QStringLiteral("  ");
}
