#include "playback/HotKeyHandler.h"

#include "app/Player.h"
#include "platform/HotKeys.h"

HotKeyHandler::~HotKeyHandler() {
    if (source_) source_->setHandler({});
}

void HotKeyHandler::registerHotKeys() {
    PlayerState& s = p_.s;
    IHotKeySource& keys = p_.hotKeys();
    source_ = &keys;
    s.hotKeyPlay = atoms_.add(QStringLiteral("MyHotKey_play"));
    s.hotKeySofter = atoms_.add(QStringLiteral("MyHotKey_leiser"));
    s.hotKeyLouder = atoms_.add(QStringLiteral("MyHotKey_lauter"));
    keys.setHandler([this](int id) { p_.guarded([this, id] { onHotKey(id); }); });
    keys.registerHotKey(s.hotKeyPlay, 0, HotKey::Pause);
    keys.registerHotKey(s.hotKeySofter, 0, HotKey::PrintScreen);
    keys.registerHotKey(s.hotKeyLouder, 0, HotKey::ScrollLock);
}

void HotKeyHandler::releaseHotKeys() {
    PlayerState& s = p_.s;
    for (int* id : {&s.hotKeyPlay, &s.hotKeySofter, &s.hotKeyLouder}) {
        if (*id == 0) continue;
        p_.hotKeys().unregisterHotKey(*id);
        atoms_.remove(static_cast<std::uint16_t>(*id));
        *id = 0;
    }
    if (source_) source_->setHandler({});
    source_ = nullptr;
}

void HotKeyHandler::onHotKey(int id) {
    PlayerState& s = p_.s;
    if (id == 0) return;
    if (id == s.hotKeyPlay) {
        // The order of the presses alone decides: a press while the timer runs is a double press.
        if (p_.doublePressTimer.isActive()) {
            s.hotKeyDoublePress = true;
        } else {
            p_.doublePressTimer.start();
            s.hotKeyDoublePress = false;
        }
    }
    if (id == s.hotKeySofter) p_.volume.stepVolumeDown();
    if (id == s.hotKeyLouder) p_.volume.stepVolumeUp();
}

void HotKeyHandler::onDoublePressTick() {
    p_.doublePressTimer.stop();
    p_.seq.playButtonClicked();
}
