#include "app/Intake.h"

#include "app/Lifecycle.h"
#include "app/PlaylistArgumentReader.h"
#include "library/FileBrowser.h"
#include "library/SongListEditor.h"
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

void Intake::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    takeIn(text);
}

void Intake::takeIn(const QString& path) {
    const QString ext = upperExtension(path);
    if (ext == QStringLiteral(".MP3")) {
        // The tree moves to the song's folder, unless the song comes from the temporary folder.
        const QString folder = QFileInfo(absolutePath(path)).path();
        if (isFolder(folder) && canonicalUpperPath(folder) != canonicalUpperPath(temporaryFolder()))
            browser_.tree().setPath(canonicalPath(folder));
        songList_.addSong(path);
        return;
    }
    if (ext.contains(QStringLiteral(".PLS")))
        playlistReader_.read(path, PlaylistKind::Pls);
    else if (ext.contains(QStringLiteral(".M3U")))
        playlistReader_.read(path, PlaylistKind::M3u);
}
