#include "app/Intake.h"

#include "app/Lifecycle.h"
#include "app/Player.h"
#include "platform/FileSystem.h"

#include <QFileInfo>

QString temporaryFolder() {
    for (const char* variable : {"TEMP", "TMPDIR"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty()) return value;
    }
    return QStringLiteral("/tmp");
}

QString canonicalUpperPath(const QString& path) {
    const QString canonical = canonicalPath(path);
    return (canonical.isEmpty() ? absolutePath(path) : canonical).toUpper();
}

void Intake::onIntakeText() {
    const QString path = p_.intakeText();
    const QString ext = upperExtension(path);
    if (ext == QStringLiteral(".MP3")) {
        // The tree moves to the song's folder, unless the song comes from the temporary folder.
        const QString folder = QFileInfo(absolutePath(path)).path();
        if (isFolder(folder) && canonicalUpperPath(folder) != canonicalUpperPath(temporaryFolder()))
            p_.browser.tree().setPath(canonicalPath(folder));
        p_.songList.addSong(path);
        return;
    }
    if (ext.contains(QStringLiteral(".PLS")))
        p_.playlistReader.read(path, PlaylistKind::Pls);
    else if (ext.contains(QStringLiteral(".M3U")))
        p_.playlistReader.read(path, PlaylistKind::M3u);
}
