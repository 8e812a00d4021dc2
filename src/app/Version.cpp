#include "app/Version.h"

#include "app/VersionNumbers.h"

QString versionText(unsigned major, unsigned minor, unsigned release) {
    if (major == 0 && minor == 0 && release == 0) return QString();
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(release);
}

QString versionString() {
    return versionText(MP3ZX_VERSION_MAJOR, MP3ZX_VERSION_MINOR, MP3ZX_VERSION_PATCH);
}
