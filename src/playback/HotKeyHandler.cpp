#include "playback/HotKeyHandler.h"

#include "platform/Guarded.h"
#include "platform/HotKeys.h"
#include "playback/MasterMute.h"
#include "playback/PlaySequencer.h"
#include "playback/VolumeControl.h"

HotKeyHandler::HotKeyHandler(IHotKeySource& source, IDialogs& dialogs, MasterMute& mute,
                             VolumeControl& volume, PlaySequencer& sequencer, HotKeyOptions options)
    : keys_(source), dialogs_(dialogs), mute_(mute), volume_(volume), sequencer_(sequencer) {
    doublePressTimer.setInterval(options.doublePressMs);
}

HotKeyHandler::~HotKeyHandler() {
    if (source_) source_->setHandler({});
}

void HotKeyHandler::registerHotKeys() {
    source_ = &keys_;
    hotKeyPlay = atoms_.add(QStringLiteral("MyHotKey_play"));
    hotKeySofter = atoms_.add(QStringLiteral("MyHotKey_leiser"));
    hotKeyLouder = atoms_.add(QStringLiteral("MyHotKey_lauter"));
    keys_.setHandler([this](int id) { runGuarded(dialogs_, [this, id] { onHotKey(id); }); });
    keys_.registerHotKey(hotKeyPlay, 0, HotKey::Pause);
    keys_.registerHotKey(hotKeySofter, 0, HotKey::PrintScreen);
    keys_.registerHotKey(hotKeyLouder, 0, HotKey::ScrollLock);
}

void HotKeyHandler::releaseHotKeys() {
    for (int* id : {&hotKeyPlay, &hotKeySofter, &hotKeyLouder}) {
        if (*id == 0) continue;
        keys_.unregisterHotKey(*id);
        atoms_.remove(static_cast<std::uint16_t>(*id));
        *id = 0;
    }
    if (source_) source_->setHandler({});
    source_ = nullptr;
}

void HotKeyHandler::onHotKey(int id) {
    if (id == 0) return;
    if (id == hotKeyPlay) {
        // The order of the presses alone decides: a press while the timer runs is a double press.
        if (doublePressTimer.isActive()) {
            mute_.hotKeyDoublePress = true;
        } else {
            doublePressTimer.start();
            mute_.hotKeyDoublePress = false;
        }
    }
    if (id == hotKeySofter) volume_.stepVolumeDown();
    if (id == hotKeyLouder) volume_.stepVolumeUp();
}

void HotKeyHandler::onDoublePressTick() {
    doublePressTimer.stop();
    sequencer_.playButtonClicked();
}
