#include "app/WindowKeys.h"

#include "library/FileBrowser.h"
#include "library/FileDeletion.h"
#include "library/SongListEditor.h"
#include "platform/Window.h"
#include "playback/ChannelControl.h"
#include "playback/PlaySequencer.h"
#include "playback/VolumeControl.h"
#include "radio/RadioPlayback.h"

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
        sequencer_.playButtonClicked();
        discard = true;
        break;
    case Qt::Key_Delete:
        if (channel_.playMode == PlayMode::Song) {
            songList_.rowUnderCursor = songList_.songs.selected();
            if ((modifiers & Qt::ShiftModifier) && songList_.rowUnderCursor >= 0)
                deletion_.offerDeletion(songList_.rowUnderCursor);
            else
                songList_.removeSongUnderCursor();
        }
        break;
    case Qt::Key_A:
        if (modifiers & Qt::ControlModifier) browser_.takeAllFiles(false);
        break;
    case Qt::Key_Plus:
        if (keypad) volume_.stepVolumeUp();
        break;
    case Qt::Key_Minus:
        if (keypad) volume_.stepVolumeDown();
        break;
    default:
        break;
    }
    const bool alt = (modifiers & Qt::AltModifier) || key == Qt::Key_Alt;
    if (alt && channel_.playMode == PlayMode::Song) channel_.previewEnding();
    return discard;
}

void WindowKeys::onWindowKeyRelease() {
    if (channel_.playMode != PlayMode::Preview) return;
    channel_.playMode = PlayMode::Song;
    channel_.positionDragging = true;
    // A change of the bar seeks back to where the song was. A preview too short to move the bar leaves
    // it at that value already: the seek is made here then, or the song would go on near its end.
    if (channel_.positionBar.position() == channel_.previewReturnPosition)
        sequencer_.onPositionBarChange();
    else
        channel_.positionBar.setPosition(channel_.previewReturnPosition);
    channel_.resumeAfterSeek();
}

bool WindowKeys::onSongListKey(int key) {
    if (isEnter(key)) {
        sequencer_.playSelected();
        return false;
    }
    if (key == Qt::Key_Left) {
        window_.focus(FocusTarget::FileList);
        return true;
    }
    if (key == Qt::Key_Right) {
        sequencer_.playNext();
        return true;
    }
    return false;
}

void WindowKeys::onStationListKey(int key) {
    if (isEnter(key)) radio_.startSelectedStation();
}
