#include "library/DroppedFiles.h"

#include "library/SongListEditor.h"

DropEffect standardDropEffect(Qt::KeyboardModifiers keys, DropEffect allowed) {
    const bool shift = keys & Qt::ShiftModifier;
    const bool ctrl = keys & Qt::ControlModifier;
    if (shift && ctrl && (allowed & dropLink)) return dropLink;
    if (shift && !ctrl && (allowed & dropMove)) return dropMove;
    for (const DropEffect effect : {dropCopy, dropMove, dropLink})
        if (allowed & effect) return effect;
    return dropNone;
}

DropEffect scrollMark(const DropArea& area, QPoint pointer) {
    return autoScrollStep(area, pointer).isNull() ? dropNone : dropScroll;
}

QPoint autoScrollStep(const DropArea& area, QPoint pointer) {
    const auto step = [&](bool bar, int at, int size) {
        if (!bar) return 0;
        if (at < area.margin) return -1;
        if (at > size - area.margin) return 1;
        return 0;
    };
    return {step(area.horizontalBar, pointer.x(), area.client.width()),
            step(area.verticalBar, pointer.y(), area.client.height())};
}

QStringList songNamesOfDrop(const QStringList& names) {
    QStringList songs;
    for (const QString& name : names)
        if (name.toUpper().contains(QStringLiteral(".MP3"))) songs << name;
    return songs;
}

void takeDroppedFiles(SongListEditor& songList, const QStringList& names) {
    for (const QString& name : songNamesOfDrop(names))
        songList.addSong(name);
}
