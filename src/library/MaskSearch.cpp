#include "library/MaskSearch.h"

#include <QLocale>
#include <algorithm>

namespace {

bool isWildcard(QChar c) {
    return c == u'*' || c == u'?';
}

// Blanks and control characters at both ends go; anything above the blank is kept.
QString trimControls(const QString& s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin].unicode() <= u' ')
        ++begin;
    while (end > begin && s[end - 1].unicode() <= u' ')
        --end;
    return s.mid(begin, end - begin);
}

QString wrapMask(const QString& mask) {
    const bool hasDot = mask.contains(u'.');
    const bool hasWildcard = mask.contains(u'*') || mask.contains(u'?');
    if (hasDot) return mask;
    if (!hasWildcard) return u'*' + mask + u'*';
    return mask.endsWith(u'*') ? mask : mask + u'*';
}

} // namespace

QString foldCase(const QString& text, bool caseSensitive) {
    return caseSensitive ? text : QLocale::system().toLower(text);
}

void parseMaskList(const QString& text, QStringList& list, bool wrap, bool caseSensitive) {
    list.clear();
    if (text.isEmpty()) {
        list << QStringLiteral("*");
        return;
    }
    QString all = text;
    all.replace(u',', u';');
    if (!all.endsWith(u';')) all += u';';
    // Every piece before a ";" counts, empty ones too.
    QStringList pieces = all.split(u';');
    pieces.removeLast();
    for (const QString& piece : pieces) {
        QString mask = foldCase(trimControls(piece), caseSensitive);
        list << (wrap ? wrapMask(mask) : mask);
    }
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
}

bool matchesMask(const QString& name, const QString& mask, bool exact) {
    if (mask == u"*" || mask == u"*.*") return true;
    if (!std::any_of(mask.begin(), mask.end(), isWildcard)) return exact ? name == mask : name.contains(mask);

    qsizetype p = 0;
    bool star = false;
    qsizetype i = 0;
    while (i < mask.size()) {
        const QChar c = mask[i];
        if (c == u'?') {
            if (p >= name.size()) return false;
            ++p;
            ++i;
        } else if (c == u'*') {
            star = true;
            ++i;
        } else {
            qsizetype end = i;
            while (end < mask.size() && !isWildcard(mask[end]))
                ++end;
            const QStringView literal = QStringView(mask).mid(i, end - i);
            if (star) {
                const qsizetype at = QStringView(name).indexOf(literal, p);
                if (at < 0) return false;
                p = at + literal.size();
                star = false;
            } else {
                if (QStringView(name).mid(p, literal.size()) != literal) return false;
                p += literal.size();
            }
            i = end;
        }
    }
    return star || p == name.size();
}

bool matchesMaskList(const QString& name, const QStringList& list, bool exact, bool caseSensitive) {
    if (name.isEmpty()) return true;
    const QString folded = foldCase(name, caseSensitive);
    return std::any_of(list.begin(), list.end(),
                       [&](const QString& mask) { return matchesMask(folded, mask, exact); });
}
