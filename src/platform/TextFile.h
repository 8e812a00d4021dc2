#pragma once
// The program's text files: lines end with CR LF when written and with LF or CR LF when read.
// Lines are texts that keep their bytes (platform/ByteText.h): a line read and written again is the
// same bytes, whatever its encoding; a line typed by the user is written as UTF-8.

#include <QByteArray>
#include <QString>
#include <QStringList>

// Decodes outside text that is only shown (a station's stream title): UTF-8 when valid, otherwise
// Latin-1.
QString decodeText(const QByteArray& bytes);

// Splits file contents into lines; a final line end adds no empty line. With stopAtCtrlZ a byte 26
// ends the text.
QStringList splitTextLines(const QByteArray& contents, bool stopAtCtrlZ = false);

// Reads a whole text file into lines; throws InOutError when it cannot be opened or read.
QStringList readTextLines(const QString& path, bool stopAtCtrlZ = false);

// Writes lines, each followed by CR LF, to a temporary file beside path and renames it over path, so
// a crash or a full disk leaves either the old or the new file whole. Temporary files that an earlier
// write killed before its rename left beside path are removed; those of a write still running in
// another process (two instances closing together) are not. Throws InOutError.
// Unless told to skip it, the data reaches the disk before the rename, so a power cut cannot leave an
// empty file either; a file that only mirrors passing state needs no such wait.
enum class DiskSync { Wait, Skip };
void writeTextLinesAtomic(const QString& path, const QStringList& lines, DiskSync sync = DiskSync::Wait);

// Takes at most n characters from the start of s without splitting a surrogate pair.
QString leftChars(const QString& s, qsizetype n);
