#include "platform/FileUrl.h"

#include "platform/ByteText.h"

QString localPathOfUrl(const QUrl& url) {
    if (!url.isLocalFile()) return QString();
    const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    // A host other than this one is kept as a network path, as Qt does.
    const QString host = url.host();
    return (host.isEmpty() ? QString() : QStringLiteral("//") + host) + bytesToText(path);
}

QString fileUrlOfPath(const QString& path) {
    // Every character a path segment may hold stays as it is; the rest is percent-encoded.
    return QStringLiteral("file://") +
           QString::fromLatin1(textToBytes(path).toPercentEncoding("/!$&'()*+,;=:@"));
}
