#pragma once
// Hot keys on X11: passive key grabs on the root window, seen through Qt's native event filter.

#include "platform/HotKeys.h"

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

struct xcb_connection_t;

class X11HotKeys : public IHotKeySource, public QAbstractNativeEventFilter {
public:
    // Uses the X11 connection of the running QGuiApplication; without one (another platform plugin,
    // no GUI application) every registration fails.
    X11HotKeys();
    ~X11HotKeys() override;
    X11HotKeys(const X11HotKeys&) = delete;
    X11HotKeys& operator=(const X11HotKeys&) = delete;

    // Grabs the key's keysym (Pause, Print, Scroll_Lock) on every keycode that produces it, with the
    // modifiers asked for and also with NumLock and CapsLock on, so lock keys do not block it. A grab
    // that the server refuses (another client holds that key) is skipped: the key then reaches the other
    // client in that combination. The result is true when at least one grab succeeded, false when none
    // did, for an unknown virtual key, or when this process already has the key under another identifier.
    // Registering an identifier again replaces its key.
    bool registerHotKey(int id, unsigned modifiers, HotKey key) override;
    // Releases the identifier's grabs so other clients can have the key; unknown identifiers are ignored.
    void unregisterHotKey(int id) override;

    bool available() const { return connection_ != nullptr; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        std::uint32_t root;
        std::uint8_t keycode;
        std::uint16_t modifiers; // the X modifier mask, lock variants included
    };
    struct Registration {
        std::uint16_t modifiers; // the X modifier mask without lock keys
        std::vector<Grab> grabs;
    };

    bool heldByUs(const Grab& grab) const;
    void release(const Registration& registration);
    bool connectionAlive() const;

    xcb_connection_t* connection_ = nullptr;
    std::vector<std::uint32_t> roots_;
    std::map<int, Registration> hotKeys_;
    // Presses are handed on through the event loop, like any window message; calls still queued when
    // this object goes away die with this context.
    std::unique_ptr<QObject> deliveryContext_;
};
