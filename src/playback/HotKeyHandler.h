#pragma once
// The system-wide hot keys: Pause plays and pauses (a double press also mutes the master output),
// Print Screen and Scroll Lock make the volume softer and louder.

#include "platform/GlobalAtoms.h"

#include <QTimer>

class IDialogs;
class IHotKeySource;
class MasterMute;
class PlaySequencer;
class VolumeControl;

// The intervals of its timers; tests shorten them.
struct HotKeyOptions {
    // A second press of the play key within this time is a double press.
    int doublePressMs = 200;
};

class HotKeyHandler {
public:
    HotKeyHandler(IHotKeySource& source, IDialogs& dialogs, MasterMute& mute, VolumeControl& volume,
                  PlaySequencer& sequencer, HotKeyOptions options = {});
    ~HotKeyHandler();
    HotKeyHandler(const HotKeyHandler&) = delete;
    HotKeyHandler& operator=(const HotKeyHandler&) = delete;

    // The keys' ids while registered, else 0.
    int hotKeyPlay = 0;
    int hotKeySofter = 0;
    int hotKeyLouder = 0;
    // Runs from the first press of the play key; off at start.
    QTimer doublePressTimer;

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
    IHotKeySource& keys_;
    IDialogs& dialogs_;
    MasterMute& mute_;
    VolumeControl& volume_;
    PlaySequencer& sequencer_;
    GlobalAtoms atoms_;
    // The source the handler was handed to; it outlives the player, so it must forget the handler.
    IHotKeySource* source_ = nullptr;
};
