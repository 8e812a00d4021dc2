#include "app/Player.h"

#include "platform/Guarded.h"

Player::Player(Services services, PlayerOptions options, QObject* parent)
    : QObject(parent), services_(services), volume(services.audioEngine, channel, options.volume),
      seq(services.audioEngine, services.window, mute, channel, volume, songList, links_, options.sequencer),
      hotKeyHandler(services.hotKeys, services.dialogs, mute, volume, seq, options.hotKeys),
      radio(services.audioEngine, services.window, services.dialogs, mute, channel, volume, seq,
            options.radio) {
    wireTimers();
    channel.positionBar.onChange([this](int) { guarded([this] { seq.onPositionBarChange(); }); });
    volume.volumeBar.onChange([this](int) { guarded([this] { volume.onVolumeBarChange(); }); });
    // A sound server that restarted brings its own master switch; ours is set on the GUI thread.
    services_.audioEngine.setOutputReturnHandler([this] {
        QMetaObject::invokeMethod(
            this, [this] { guarded([this] { mute.restoreAfterOutputReturn(); }); }, Qt::QueuedConnection);
    });
}

Player::~Player() {
    services_.audioEngine.setOutputReturnHandler({});
}

void Player::wireTimers() {
    const auto tick = [this](QTimer& timer, auto handler) {
        connect(&timer, &QTimer::timeout, this, [this, handler] { guarded(handler); });
    };
    tick(seq.trackTimer, [this] { seq.onTrackTick(); });
    tick(volume.levellingWaitTimer, [this] { volume.onLevellingWaitTick(); });
    tick(radio.watchdogTimer, [this] { radio.onWatchdogTick(); });
    tick(radio.levelFollower.levelTimer, [this] { radio.levelFollower.onLevelTick(); });
    tick(hotKeyHandler.doublePressTimer, [this] { hotKeyHandler.onDoublePressTick(); });
}

void Player::guarded(const std::function<void()>& handler) {
    runGuarded(dialogs(), handler);
}

bool Player::Links::levellingOn() const {
    return p_.volume.levellingBox;
}

void Player::Links::measureLoudness(int row) {
    p_.loudness.measureLoudness(row);
}

bool Player::Links::readyForNewSong() const {
    return p_.seq.acceptsNewSong();
}

void Player::Links::leaveRadioMode() {
    if (p_.radio.radioMode) p_.radio.toggleRadioMode();
}

void Player::Links::playSelected() {
    p_.seq.playSelected();
}

void Player::Links::playNext() {
    p_.seq.playNext();
}

void Player::Links::stopSong() {
    p_.channel.stopSong();
}

void Player::Links::cancelLevellingWait() {
    p_.volume.levellingWaitTimer.stop();
}

bool Player::Links::openStationEditorInstead() {
    if (!p_.radio.radioMode) return false;
    p_.editor.openStationEditor();
    return true;
}

bool Player::Links::inRadioMode() const {
    return p_.radio.inRadioMode();
}

bool Player::Links::stationWatched() const {
    return p_.radio.stationWatched();
}

bool Player::Links::streamPlaying() const {
    return p_.radio.streamPlaying();
}

void Player::Links::startStation() {
    p_.radio.startStation();
}

void Player::Links::stopStation() {
    p_.radio.stopStation();
}

void Player::Links::stopStream() {
    p_.radio.stopStream();
}

void Player::Links::dropStation() {
    p_.radio.dropStation();
}
