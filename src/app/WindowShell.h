#pragma once
// The borderless window's own handling: it moves when the title label is dragged, "Taskbar" sends it
// into the notification area, and the notification-area icon shows or hides it again or asks whether
// to quit.

#include <QPoint>
#include <QString>
#include <Qt>

class IDialogs;
class IWindow;

// What the window shell asks of the notification-area icon.
class INotificationIcon {
public:
    virtual ~INotificationIcon() = default;
    virtual bool isVisible() const = 0;
    // Adds or removes the icon. Adding fails, and isVisible stays false, when the desktop has no
    // notification area or the icon has no image.
    virtual void setVisible(bool visible) = 0;
    // Whether the desktop offers a notification area right now.
    virtual bool areaAvailable() const = 0;
};

// The title label's left edge in the window; the window is placed relative to it while dragged.
constexpr int titleStripLeft = 152;
// The quit question opens above and to the left of the pointer by this much.
constexpr QPoint quitQuestionOffset{120, 150};
inline const QString quitQuestion = QStringLiteral("MP3 verlassen?");

class WindowShell {
public:
    WindowShell(IWindow& window, IDialogs& dialogs, INotificationIcon& icon)
        : window_(window), dialogs_(dialogs), icon_(icon) {}

    // x, y: the pointer inside the title label.
    void onTitleStripPress(int x, int y);
    // cursor: the pointer on the screen. Only a move with the left button held moves the window.
    void onTitleStripMove(bool leftButtonHeld, QPoint cursor);
    void hideToTray();
    // x, y: the pointer on the screen when the icon was clicked.
    void onTrayIconPress(Qt::MouseButton button, int x, int y);

    int dragOffsetX = 0;
    int dragOffsetY = 0;

private:
    IWindow& window_;
    IDialogs& dialogs_;
    INotificationIcon& icon_;
};
