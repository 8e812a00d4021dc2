#include "app/Player.h"

#include "platform/Dialogs.h"
#include "platform/RuntimeError.h"

Player::Player(Services services, QObject* parent)
    : QObject(parent), mute(services.mixer, s.hotKeyDoublePress), stationOpener(services.audioEngine),
      services_(services) {
    trackTimer.setInterval(200);
    levellingWaitTimer.setInterval(100);
    watchdogTimer.setInterval(3000);
    levelTimer.setInterval(100);
    doublePressTimer.setInterval(200);
    connect(&trackTimer, &QTimer::timeout, this, [this] { guarded([this] { seq.onTrackTick(); }); });
    connect(&levellingWaitTimer, &QTimer::timeout, this,
            [this] { guarded([this] { volume.onLevellingWaitTick(); }); });
    connect(&watchdogTimer, &QTimer::timeout, this, [this] { guarded([this] { radio.onWatchdogTick(); }); });
    connect(&doublePressTimer, &QTimer::timeout, this,
            [this] { guarded([this] { hotKeyHandler.onDoublePressTick(); }); });
    connect(&levelTimer, &QTimer::timeout, this,
            [this] { guarded([this] { levelFollower.onLevelTick(); }); });
    // The program's file list shows MP3 files only, without folders.
    s.fileList.setDisplayDirectory(false);
    s.fileList.setFileTypes({ftArchive, ftReadonly});
    s.fileList.setViewColumns({fiName, fiModified});
    s.fileList.setMask(QStringLiteral("*.mp3"));
    // Both downloads are read into memory whole when they end: a station's playlist names a stream or
    // a few, the station list some ten thousand stations at most.
    playlistDownload.setMaxBytes(1 << 20);
    stationListDownload.setMaxBytes(4 << 20);
    connect(&playlistDownload, &HttpDownload::OnDoneString, this,
            [this](QObject*, const QByteArray& playlist) {
                guarded([&] { radio.onPlaylistFetched(playlist); });
            });
    connect(&playlistDownload, &HttpDownload::OnError, this,
            [this] { guarded([this] { radio.onPlaylistFetchFailed(); }); });
    connect(
        &stationListDownload, &HttpDownload::OnDoneString, this,
        [this](QObject*, const QByteArray& list) { guarded([&] { update.onStationListFetched(list); }); });
    connect(&stationListDownload, &HttpDownload::OnError, this,
            [this] { guarded([this] { update.onStationListFetchFailed(); }); });
    s.positionBar.onChange([this](int) { guarded([this] { seq.onPositionBarChange(); }); });
    s.volumeBar.onChange([this](int) { guarded([this] { volume.onVolumeBarChange(); }); });
    // A sound server that restarted brings its own master switch; ours is set on the GUI thread.
    services_.audioEngine.setOutputReturnHandler([this] {
        QMetaObject::invokeMethod(
            this, [this] { guarded([this] { mute.restoreAfterOutputReturn(); }); }, Qt::QueuedConnection);
    });
}

void Player::fetchStationPlaylist(const QString& url) {
    playlistDownload.setURL(url);
    playlistDownload.DownloadString();
}

Player::~Player() {
    services_.audioEngine.setOutputReturnHandler({});
}

void Player::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const RuntimeError& e) {
        dialogs().showError(e.message());
    }
}

void Player::setIntakeText(const QString& text) {
    if (text == intakeText_) return;
    intakeText_ = text;
    intake.onIntakeText();
}
