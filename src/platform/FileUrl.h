#pragma once
// file: URLs of paths held as text (platform/ByteText.h). A URL's percent-encoded bytes are the file
// name's bytes, UTF-8 or not; QUrl's own conversions would turn bytes that are not UTF-8 into U+FFFD.

#include <QString>
#include <QUrl>

// The local path a file: URL names; empty for any other URL.
QString localPathOfUrl(const QUrl& url);

// The file: URL of an absolute path, in its encoded form.
QString fileUrlOfPath(const QString& path);
