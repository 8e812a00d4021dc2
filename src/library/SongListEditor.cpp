#include "library/SongListEditor.h"

#include "library/SongListHost.h"
#include "platform/Window.h"

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
    const QString folded = foldDriveLetter(path);
    bool duplicate = false;
    for (const Song& song : songs.rows())
        if (foldDriveLetter(song.path) == folded) duplicate = true;
    if (!duplicate) {
        const bool levelling = host_.levellingOn();
        songs.append({titleOfPath(folded), folded, levelling ? QStringLiteral("x") : QStringLiteral("30")});
        // The new title is drawn before a measurement starts; handlers that run here see whole rows.
        window_.yieldToEvents();
        // Those handlers may have added, moved or removed rows: measure the row that holds this path.
        if (levelling) host_.measureLoudness(rowOfPath(folded));
    }
    startNewSong();
}

void SongListEditor::startNewSong() {
    if (!host_.readyForNewSong()) return;
    host_.leaveRadioMode();
    songs.setSelected(songs.count() - 1);
    host_.playSelected();
}

void SongListEditor::removeSongUnderCursor() {
    const int r = rowUnderCursor;
    if (!songs.isRow(r)) return;
    if (r == currentIndex) host_.playNext();
    songs.remove(r);
    if (songs.count() == 0) {
        host_.stopSong();
        return;
    }
    if (r <= currentIndex) --currentIndex;
    songs.setSelected(currentIndex);
    if (currentIndex == songs.count() - 1 && r > currentIndex) host_.playSelected();
}

int SongListEditor::rowOfPath(const QString& path) const {
    const QList<Song>& rows = songs.rows();
    for (int i = 0; i < rows.size(); ++i)
        if (rows[i].path == path) return i;
    return -1;
}

void SongListEditor::removeUnplayable(int row) {
    if (!songs.isRow(row)) return;
    // A start that waits for this song's measurement has nothing left to wait for.
    if (row == currentIndex) host_.cancelLevellingWait();
    songs.remove(row);
    if (row < currentIndex) --currentIndex;
}

void SongListEditor::clearButtonClicked() {
    if (host_.openStationEditorInstead()) return;
    songs.clear();
}

void SongListEditor::onSongListMove(bool leftButtonHeld, int x, int y) {
    rowUnderCursor = window_.songListTopIndex() + y / songRowHeight;
    if (leftButtonHeld) return;
    updateHint(x, y);
}

void SongListEditor::updateHint(int x, int y) {
    if (!songs.isRow(rowUnderCursor)) {
        hideHint();
        return;
    }
    const QString title = songs.title(rowUnderCursor);
    // Measured in the window's font, so the box holds the whole text; a title that fits the list needs
    // no hint.
    const int w = window_.textWidth(title) + hintPadding;
    if (y >= songListHeight - 9 || x < 10 || x > songListWidth - 10 || y < 4 || w < songListWidth) {
        hideHint();
        return;
    }
    titleHint = HintBox{true, title, window_.width() - w, y + 39, w};
}

void SongListEditor::hideHint() {
    HintBox hint = titleHint.get();
    hint.visible = false;
    titleHint = hint;
}

void SongListEditor::onSongListPress(int y) {
    dragStartRow = songs.selected();
    dragStartY = y;
}

void SongListEditor::onSongListRelease(int x, int y) {
    if (x < 2 || x > songListWidth - 2) {
        removeSongUnderCursor();
    } else if (std::abs(dragStartY - y) >= 1) {
        if (songs.isRow(rowUnderCursor) && songs.isRow(dragStartRow)) {
            songs.move(dragStartRow, rowUnderCursor);
            songs.setSelected(currentIndex);
        }
    } else {
        host_.playSelected();
    }
}
