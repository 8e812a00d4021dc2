#include "library/SongListEditor.h"

#include "app/Player.h"
#include "app/Window.h"

#include <cstdlib>

QString foldDriveLetter(const QString& path) {
    if (path.size() >= 2 && path[0] >= u'A' && path[0] <= u'Z' && path[1] == u':')
        return path[0].toLower() + path.mid(1);
    return path;
}

QString titleOfPath(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    return name.left(std::max<qsizetype>(0, name.size() - 4));
}

void SongListEditor::addSong(const QString& path) {
    if (path.isEmpty()) return;
    PlayerState& s = p_.s;
    const QString folded = foldDriveLetter(path);
    bool duplicate = false;
    for (const Song& song : s.songs.rows())
        if (foldDriveLetter(song.path) == folded) duplicate = true;
    if (!duplicate) {
        const bool levelling = s.levellingBox;
        s.songs.append({titleOfPath(folded), folded, levelling ? QStringLiteral("x") : QStringLiteral("30")});
        // The new title is drawn before a measurement starts; handlers that run here see whole rows.
        p_.window().processEvents();
        // Those handlers may have added, moved or removed rows: measure the row that holds this path.
        if (levelling) p_.loudness.measureLoudness(rowOfPath(folded));
    }
    startNewSong();
}

void SongListEditor::startNewSong() {
    PlayerState& s = p_.s;
    if (s.playMode != PLAYMODE_IDLE && s.playMode != PLAYMODE_RADIO) return;
    if (s.radioMode) p_.radio.toggleRadioMode();
    s.songs.setSelected(s.songs.count() - 1);
    p_.seq.playSelected();
}

void SongListEditor::removeSongUnderCursor() {
    PlayerState& s = p_.s;
    const int r = s.rowUnderCursor;
    if (!s.songs.isRow(r)) return;
    if (r == s.currentIndex) p_.seq.playNext();
    s.songs.remove(r);
    if (s.songs.count() == 0) {
        p_.audioEngine().stop(s.fileStream);
        return;
    }
    if (r <= s.currentIndex) --s.currentIndex;
    s.songs.setSelected(s.currentIndex);
    if (s.currentIndex == s.songs.count() - 1 && r > s.currentIndex) p_.seq.playSelected();
}

int SongListEditor::rowOfPath(const QString& path) const {
    const QList<Song>& rows = p_.s.songs.rows();
    for (int i = 0; i < rows.size(); ++i)
        if (rows[i].path == path) return i;
    return -1;
}

void SongListEditor::removeUnplayable(int row) {
    PlayerState& s = p_.s;
    if (!s.songs.isRow(row)) return;
    // A start that waits for this song's measurement has nothing left to wait for.
    if (row == s.currentIndex) p_.levellingWaitTimer.stop();
    s.songs.remove(row);
    if (row < s.currentIndex) --s.currentIndex;
}

void SongListEditor::clearButtonClicked() {
    PlayerState& s = p_.s;
    if (s.radioMode) {
        p_.editor.openStationEditor();
        return;
    }
    s.songs.clear();
}

void SongListEditor::onSongListMove(bool leftButtonHeld, int x, int y) {
    p_.s.rowUnderCursor = p_.window().songListTopIndex() + y / songRowHeight;
    if (leftButtonHeld) return;
    updateHint(x, y);
}

void SongListEditor::updateHint(int x, int y) {
    PlayerState& s = p_.s;
    if (!s.songs.isRow(s.rowUnderCursor)) {
        hideHint();
        return;
    }
    const QString title = s.songs.title(s.rowUnderCursor);
    // Measured in the window's font, so the box holds the whole text; a title that fits the list needs
    // no hint.
    const int w = p_.window().textWidth(title) + hintPadding;
    if (y >= songListHeight - 9 || x < 10 || x > songListWidth - 10 || y < 4 || w < songListWidth) {
        hideHint();
        return;
    }
    s.display.titleHint = HintBox{true, title, p_.window().width() - w, y + 39, w};
}

void SongListEditor::hideHint() {
    HintBox hint = p_.s.display.titleHint.get();
    hint.visible = false;
    p_.s.display.titleHint = hint;
}

void SongListEditor::onSongListPress(int y) {
    p_.s.dragStartRow = p_.s.songs.selected();
    p_.s.dragStartY = y;
}

void SongListEditor::onSongListRelease(int x, int y) {
    PlayerState& s = p_.s;
    if (x < 2 || x > songListWidth - 2) {
        removeSongUnderCursor();
    } else if (std::abs(s.dragStartY - y) >= 1) {
        if (s.songs.isRow(s.rowUnderCursor) && s.songs.isRow(s.dragStartRow)) {
            s.songs.move(s.dragStartRow, s.rowUnderCursor);
            s.songs.setSelected(s.currentIndex);
        }
    } else {
        p_.seq.playSelected();
    }
}
