#pragma once
// The keys the window handles before the focused control: Space plays and pauses, Delete removes the
// selected song (Shift+Delete offers its file for deletion), Ctrl+A takes all files in, keypad + and -
// step the volume, and Alt held while a song plays previews its end.

#include <Qt>

class Player;

class WindowKeys {
public:
    explicit WindowKeys(Player& player) : p_(player) {}

    // Returns true when the key is used up, so no control receives it.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    // Releasing any key ends the ending preview.
    void FormKeyUp();

private:
    Player& p_;
};
