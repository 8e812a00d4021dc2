#pragma once
// Texts that come as bytes (file names, command-line arguments, lines of playlists, mp3.ini and mp3.snd)
// held as QString without losing a byte, so a path read from the disk reaches the disk again as the
// same name and a line read from a file is written back as it was.
//
// Valid UTF-8 decodes as usual. Each byte of a sequence that is not UTF-8 becomes one code point of a
// private range, U+EF80..U+EFFF for the bytes 0x80..0xFF, which encodes back to that byte. The UTF-8
// form of a code point in that range is kept the same way, byte by byte, so every byte string comes
// back unchanged. Qt's own conversions (QFile::encodeName, toUtf8, QFileInfo) know nothing of the
// range: bytes go to the system through textToBytes only.

#include <QByteArray>
#include <QString>
#include <QStringList>

QString bytesToText(const QByteArray& bytes);
QByteArray textToBytes(const QString& text);

// What the user sees of a text: kept bytes as the Latin-1 characters they would be.
QString displayText(const QString& text);

// The program's arguments, its name first, as QCoreApplication::arguments() lists them but each decoded
// by bytesToText (Qt's own list replaces bytes that are not UTF-8).
QStringList argumentTexts(int argc, const char* const* argv);

// Lines the user saw (as displayText of held lines) and may have edited, taken back: a line that is
// still the display of a held line, matched in order, gets that held line with its bytes; any other
// line is what the user typed.
QStringList linesFromDisplay(const QStringList& shown, const QStringList& held);
