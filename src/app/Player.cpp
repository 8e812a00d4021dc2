#include "app/Player.h"

#include "platform/Dialogs.h"
#include "platform/RuntimeError.h"

Player::Player(Services services, QObject* parent)
    : QObject(parent), mute(services.mixer, s.hotKeyDoublePress), stationOpener(services.bass),
      services_(services) {
    trackTimer.setInterval(200);
    lauttimer.setInterval(100);
    radioT.setInterval(3000);
    radioLautT.setInterval(100);
    mute_timer.setInterval(200);
    connect(&trackTimer, &QTimer::timeout, this, [this] { guarded([this] { seq.trackTimerTimer(); }); });
    connect(&lauttimer, &QTimer::timeout, this, [this] { guarded([this] { volume.lauttimerTimer(); }); });
    connect(&radioT, &QTimer::timeout, this, [this] { guarded([this] { radio.radioTTimer(); }); });
    connect(&mute_timer, &QTimer::timeout, this,
            [this] { guarded([this] { hotKeyHandler.mute_timerTimer(); }); });
    connect(&radioLautT, &QTimer::timeout, this,
            [this] { guarded([this] { levelFollower.radioLautTTimer(); }); });
    // The program's file list shows MP3 files only, without folders.
    s.FileList1.setDisplayDirectory(false);
    s.FileList1.setFileTypes({ftArchive, ftReadonly});
    s.FileList1.setViewColumns({fiName, fiModified});
    s.FileList1.setMask(QStringLiteral("*.mp3"));
    // Both downloads are read into memory whole when they end: a station's playlist names a stream or
    // a few, the station list some ten thousand stations at most.
    HTTPGet1.setMaxBytes(1 << 20);
    HTTPGet2.setMaxBytes(4 << 20);
    connect(&HTTPGet1, &THTTPGet::OnDoneString, this, [this](QObject*, const QByteArray& playlist) {
        guarded([&] { radio.HTTPGet1DoneString(playlist); });
    });
    connect(&HTTPGet1, &THTTPGet::OnError, this, [this] { guarded([this] { radio.HTTPGet1Error(); }); });
    connect(&HTTPGet2, &THTTPGet::OnDoneString, this,
            [this](QObject*, const QByteArray& list) { guarded([&] { update.HTTPGet2DoneString(list); }); });
    connect(&HTTPGet2, &THTTPGet::OnError, this, [this] { guarded([this] { update.HTTPGet2Error(); }); });
    s.posTB.onChange([this](int) { guarded([this] { seq.posTBChange(); }); });
    s.volumeTB.onChange([this](int) { guarded([this] { volume.volumeTBChange(); }); });
}

void Player::fetchStationPlaylist(const QString& url) {
    HTTPGet1.setURL(url);
    HTTPGet1.DownloadString();
}

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
    intake.eingabefeldEChange();
}
