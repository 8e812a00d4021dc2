#include "library/FileDeletion.h"

#include "app/Player.h"
#include "app/Window.h"
#include "platform/FileSystem.h"

void FileDeletion::loesche(int index) {
    PlayerState& s = p_.s;
    if (!s.songs.isRow(index)) return;
    deleteCandidateIndex_ = index;
    candidatePath_ = s.songs.dateinamenLB(index);
    s.display.loeschPVisible = true;
    p_.window().focus(FocusTarget::NeinButton);
    s.display.loeschL = s.songs.songLB(index);
}

void FileDeletion::jaBClick() {
    PlayerState& s = p_.s;
    // Find the song the panel names; it may have moved, or left the list, since the panel opened.
    int row = -1;
    for (int i = 0; i < s.songs.count(); ++i)
        if (s.songs.dateinamenLB(i) == candidatePath_) row = i;
    if (row < 0) {
        closePanel();
        return;
    }
    deleteCandidateIndex_ = row;
    const QString path = candidatePath_;
    const QString searchText = s.songs.songLB(row) + QStringLiteral(".mp3");
    s.rowUnderCursor = row;
    p_.songList.song_aus_listen_entfernen();
    if (removeFile(path) != 0) {
        // The engine may still hold the file open: restart it, which closes every file it holds.
        IBass& bass = p_.bass();
        bass.BASS_Free();
        removeFile(path);
        bass.BASS_Init(-1, 44100, 0, nullptr, nullptr);
    }
    p_.browser.removeFileListEntry(searchText, path.left(path.lastIndexOf(u'/') + 1));
    closePanel();
}

void FileDeletion::neinBClick() {
    closePanel();
}

void FileDeletion::closePanel() {
    p_.s.display.loeschPVisible = false;
    p_.window().focus(FocusTarget::SongList);
}
