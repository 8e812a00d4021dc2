#include "library/FileDeletion.h"

#include "library/FileBrowser.h"
#include "library/SongListEditor.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/Window.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Deletes the file; the system's reason when it is still there afterwards, else nothing. A file that
// was already gone counts as deleted.
std::optional<QString> deleteFile(const QString& path) {
    const int err = removeFile(path);
    if (err == 0) return std::nullopt;
    struct stat st {};
    if (::lstat(pathBytes(path).constData(), &st) != 0 && errno == ENOENT) return std::nullopt;
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

void FileDeletion::offerDeletion(int index) {
    SongList& songs = songList_.songs;
    if (!songs.isRow(index)) return;
    deleteCandidateIndex_ = index;
    candidatePath_ = songs.path(index);
    panelVisible = true;
    window_.focus(FocusTarget::NoButton);
    fileLabel = songs.title(index);
}

void FileDeletion::confirmDeletion() {
    SongList& songs = songList_.songs;
    // Find the song the panel names; it may have moved, or left the list, since the panel opened.
    int row = -1;
    for (int i = 0; i < songs.count(); ++i)
        if (songs.path(i) == candidatePath_) row = i;
    if (row < 0) {
        closePanel();
        return;
    }
    deleteCandidateIndex_ = row;
    const QString path = candidatePath_;
    const QString searchText = songs.title(row) + QStringLiteral(".mp3");
    // The file goes first: the engine plays on from a file deleted while open, so playback need not
    // move on for it, and a file that stays keeps its row and plays on undisturbed.
    if (const std::optional<QString> reason = deleteFile(path)) {
        closePanel();
        dialogs_.message(QStringLiteral("konnte nicht gelöscht werden: %1\n%2").arg(path, *reason),
                         MessageIcon::Error);
        return;
    }
    songList_.rowUnderCursor = row;
    songList_.removeSongUnderCursor();
    browser_.removeFileListEntry(searchText, path.left(path.lastIndexOf(u'/') + 1));
    closePanel();
}

void FileDeletion::cancelDeletion() {
    closePanel();
}

void FileDeletion::closePanel() {
    panelVisible = false;
    window_.focus(FocusTarget::SongList);
}
