#pragma once
// Files dropped on the song list: the rules the drop target follows while a drag is over its control
// (which effect it answers, when it marks and performs auto-scrolling) and the window's handler that
// takes the dropped MP3 files into the song list.

#include <QPoint>
#include <QSize>
#include <QStringList>
#include <Qt>
#include <cstdint>

class SongListEditor;

// Drop effects. The first three have the values of Qt::CopyAction, MoveAction and LinkAction; the
// scroll mark tells the target to scroll its control while the pointer stays where it is.
using DropEffect = std::uint32_t;
constexpr DropEffect dropNone = 0;
constexpr DropEffect dropCopy = 1;
constexpr DropEffect dropMove = 2;
constexpr DropEffect dropLink = 4;
constexpr DropEffect dropScroll = 0x80000000u;

// The effect from the keys held and the effects both the source and the target allow: Shift+Ctrl
// links, Shift alone moves, otherwise copy, move or link, the first one allowed.
DropEffect standardDropEffect(Qt::KeyboardModifiers keys, DropEffect allowed);

// The attached control as the drop target sees it while a drag is over it.
struct DropArea {
    QSize client;   // the client area (for a list: without its scroll bars)
    int margin = 0; // the width of the band along the edges that scrolls
    bool horizontalBar = false;
    bool verticalBar = false;
};

// dropScroll when the pointer is in the margin along an edge the control can scroll to.
DropEffect scrollMark(const DropArea& area, QPoint pointer);
// The lines (y) and columns (x) one auto-scroll tick moves: -1 back, 1 forward, 0 not.
QPoint autoScrollStep(const DropArea& area, QPoint pointer);

// The dropped names that go into the song list: every name containing ".MP3" in any case, in the
// order of the drop.
QStringList songNamesOfDrop(const QStringList& names);
// The window's handler of a drop on the song list.
void takeDroppedFiles(SongListEditor& songList, const QStringList& names);
