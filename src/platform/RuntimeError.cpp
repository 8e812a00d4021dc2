#include "platform/RuntimeError.h"

#include <cerrno>
#include <limits>

RuntimeError::RuntimeError(const QString& message) : std::runtime_error(message.toStdString()) {}

InOutError::InOutError(int errnum) : RuntimeError(inOutErrorMessage(errnum)), errnum_(errnum) {}

ConvertError::ConvertError(const QString& text)
    : RuntimeError(QStringLiteral("'%1' ist kein gültiger Integerwert").arg(text)) {}

QString inOutErrorMessage(int errnum) {
    switch (errnum) {
    case ENOENT:
        return QStringLiteral("Datei nicht gefunden");
    case EACCES:
    case EPERM:
        return QStringLiteral("Dateizugriff verweigert");
    default:
        return QStringLiteral("E/A-Fehler %1").arg(errnum);
    }
}

int strToInt(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    if (i == text.size()) throw ConvertError(text);
    long long value = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < u'0' || c > u'9') throw ConvertError(text);
        value = value * 10 + (c.unicode() - u'0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1) throw ConvertError(text);
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int>::max()) throw ConvertError(text);
    return static_cast<int>(value);
}
