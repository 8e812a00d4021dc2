#pragma once
// What the player's operations ask of the main window and its controls beyond the shared state.
// The real window implements it; tests use a recording fake.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

enum class FocusTarget { SongList, FileList, FolderTree, NoButton };

class IWindow {
public:
    virtual ~IWindow() = default;
    virtual void moveTo(int left, int top) = 0;
    virtual QPoint position() const = 0;
    // False where the compositor alone places windows (Wayland): moveTo does nothing there and
    // position() is not where the window is.
    virtual bool positionKnown() const = 0;
    virtual int width() const = 0;
    virtual bool isShown() const = 0;
    virtual void showWindow() = 0;
    virtual void hideWindow() = 0;
    // Minimises the window to the desktop's task bar.
    virtual void minimizeWindow() = 0;
    // Brings the window to the front and activates it.
    virtual void raiseAndActivate() = 0;
    virtual void closeWindow() = 0;
    virtual void focus(FocusTarget target) = 0;
    // The wait cursor while long work runs.
    virtual void setBusy(bool busy) = 0;
    // The width of a text in the window's font, in pixels.
    virtual int textWidth(const QString& text) const = 0;
    // The first visible row of the song list.
    virtual int songListTopIndex() const = 0;
    // Lets the event loop run the waiting events (see platform/EventLoop.h).
    virtual void yieldToEvents() = 0;
    // The areas of the screens a window may take (without panels), the primary screen's first.
    virtual QList<QRect> screenAreas() const = 0;
};
