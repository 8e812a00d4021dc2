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

// Removes a file: 0, or the errno of the failure.
int removeFile(const QString& path);
