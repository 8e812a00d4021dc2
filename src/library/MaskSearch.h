#pragma once
// File-name masks with "*" and "?" as the file list uses them. The matcher is deliberately greedy:
// a literal after a "*" binds to its first occurrence and is never tried further right, so
// "x.mp3.mp3" does not match "*.mp3".

#include <QString>
#include <QStringList>

// The text itself when caseSensitive, else its lower-case form under the user's locale.
QString foldCase(const QString& text, bool caseSensitive);

// Replaces list by the masks of text (separated by ";" or ","), each trimmed and folded, sorted and
// without duplicates. An empty text gives the single mask "*". With wrap, a bare word w becomes
// "*w*" and a pattern without an extension gets a final "*".
void parseMaskList(const QString& text, QStringList& list, bool wrap, bool caseSensitive);

// Whether name matches one mask. A mask without wildcards must equal the name when exact, else be
// contained in it.
bool matchesMask(const QString& name, const QString& mask, bool exact);

// Whether name matches any mask of list. An empty name matches; an empty list matches nothing.
bool matchesMaskList(const QString& name, const QStringList& list, bool exact, bool caseSensitive);
