#include "app/WindowKeys.h"

#include "app/Player.h"
#include "platform/Window.h"

namespace {
bool isEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}
} // namespace

bool WindowKeys::onWindowKey(int key, Qt::KeyboardModifiers modifiers, bool inTextEditor) {
    bool discard = false;
    const bool keypad = modifiers & Qt::KeypadModifier;
    // In a text editor no key of the table applies.
    switch (inTextEditor ? 0 : key) {
    case Qt::Key_Space:
        p_.seq.playButtonClicked();
        discard = true;
        break;
    case Qt::Key_Delete:
        if (p_.channel.playMode == PlayMode::Song) {
            p_.songList.rowUnderCursor = p_.songList.songs.selected();
            if ((modifiers & Qt::ShiftModifier) && p_.songList.rowUnderCursor >= 0)
                p_.deletion.offerDeletion(p_.songList.rowUnderCursor);
            else
                p_.songList.removeSongUnderCursor();
        }
        break;
    case Qt::Key_A:
        if (modifiers & Qt::ControlModifier) p_.browser.takeAllFiles(false);
        break;
    case Qt::Key_Plus:
        if (keypad) p_.volume.stepVolumeUp();
        break;
    case Qt::Key_Minus:
        if (keypad) p_.volume.stepVolumeDown();
        break;
    default:
        break;
    }
    const bool alt = (modifiers & Qt::AltModifier) || key == Qt::Key_Alt;
    if (alt && p_.channel.playMode == PlayMode::Song) p_.channel.previewEnding();
    return discard;
}

void WindowKeys::onWindowKeyRelease() {
    if (p_.channel.playMode != PlayMode::Preview) return;
    p_.channel.playMode = PlayMode::Song;
    p_.channel.positionDragging = true;
    // A change of the bar seeks back to where the song was. A preview too short to move the bar leaves
    // it at that value already: the seek is made here then, or the song would go on near its end.
    if (p_.channel.positionBar.position() == p_.channel.previewReturnPosition)
        p_.seq.onPositionBarChange();
    else
        p_.channel.positionBar.setPosition(p_.channel.previewReturnPosition);
    p_.channel.resumeAfterSeek();
}

bool WindowKeys::onSongListKey(int key) {
    if (isEnter(key)) {
        p_.seq.playSelected();
        return false;
    }
    if (key == Qt::Key_Left) {
        p_.window().focus(FocusTarget::FileList);
        return true;
    }
    if (key == Qt::Key_Right) {
        p_.seq.playNext();
        return true;
    }
    return false;
}

void WindowKeys::onStationListKey(int key) {
    if (isEnter(key)) p_.radio.startSelectedStation();
}
