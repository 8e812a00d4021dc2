#include "app/Player.h"

#include "platform/Dialogs.h"
#include "platform/RuntimeError.h"

Player::Player(Services services, QObject* parent)
    : QObject(parent), mute(services.mixer, s.hotKeyDoublePress), services_(services) {
    trackTimer.setInterval(200);
    lauttimer.setInterval(100);
    radioT.setInterval(3000);
    radioLautT.setInterval(100);
    mute_timer.setInterval(200);
    connect(&trackTimer, &QTimer::timeout, this, [this] { guarded([this] { seq.trackTimerTimer(); }); });
    connect(&lauttimer, &QTimer::timeout, this, [this] { guarded([this] { volume.lauttimerTimer(); }); });
    connect(&radioT, &QTimer::timeout, this, [this] { guarded([this] { radio.radioTTimer(); }); });
    connect(&radioLautT, &QTimer::timeout, this, [this] { guarded([this] { levelFollower.radioLautTTimer(); }); });
    s.posTB.onChange([this](int) { guarded([this] { seq.posTBChange(); }); });
    s.volumeTB.onChange([this](int) { guarded([this] { volume.volumeTBChange(); }); });
}

void Player::fetchStationPlaylist(const QString&) {}

Player::~Player() = default;

void Player::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const RuntimeError& e) {
        dialogs().showError(e.message());
    }
}

void Player::setEingabefeldE(const QString& text) {
    if (text == eingabefeldE_) return;
    eingabefeldE_ = text;
}
