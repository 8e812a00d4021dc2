#include "app/ProgramFolder.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QStandardPaths>
#include <unistd.h>

namespace {

QString withSlash(QString folder) {
    if (!folder.endsWith(u'/')) folder += u'/';
    return folder;
}

} // namespace

QString findProgramFolder(const QString& executableFolder) {
    if (!executableFolder.isEmpty() && ::access(pathBytes(executableFolder).constData(), W_OK) == 0)
        return withSlash(executableFolder);
    const QString config =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/mp3zx");
    QDir().mkpath(config);
    return withSlash(config);
}
