#include "library/PlaylistFiles.h"

#include "library/SongListEditor.h"
#include "platform/FileSystem.h"
#include "platform/TextFile.h"
#include "platform/UniqueFd.h"

#include <QDir>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QPoint playlistMenuPoint(QPoint windowTopLeft, QPoint buttonTopLeft) {
    return {windowTopLeft.x() + buttonTopLeft.x() - 40, windowTopLeft.y() + buttonTopLeft.y() + 20};
}

FileDialogSpec playlistOpenDialog(const QString& folder, const QString& fileName) {
    return {false,
            folder,
            fileName,
            QStringLiteral("&laden"),
            QStringLiteral("nix"),
            QStringLiteral("&suchen in..."),
            QStringLiteral("Datei &Name"),
            QStringLiteral("Datei Type")};
}

FileDialogSpec playlistSaveDialog(const QString& folder, const QString& fileName) {
    return {true,
            folder,
            fileName,
            QStringLiteral("&speichern"),
            QStringLiteral("nix"),
            QStringLiteral("&suchen in.."),
            QStringLiteral("Datei &Name"),
            QStringLiteral("Datei Typ")};
}

QStringList readPlaylistLines(const QString& path) {
    QStringList lines = readTextLines(path, true);
    lines.removeAll(QString());
    return lines;
}

bool canOpenSong(const QString& path) {
    // Only a regular file counts: opening a device or a pipe that a playlist line names could block or
    // have effects of its own. A name with a zero byte names no file (pathBytes gives no name).
    const QByteArray name = pathBytes(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return static_cast<bool>(UniqueFd(::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)));
}

QString notFoundMessage(const QStringList& missing) {
    QString text = QStringLiteral("nicht (mehr) gefunden:\r\r");
    for (const QString& line : missing)
        text += line + u'\r';
    return text;
}

void PlaylistFiles::remember(const QString& chosen) {
    playlistFile = chosen;
    playlistFolder = QFileInfo(chosen).absolutePath();
    if (!playlistFolder.endsWith(u'/')) playlistFolder += u'/';
}

void PlaylistFiles::loadPlaylist() {
    const std::optional<QString> chosen =
        dialogs_.chooseFile(playlistOpenDialog(playlistFolder, playlistFile));
    if (!chosen) return;
    remember(*chosen);
    // A relative line names a file beside the playlist (the dialog has made its folder the current
    // one). The song list keeps the absolute form, which stays valid when the current folder changes.
    const QDir folder = QFileInfo(*chosen).absoluteDir();
    QStringList missing;
    for (const QString& line : readPlaylistLines(*chosen)) {
        const QString path = QFileInfo(line).isRelative() ? QDir::cleanPath(folder.filePath(line)) : line;
        if (canOpenSong(path))
            songList_.addSong(path);
        else
            missing << line;
    }
    if (!missing.isEmpty()) dialogs_.message(notFoundMessage(missing), MessageIcon::None);
}

void PlaylistFiles::savePlaylist() {
    const std::optional<QString> chosen =
        dialogs_.chooseFile(playlistSaveDialog(playlistFolder, playlistFile));
    if (!chosen) return;
    remember(*chosen);
    QStringList paths;
    for (const Song& song : songList_.songs.rows())
        paths << song.path;
    writeTextLinesAtomic(*chosen, paths);
}
