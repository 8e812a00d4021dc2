#include "mpris/Mpris.h"

#include "app/Player.h"
#include "mpris/MprisAdaptors.h"
#include "platform/ByteText.h"
#include "platform/FileUrl.h"
#include "platform/Window.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString playing = QStringLiteral("Playing");
const QString paused = QStringLiteral("Paused");
const QString stopped = QStringLiteral("Stopped");

qint64 microseconds(double seconds) {
    return std::llround(seconds * 1e6);
}

} // namespace

QVariantMap MprisTrack::metadata() const {
    QVariantMap map;
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId)));
    if (trackId == Mpris::noTrack) return map;
    map.insert(QStringLiteral("xesam:title"), title);
    if (!url.isEmpty()) map.insert(QStringLiteral("xesam:url"), url);
    if (!artist.isEmpty()) map.insert(QStringLiteral("xesam:artist"), QStringList{artist});
    if (lengthUs > 0) map.insert(QStringLiteral("mpris:length"), lengthUs);
    return map;
}

QDBusConnection Mpris::sessionBus() {
    // Without an address in the environment and without the per-user bus socket, libdbus would launch a
    // bus of its own for the X display, where no media control listens.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus"))))
        return QDBusConnection(QStringLiteral("mp3zx-no-session-bus"));
    return QDBusConnection::sessionBus();
}

Mpris::Mpris(Player& player, const QDBusConnection& bus, QObject* parent)
    : QObject(parent), p_(player), bus_(bus) {
    if (!bus_.isConnected()) return;
    new MprisRootAdaptor(this);
    playerAdaptor_ = new MprisPlayerAdaptor(this);
    if (!bus_.registerObject(objectPath, this, QDBusConnection::ExportAdaptors)) return;
    if (!bus_.registerService(serviceName)) {
        bus_.unregisterObject(objectPath);
        return;
    }
    registered_ = true;
    announced_ = view();
    watchState();
}

Mpris::~Mpris() {
    if (!registered_) return;
    bus_.unregisterService(serviceName);
    bus_.unregisterObject(objectPath);
}

void Mpris::watchState() {
    const auto changed = [this] { scheduleRefresh(); };
    watched_.push_back(p_.channel.titleStrip.subscribe([changed](const QString&) { changed(); }));
    watched_.push_back(p_.radio.streamTitle.subscribe([changed](const QString&) { changed(); }));
    watched_.push_back(p_.channel.playButton.subscribe([changed](PlayPicture) { changed(); }));
    // The radio button's caption turns with the mode.
    watched_.push_back(p_.radio.radioButton.subscribe([changed](const QString&) { changed(); }));
    watched_.push_back(p_.volume.volumeBar.subscribe([changed](int) { changed(); }));
    // The bar moves while it is held only when the song is moved with it (the window, Seek, the preview).
    watched_.push_back(p_.channel.positionBar.subscribe([this](int) {
        if (!p_.channel.positionDragging) return;
        seekedPending_ = true;
        scheduleRefresh();
    }));
    for (RowListModelBase* model :
         std::initializer_list<RowListModelBase*>{&p_.songList.songs, &p_.radio.stations}) {
        connect(model, &QAbstractItemModel::rowsInserted, this, [this] { scheduleRefresh(); });
        connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { scheduleRefresh(); });
        connect(model, &QAbstractItemModel::rowsMoved, this, [this] { scheduleRefresh(); });
        connect(model, &QAbstractItemModel::modelReset, this, [this] { scheduleRefresh(); });
        connect(model, &QAbstractItemModel::dataChanged, this, [this] { scheduleRefresh(); });
        connect(model, &RowListModelBase::selectedChanged, this, [this] { scheduleRefresh(); });
    }
    refreshSoon_.setSingleShot(true);
    refreshSoon_.setInterval(0);
    connect(&refreshSoon_, &QTimer::timeout, this, &Mpris::refresh);
    poll_.setInterval(1000);
    connect(&poll_, &QTimer::timeout, this, &Mpris::refresh);
    poll_.start();
}

void Mpris::scheduleRefresh() {
    if (!refreshSoon_.isActive()) refreshSoon_.start();
}

