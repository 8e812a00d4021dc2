#pragma once
// The system-wide hot keys: Pause plays and pauses (a double press also mutes the master output),
// Print Screen and Scroll Lock make the volume softer and louder.

#include "platform/GlobalAtoms.h"

class Player;
class IHotKeySource;

class HotKeyHandler {
public:
    explicit HotKeyHandler(Player& player) : p_(player) {}
    ~HotKeyHandler();
    HotKeyHandler(const HotKeyHandler&) = delete;
    HotKeyHandler& operator=(const HotKeyHandler&) = delete;

    // Registers the three keys, without modifiers, under the values of their atom names. A key another
    // program holds simply never arrives.
    void registerHotKeys();
    // Releases the keys and their atoms; presses still on their way are ignored.
    void releaseHotKeys();

    // A hot key arrived.
    void onHotKey(int id);
    // 200 ms after the first press of the play key: the play button is clicked once.
    void onDoublePressTick();

private:
    Player& p_;
    GlobalAtoms atoms_;
    // The source the handler was handed to; it outlives the player, so it must forget the handler.
    IHotKeySource* source_ = nullptr;
};
