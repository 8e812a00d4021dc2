#include "library/FileDeletion.h"

#include "app/Player.h"
#include "app/Window.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"

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
    PlayerState& s = p_.s;
    if (!s.songs.isRow(index)) return;
    deleteCandidateIndex_ = index;
    candidatePath_ = s.songs.path(index);
    s.display.deletePanelVisible = true;
    p_.window().focus(FocusTarget::NoButton);
    s.display.deleteFileLabel = s.songs.title(index);
}

void FileDeletion::confirmDeletion() {
    PlayerState& s = p_.s;
    // Find the song the panel names; it may have moved, or left the list, since the panel opened.
    int row = -1;
    for (int i = 0; i < s.songs.count(); ++i)
        if (s.songs.path(i) == candidatePath_) row = i;
    if (row < 0) {
        closePanel();
        return;
    }
    deleteCandidateIndex_ = row;
    const QString path = candidatePath_;
    const QString searchText = s.songs.title(row) + QStringLiteral(".mp3");
    // The file goes first: the engine plays on from a file deleted while open, so playback need not
    // move on for it, and a file that stays keeps its row and plays on undisturbed.
    if (const std::optional<QString> reason = deleteFile(path)) {
        closePanel();
        p_.dialogs().message(QStringLiteral("konnte nicht gelöscht werden: %1\n%2").arg(path, *reason),
                             MessageIcon::Error);
        return;
    }
    s.rowUnderCursor = row;
    p_.songList.removeSongUnderCursor();
    p_.browser.removeFileListEntry(searchText, path.left(path.lastIndexOf(u'/') + 1));
    closePanel();
}

void FileDeletion::cancelDeletion() {
    closePanel();
}

void FileDeletion::closePanel() {
    p_.s.display.deletePanelVisible = false;
    p_.window().focus(FocusTarget::SongList);
}