void Mpris::refresh() {
    refreshSoon_.stop();
    const MprisView now = view();
    const MprisView& was = announced_;
    QVariantMap changed;
    if (now.status != was.status) changed.insert(QStringLiteral("PlaybackStatus"), now.status);
    if (now.track != was.track) changed.insert(QStringLiteral("Metadata"), now.track.metadata());
    if (now.volume != was.volume) changed.insert(QStringLiteral("Volume"), now.volume);
    if (now.canGoNext != was.canGoNext) changed.insert(QStringLiteral("CanGoNext"), now.canGoNext);
    if (now.canGoPrevious != was.canGoPrevious)
        changed.insert(QStringLiteral("CanGoPrevious"), now.canGoPrevious);
    if (now.canPlay != was.canPlay) changed.insert(QStringLiteral("CanPlay"), now.canPlay);
    if (now.canPause != was.canPause) changed.insert(QStringLiteral("CanPause"), now.canPause);
    if (now.canSeek != was.canSeek) changed.insert(QStringLiteral("CanSeek"), now.canSeek);
    // The ending preview jumps within the song without the position bar being held.
    const bool previewJump = (now.playMode == PlayMode::Preview) != (was.playMode == PlayMode::Preview);
    announced_ = now;
    if (!changed.isEmpty()) announce(playerInterface, changed);
    if (seekedPending_ || (previewJump && songIsCurrent())) {
        seekedPending_ = false;
        emit playerAdaptor_->Seeked(position());
    }
}

