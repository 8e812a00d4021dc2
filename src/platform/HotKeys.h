#pragma once
// System-wide hot keys: keys that reach the player whatever application has the focus.

#include <functional>

// The keys the player grabs. The numbers are fixed so a test agent can pass a key as text.
enum class HotKey : unsigned { Pause = 19, PrintScreen = 44, ScrollLock = 145 };

// Modifier keys a hot key may require, combined with |.
enum HotKeyModifier : unsigned { HotKeyAlt = 0x1, HotKeyControl = 0x2, HotKeyShift = 0x4, HotKeySuper = 0x8 };

class IHotKeySource {
public:
    virtual ~IHotKeySource() = default;
    // Grabs the key with the given HotKeyModifier bits (the player passes none) for the identifier id;
    // false when it cannot be grabbed (another client holds it, or there is no X11 display).
    virtual bool registerHotKey(int id, unsigned modifiers, HotKey key) = 0;
    virtual void unregisterHotKey(int id) = 0;
    // Called on the GUI thread with the identifier of each hot key pressed.
    void setHandler(std::function<void(int id)> handler) { handler_ = std::move(handler); }

protected:
    void deliver(int id) {
        if (handler_) handler_(id);
    }

private:
    std::function<void(int id)> handler_;
};
