#pragma once
// File-system questions and operations on paths held as text (platform/ByteText.h). The path's bytes
// reach the system unchanged, which Qt's file classes do not promise for a name that is not UTF-8.

#include <QByteArray>
#include <QString>

// The bytes of a path for the system. A path holding a zero character gives the empty name, which
// names no file: the system would read the path only up to that character, which is another file.
QByteArray pathBytes(const QString& path);

// A regular file, links followed.
bool isFile(const QString& path);
// A folder, links followed.
bool isFolder(const QString& path);
// Anything at all, links followed.
bool pathExists(const QString& path);

// The process's current folder; empty when it cannot be told.
QString currentFolder();
// The path made absolute against the current folder, with "." and ".." taken out; not looked up.
QString absolutePath(const QString& path);
// The absolute path with links, "." and ".." resolved; empty when it does not exist.
QString canonicalPath(const QString& path);

// Qt's file classes name a file by its bytes decoded as UTF-8, each byte that is not UTF-8 becoming
// U+FFFD. qtPathOf gives that name of a path; pathOfQtPath finds the path such a name stands for,
// matching each component that holds U+FFFD with the entries of its folder (the first entry Qt would
// show under that name). A name without U+FFFD is the path itself.
QString qtPathOf(const QString& path);
QString pathOfQtPath(const QString& qtPath);

// Removes a file: 0, or the errno of the failure.
int removeFile(const QString& path);