void Mpris::announce(const QString& interface, const QVariantMap& changed) {
    QDBusMessage signal = QDBusMessage::createSignal(
        objectPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    bus_.send(signal);
}

MprisView Mpris::view() {
    MprisView v;
    v.status = playbackStatus();
    v.track = track();
    v.volume = volume();
    v.canGoNext = canGoNext();
    v.canGoPrevious = canGoPrevious();
    v.canPlay = canPlay();
    v.canPause = v.canPlay;
    v.canSeek = canSeek();
    v.playMode = p_.channel.playMode;
    return v;
}

void Mpris::raise() {
    p_.guarded([this] { p_.window().raiseAndActivate(); });
}

void Mpris::quit() {
    // Closing ends the message loop: the reply goes out first.
    QMetaObject::invokeMethod(
        this, [this] { p_.guarded([this] { p_.window().closeWindow(); }); }, Qt::QueuedConnection);
}

void Mpris::playPause() {
    p_.guarded([this] { p_.seq.playButtonClicked(); });
}

void Mpris::play() {
    p_.guarded([this] {
        if (playbackStatus() != playing) p_.seq.playButtonClicked();
    });
}

void Mpris::pause() {
    p_.guarded([this] {
        if (playbackStatus() == playing) p_.seq.playButtonClicked();
    });
}

void Mpris::stop() {
    p_.guarded([this] {
        if (radioPlays())
            p_.radio.stopStation();
        else if (p_.audioEngine().state(p_.channel.fileStream) == ChannelState::Playing)
            p_.seq.pauseSong();
    });
}

void Mpris::next() {
    p_.guarded([this] { p_.seq.nextButtonClicked(); });
}

void Mpris::previous() {
    p_.guarded([this] { p_.seq.previousButtonClicked(); });
}

void Mpris::seek(qint64 offsetUs) {
    p_.guarded([&] {
        if (!canSeek()) return;
        const qint64 target = position() + offsetUs;
        // Past the end means the next song.
        if (target >= track().lengthUs)
            p_.seq.nextButtonClicked();
        else
            seekTo(std::max<qint64>(target, 0));
    });
}

void Mpris::setPosition(const QString& trackId, qint64 positionUs) {
    p_.guarded([&] {
        if (!canSeek() || trackId != track().trackId || positionUs < 0 || positionUs > track().lengthUs)
            return;
        seekTo(positionUs);
    });
}

void Mpris::seekTo(qint64 positionUs) {
    const qint64 length = track().lengthUs;
    // The user holds the bar: the hand on it wins.
    if (length <= 0 || p_.channel.positionDragging) return;
    const int value =
        static_cast<int>(std::clamp<qint64>(std::llround(1000.0 * positionUs / length), 0, 1000));
    // The position bar's own path: hold it, move it, let go.
    p_.seq.onPositionBarPress();
    if (p_.channel.positionBar.position() == value)
        p_.seq.onPositionBarChange();
    else
        p_.channel.positionBar.setPosition(value);
    p_.seq.onPositionBarRelease();
    seekedPending_ = true;
    scheduleRefresh();
}

bool Mpris::openUri(const QString& uri) {
    const QUrl url(uri);
    const QString scheme = url.scheme().toLower();
    if (scheme == QStringLiteral("file")) {
        // The intake, as for a path handed over by a second start.
        p_.guarded([&] { p_.setIntakeText(localPathOfUrl(url)); });
        return true;
    }
    if (scheme == QStringLiteral("http") || scheme == QStringLiteral("https")) {
        // Played as a playlist entry is: the URL stands for the station's name.
        p_.guarded([&] {
            p_.radio.streamUrl = uri;
            p_.radio.stationName = uri;
            p_.radio.playStation();
        });
        return true;
    }
    if (calledFromDBus())
        sendErrorReply(QDBusError::NotSupported,
                       QStringLiteral("Only file, http and https URIs can be opened"));
    return false;
}

bool Mpris::songIsCurrent() const {
    return p_.channel.playMode != PlayMode::Radio && static_cast<bool>(p_.channel.fileStream);
}

bool Mpris::radioPlays() const {
    return p_.channel.playMode == PlayMode::Radio &&
           p_.audioEngine().state(p_.radio.radioChannel) == ChannelState::Playing;
}

QString Mpris::playbackStatus() const {
    switch (p_.channel.playMode) {
    case PlayMode::Song:
    case PlayMode::Preview:
        return playing;
    case PlayMode::Radio:
        return radioPlays() ? playing : stopped;
    default:
        return p_.audioEngine().state(p_.channel.fileStream) == ChannelState::Paused ? paused : stopped;
    }
}

MprisTrack Mpris::track() {
    if (p_.channel.playMode == PlayMode::Radio) {
        MprisTrack radio;
        radio.trackId = QStringLiteral("/org/mp3zx/radio/%1").arg(p_.radio.radioChannel.value());
        const QString& title = p_.radio.streamTitle.get();
        // Station names and URLs from mp3.snd may hold bytes that are not UTF-8.
        radio.title = title.isEmpty() ? displayText(p_.radio.stationName) : title;
        radio.url = displayText(p_.radio.streamUrl);
        radio.artist = displayText(p_.radio.stationName);
        return radio;
    }
    if (!p_.channel.fileStream) {
        MprisTrack none;
        none.trackId = noTrack;
        return none;
    }
    if (p_.channel.fileStream != songStream_) {
        AudioEngine& audioEngine = p_.audioEngine();
        songStream_ = p_.channel.fileStream;
        song_ = MprisTrack();
        song_.trackId = QStringLiteral("/org/mp3zx/song/%1").arg(p_.channel.fileStream.value());
        if (p_.songList.songs.isRow(p_.songList.currentIndex)) {
            song_.title = displayText(p_.songList.songs.title(p_.songList.currentIndex));
            song_.url = fileUrlOfPath(p_.songList.songs.path(p_.songList.currentIndex));
        }
        const double seconds = audioEngine.seconds(p_.channel.fileStream, p_.channel.songLengthBytes);
        song_.lengthUs = std::isfinite(seconds) && seconds > 0 ? microseconds(seconds)
                                                               : p_.channel.songSeconds * 1000000LL;
    }
    return song_;
}

qint64 Mpris::position() {
    if (!songIsCurrent()) return 0;
    AudioEngine& audioEngine = p_.audioEngine();
    const std::int64_t bytes = audioEngine.position(p_.channel.fileStream);
    if (bytes < 0) return 0;
    const double seconds = audioEngine.seconds(p_.channel.fileStream, bytes);
    return std::isfinite(seconds) && seconds > 0 ? microseconds(seconds) : 0;
}

// The volume bar's 20..100 as 0.2..1.0.
double Mpris::volume() const {
    return p_.volume.volumeBar.position() / 100.0;
}

void Mpris::setVolume(double volume) {
    if (!std::isfinite(volume)) return;
    // The bar keeps its range and runs the volume formula.
    p_.volume.volumeBar.setPosition(static_cast<int>(std::llround(std::clamp(volume, 0.0, 1.0) * 100)));
}

bool Mpris::canGoNext() const {
    const SongList& songs = p_.songList.songs;
    return p_.channel.playMode == PlayMode::Song && songs.selected() >= 0 &&
           songs.selected() < songs.count() - 1;
}

bool Mpris::canGoPrevious() const {
    return p_.channel.playMode == PlayMode::Song && p_.songList.songs.selected() > 0;
}

bool Mpris::canPlay() const {
    if (playbackStatus() == playing) return true;
    // What the play button would start: the selected station, or the paused song.
    if (p_.radio.radioMode) return p_.radio.stations.isRow(p_.radio.stations.selected());
    return p_.audioEngine().state(p_.channel.fileStream) == ChannelState::Paused;
}

bool Mpris::canSeek() const {
    return songIsCurrent() && p_.channel.playMode != PlayMode::Preview && p_.channel.songLengthBytes > 0 &&
           p_.audioEngine().state(p_.channel.fileStream) != ChannelState::Stopped;
}
