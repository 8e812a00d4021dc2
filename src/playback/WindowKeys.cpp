#include "playback/WindowKeys.h"

#include "app/Player.h"

bool WindowKeys::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    PlayerState& s = p_.s;
    bool discard = false;
    const bool keypad = modifiers & Qt::KeypadModifier;
    switch (key) {
    case Qt::Key_Space:
        p_.seq.PlayBClick();
        discard = true;
        break;
    case Qt::Key_Delete:
        if (s.playMode == PLAYMODE_SONG) {
            s.rowUnderCursor = s.songs.selected();
            if ((modifiers & Qt::ShiftModifier) && s.rowUnderCursor >= 0) p_.deletion.loesche(s.rowUnderCursor);
            else p_.songList.song_aus_listen_entfernen();
        }
        break;
    case Qt::Key_A:
        if (modifiers & Qt::ControlModifier) p_.browser.alle_eintragen(false);
        break;
    case Qt::Key_Plus:
        if (keypad) p_.volume.lautermachen();
        break;
    case Qt::Key_Minus:
        if (keypad) p_.volume.leisermachen();
        break;
    default:
        break;
    }
    const bool alt = (modifiers & Qt::AltModifier) || key == Qt::Key_Alt;
    if (alt && s.playMode == PLAYMODE_SONG) p_.channel.schlussspielen();
    return discard;
}

void WindowKeys::FormKeyUp() {
    PlayerState& s = p_.s;
    if (s.playMode != PLAYMODE_PREVIEW) return;
    s.playMode = PLAYMODE_SONG;
    s.positionDragging = true;
    // A change of the bar seeks back to where the song was.
    s.posTB.setPosition(s.previewReturnPosition);
    p_.channel.einfach_weiter_spielen();
}
