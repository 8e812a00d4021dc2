#pragma once
// System-wide hot keys: keys that reach the player whatever application has the focus.

#include <functional>

// Virtual-key codes of the keys the player grabs.
constexpr unsigned VK_PAUSE = 19;
constexpr unsigned VK_SNAPSHOT = 44;
constexpr unsigned VK_SCROLL = 145;

// Modifier keys a hot key may require, combined with |.
constexpr unsigned MOD_ALT = 0x1;
constexpr unsigned MOD_CONTROL = 0x2;
constexpr unsigned MOD_SHIFT = 0x4;
constexpr unsigned MOD_WIN = 0x8;

class IHotKeySource {
public:
    virtual ~IHotKeySource() = default;
    // Grabs the key with the given MOD_* modifiers (the player passes none) for the identifier id;
    // false when it cannot be grabbed (another client holds it, or there is no X11 display).
    virtual bool registerHotKey(int id, unsigned modifiers, unsigned virtualKey) = 0;
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
