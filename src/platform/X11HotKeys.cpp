#include "platform/X11HotKeys.h"

#include "platform/XcbHandles.h"

#include <QGuiApplication>
#include <algorithm>

namespace {

xcb_connection_t* guiConnection() {
    if (!qGuiApp) return nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_keysym_t keysymOf(HotKey key) {
    switch (key) {
    case HotKey::Pause:
        return 0xff13; // Pause
    case HotKey::PrintScreen:
        return 0xff61; // Print
    case HotKey::ScrollLock:
        return 0xff14; // Scroll_Lock
    default:
        return 0;
    }
}

bool toXModifiers(unsigned modifiers, std::uint16_t& mask) {
    if (modifiers & ~unsigned(HotKeyAlt | HotKeyControl | HotKeyShift | HotKeySuper)) return false;
    mask = 0;
    if (modifiers & HotKeyAlt) mask |= XCB_MOD_MASK_1;
    if (modifiers & HotKeyControl) mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & HotKeyShift) mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & HotKeySuper) mask |= XCB_MOD_MASK_4;
    return true;
}

// NumLock is Mod2 on the usual keymaps; CapsLock is the core Lock modifier.
constexpr std::uint16_t lockMasks[] = {0, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK,
                                       XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK};
constexpr std::uint16_t keyModifierBits = 0xff;

// The keycodes whose unshifted symbol is the keysym. A key that has it only on a shifted level (Sys_Req
// is Alt+Print) is left alone: grabbing that keycode without modifiers would take its plain meaning.
std::vector<xcb_keycode_t> keycodesOf(xcb_connection_t* connection, xcb_keysym_t keysym) {
    std::vector<xcb_keycode_t> codes;
    const XcbKeySymbols symbols(xcb_key_symbols_alloc(connection));
    if (!symbols) return codes;
    const XcbReply<xcb_keycode_t> list(xcb_key_symbols_get_keycode(symbols.get(), keysym));
    for (const xcb_keycode_t* code = list.get(); code && *code != XCB_NO_SYMBOL; ++code)
        if (xcb_key_symbols_get_keysym(symbols.get(), *code, 0) == keysym &&
            std::find(codes.begin(), codes.end(), *code) == codes.end())
            codes.push_back(*code);
    return codes;
}

} // namespace

X11HotKeys::X11HotKeys() : connection_(guiConnection()), deliveryContext_(std::make_unique<QObject>()) {
    if (!connection_) return;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection_)); it.rem; xcb_screen_next(&it))
        roots_.push_back(it.data->root);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotKeys::~X11HotKeys() {
    if (!connection_) return;
    // After the application object is gone its connection is closed, and the server has dropped the grabs.
    if (connectionAlive())
        for (const auto& [id, hotKey] : hotKeys_)
            release(hotKey);
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11HotKeys::connectionAlive() const {
    return connection_ && guiConnection() == connection_ && !xcb_connection_has_error(connection_);
}

bool X11HotKeys::registerHotKey(int id, unsigned modifiers, HotKey key) {
    unregisterHotKey(id);
    if (!connectionAlive()) return false;
    const xcb_keysym_t keysym = keysymOf(key);
    std::uint16_t mask = 0;
    if (!keysym || !toXModifiers(modifiers, mask)) return false;

    Registration hotKey{mask, {}};
    for (const xcb_keycode_t keycode : keycodesOf(connection_, keysym)) {
        for (const std::uint32_t root : roots_) {
            for (const std::uint16_t lock : lockMasks) {
                const Grab grab{root, keycode, std::uint16_t(mask | lock)};
                // The server would let this client grab the same key twice; refuse it, as the desktop
                // refuses a hot key that is already registered.
                if (heldByUs(grab)) continue;
                const xcb_void_cookie_t cookie = xcb_grab_key_checked(
                    connection_, 0, root, grab.modifiers, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
                // BadAccess: another client holds this combination.
                if (XcbReply<xcb_generic_error_t>(xcb_request_check(connection_, cookie))) continue;
                hotKey.grabs.push_back(grab);
            }
        }
    }
    if (hotKey.grabs.empty()) return false;
    hotKeys_.emplace(id, std::move(hotKey));
    return true;
}

void X11HotKeys::unregisterHotKey(int id) {
    const auto it = hotKeys_.find(id);
    if (it == hotKeys_.end()) return;
    if (connectionAlive()) release(it->second);
    hotKeys_.erase(it);
}

bool X11HotKeys::heldByUs(const Grab& grab) const {
    for (const auto& [id, hotKey] : hotKeys_)
        for (const Grab& held : hotKey.grabs)
            if (held.root == grab.root && held.keycode == grab.keycode && held.modifiers == grab.modifiers)
                return true;
    return false;
}

void X11HotKeys::release(const Registration& hotKey) {
    for (const Grab& grab : hotKey.grabs)
        xcb_ungrab_key(connection_, grab.keycode, grab.root, grab.modifiers);
    xcb_flush(connection_);
}

bool X11HotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || hotKeys_.empty()) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS) return false;
    const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
    const std::uint16_t state = press->state & keyModifierBits & ~(XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK);
    for (const auto& [id, hotKey] : hotKeys_) {
        if (hotKey.modifiers != state) continue;
        for (const Grab& grab : hotKey.grabs) {
            if (grab.root != press->event || grab.keycode != press->detail) continue;
            QMetaObject::invokeMethod(
                deliveryContext_.get(), [this, id = id] { deliver(id); }, Qt::QueuedConnection);
            // Other filters may watch the root window too; Qt itself has no window there.
            return false;
        }
    }
    return false;
}
