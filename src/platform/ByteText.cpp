#include "platform/ByteText.h"

#include <QHash>
#include <algorithm>

namespace {

// U+EF00 + b stands for the byte b (0x80..0xFF).
constexpr char32_t keptBase = 0xEF00;
constexpr char32_t firstKept = 0xEF80;
constexpr char32_t lastKept = 0xEFFF;

bool isKept(char32_t c) {
    return c >= firstKept && c <= lastKept;
}

// The length of the valid UTF-8 sequence at p (left bytes available) and its code point; 0 when the
// bytes there are no valid sequence (overlong forms and surrogates included).
int utf8Sequence(const unsigned char* p, qsizetype left, char32_t& codePoint) {
    const unsigned char lead = p[0];
    int length = 0;
    char32_t smallest = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        smallest = 0x10000;
    } else {
        return 0;
    }
    if (left < length) return 0;
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (p[k] & 0x3F);
    }
    if (codePoint < smallest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

void appendCodePoint(QString& text, char32_t c) {
    if (c < 0x10000) {
        text += QChar(static_cast<char16_t>(c));
    } else {
        text += QChar(QChar::highSurrogate(c));
        text += QChar(QChar::lowSurrogate(c));
    }
}

void appendUtf8(QByteArray& bytes, char32_t c) {
    if (c < 0x80) {
        bytes += static_cast<char>(c);
    } else if (c < 0x800) {
        bytes += static_cast<char>(0xC0 | (c >> 6));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        bytes += static_cast<char>(0xE0 | (c >> 12));
        bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (c >> 18));
        bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

QString bytesToText(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString text;
    text.reserve(n);
    for (qsizetype i = 0; i < n;) {
        char32_t c = 0;
        const int length = utf8Sequence(p + i, n - i, c);
        if (length == 0 || isKept(c)) {
            // Only this byte is kept; the bytes after it are looked at anew (the continuation bytes of
            // a kept code point are no valid start, so they are kept one by one too).
            text += QChar(static_cast<char16_t>(keptBase + p[i]));
            ++i;
        } else {
            appendCodePoint(text, c);
            i += length;
        }
    }
    return text;
}

QByteArray textToBytes(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (isKept(c)) {
            bytes += static_cast<char>(c - keptBase);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        } else if (QChar::isSurrogate(c)) {
            c = QChar::ReplacementCharacter;
        }
        appendUtf8(bytes, c);
    }
    return bytes;
}

QString displayText(const QString& text) {
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return isKept(c.unicode()); })) return text;
    QString shown = text;
    for (QChar& c : shown)
        if (isKept(c.unicode())) c = QChar(static_cast<char16_t>(c.unicode() - keptBase));
    return shown;
}

QStringList argumentTexts(int argc, const char* const* argv) {
    QStringList texts;
    for (int i = 0; i < argc; ++i)
        texts << bytesToText(QByteArray(argv[i]));
    return texts;
}

QStringList linesFromDisplay(const QStringList& shown, const QStringList& held) {
    QHash<QString, QStringList> unclaimed;
    for (const QString& line : held)
        unclaimed[displayText(line)] << line;
    QStringList lines;
    lines.reserve(shown.size());
    for (const QString& line : shown) {
        const auto match = unclaimed.find(line);
        lines << (match != unclaimed.end() && !match->isEmpty() ? match->takeFirst() : line);
    }
    return lines;
}
