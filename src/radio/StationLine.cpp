#include "radio/StationLine.h"

namespace {

// The longest URL the editor takes back, in characters (code points, so a character outside the
// basic plane is never cut in half).
constexpr qsizetype maxUrlChars = 1000;

QString firstChars(const QString& s, qsizetype n) {
    qsizetype units = 0;
    for (qsizetype chars = 0; chars < n && units < s.size(); ++chars) {
        const bool pair = s[units].isHighSurrogate() && units + 1 < s.size() && s[units + 1].isLowSurrogate();
        units += pair ? 2 : 1;
    }
    return s.left(units);
}

// Only the blank is trimmed: a tab is part of the text.
QString trimBlanks(const QString& s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin] == u' ')
        ++begin;
    while (end > begin && s[end - 1] == u' ')
        --end;
    return s.mid(begin, end - begin);
}

} // namespace

QString stationLine(const QString& name, const QString& url) {
    return name + QStringLiteral(" ; ") + url;
}

Station parseStationLine(const QString& line) {
    const qsizetype semicolon = line.indexOf(u';');
    if (semicolon < 0) {
        const QString whole = trimBlanks(line);
        return {whole, whole};
    }
    return {trimBlanks(line.left(semicolon)), trimBlanks(firstChars(line.mid(semicolon + 1), maxUrlChars))};
}
