#include "app/WindowShell.h"

#include "platform/Dialogs.h"
#include "platform/Window.h"

void WindowShell::onTitleStripPress(int x, int y) {
    dragOffsetX = x;
    dragOffsetY = y;
}

void WindowShell::onTitleStripMove(bool leftButtonHeld, QPoint cursor) {
    if (!leftButtonHeld) return;
    // The label's top is the window's top; the frame around the client area is not counted.
    window_.moveTo(cursor.x() - dragOffsetX - titleStripLeft, cursor.y() - dragOffsetY);
}

void WindowShell::hideToTray() {
    icon_.setVisible(true);
    // Hidden without an icon to bring it back, the window could never be reached again: without a
    // notification area it is minimised instead.
    if (icon_.isVisible() && icon_.areaAvailable())
        window_.hideWindow();
    else
        window_.minimizeWindow();
}

void WindowShell::onTrayIconPress(Qt::MouseButton button, int x, int y) {
    if (button == Qt::LeftButton) {
        if (window_.isShown()) {
            window_.hideWindow();
        } else {
            window_.showWindow();
            window_.raiseAndActivate();
        }
        return;
    }
    if (button != Qt::RightButton && button != Qt::MiddleButton) return;
    if (dialogs_.askYesCancel(quitQuestion, QPoint(x, y) - quitQuestionOffset)) window_.closeWindow();
}
