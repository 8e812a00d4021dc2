#include "mpris/Mpris.h"

#include "app/Intake.h"
#include "library/SongListEditor.h"
#include "mpris/MprisAdaptors.h"
#include "platform/ByteText.h"
#include "platform/FileUrl.h"
#include "platform/Guarded.h"
#include "platform/Window.h"
#include "playback/PlaySequencer.h"
#include "playback/VolumeControl.h"
#include "radio/RadioPlayback.h"

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

Mpris::Mpris(const Parts& parts, const QDBusConnection& bus, QObject* parent)
    : QObject(parent), parts_(parts), bus_(bus) {
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
    watched_.push_back(parts_.channel.titleStrip.subscribe([changed](const QString&) { changed(); }));
    watched_.push_back(parts_.radio.streamTitle.subscribe([changed](const QString&) { changed(); }));
    watched_.push_back(parts_.channel.playButton.subscribe([changed](PlayPicture) { changed(); }));
    // The radio button's caption turns with the mode.
    watched_.push_back(parts_.radio.radioButton.subscribe([changed](const QString&) { changed(); }));
    watched_.push_back(parts_.volume.volumeBar.subscribe([changed](int) { changed(); }));
    // The bar moves while it is held only when the song is moved with it (the window, Seek, the preview).
    watched_.push_back(parts_.channel.positionBar.subscribe([this](int) {
        if (!parts_.channel.positionDragging) return;
        seekedPending_ = true;
        scheduleRefresh();
    }));
    for (RowListModelBase* model :
         std::initializer_list<RowListModelBase*>{&parts_.songList.songs, &parts_.radio.stations}) {
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
    v.playMode = parts_.channel.playMode;
    return v;
}

void Mpris::raise() {
    guarded([this] { parts_.window.raiseAndActivate(); });
}

void Mpris::quit() {
    // Closing ends the message loop: the reply goes out first.
    QMetaObject::invokeMethod(
        this, [this] { guarded([this] { parts_.window.closeWindow(); }); }, Qt::QueuedConnection);
}

void Mpris::playPause() {
    guarded([this] { parts_.sequencer.playButtonClicked(); });
}

void Mpris::play() {
    guarded([this] {
        if (playbackStatus() != playing) parts_.sequencer.playButtonClicked();
    });
}

void Mpris::pause() {
    guarded([this] {
        if (playbackStatus() == playing) parts_.sequencer.playButtonClicked();
    });
}

void Mpris::stop() {
    guarded([this] {
        if (radioPlays())
            parts_.radio.stopStation();
        else if (parts_.audioEngine.state(parts_.channel.fileStream) == ChannelState::Playing)
            parts_.sequencer.pauseSong();
    });
}

void Mpris::next() {
    guarded([this] { parts_.sequencer.nextButtonClicked(); });
}

void Mpris::previous() {
    guarded([this] { parts_.sequencer.previousButtonClicked(); });
}

void Mpris::seek(qint64 offsetUs) {
    guarded([&] {
        if (!canSeek()) return;
        const qint64 target = position() + offsetUs;
        // Past the end means the next song.
        if (target >= track().lengthUs)
            parts_.sequencer.nextButtonClicked();
        else
            seekTo(std::max<qint64>(target, 0));
    });
}

void Mpris::setPosition(const QString& trackId, qint64 positionUs) {
    guarded([&] {
        if (!canSeek() || trackId != track().trackId || positionUs < 0 || positionUs > track().lengthUs)
            return;
        seekTo(positionUs);
    });
}

void Mpris::seekTo(qint64 positionUs) {
    const qint64 length = track().lengthUs;
    // The user holds the bar: the hand on it wins.
    if (length <= 0 || parts_.channel.positionDragging) return;
    const int value =
        static_cast<int>(std::clamp<qint64>(std::llround(1000.0 * positionUs / length), 0, 1000));
    // The position bar's own path: hold it, move it, let go.
    parts_.sequencer.onPositionBarPress();
    if (parts_.channel.positionBar.position() == value)
        parts_.sequencer.onPositionBarChange();
    else
        parts_.channel.positionBar.setPosition(value);
    parts_.sequencer.onPositionBarRelease();
    seekedPending_ = true;
    scheduleRefresh();
}

bool Mpris::openUri(const QString& uri) {
    const QUrl url(uri);
    const QString scheme = url.scheme().toLower();
    if (scheme == QStringLiteral("file")) {
        // The intake, as for a path handed over by a second start.
        guarded([&] { parts_.intake.setText(localPathOfUrl(url)); });
        return true;
    }
    if (scheme == QStringLiteral("http") || scheme == QStringLiteral("https")) {
        // Played as a playlist entry is: the URL stands for the station's name.
        guarded([&] {
            parts_.radio.streamUrl = uri;
            parts_.radio.stationName = uri;
            parts_.radio.playStation();
        });
        return true;
    }
    if (calledFromDBus())
        sendErrorReply(QDBusError::NotSupported,
                       QStringLiteral("Only file, http and https URIs can be opened"));
    return false;
}

void Mpris::guarded(const std::function<void()>& operation) {
    runGuarded(parts_.dialogs, operation);
}

bool Mpris::songIsCurrent() const {
    return parts_.channel.playMode != PlayMode::Radio && static_cast<bool>(parts_.channel.fileStream);
}

bool Mpris::radioPlays() const {
    return parts_.channel.playMode == PlayMode::Radio &&
           parts_.audioEngine.state(parts_.radio.radioChannel) == ChannelState::Playing;
}

QString Mpris::playbackStatus() const {
    switch (parts_.channel.playMode) {
    case PlayMode::Song:
    case PlayMode::Preview:
        return playing;
    case PlayMode::Radio:
        return radioPlays() ? playing : stopped;
    default:
        return parts_.audioEngine.state(parts_.channel.fileStream) == ChannelState::Paused ? paused : stopped;
    }
}

MprisTrack Mpris::track() {
    if (parts_.channel.playMode == PlayMode::Radio) {
        MprisTrack radio;
        radio.trackId = QStringLiteral("/org/mp3zx/radio/%1").arg(parts_.radio.radioChannel.value());
        const QString& title = parts_.radio.streamTitle.get();
        // Station names and URLs from mp3.snd may hold bytes that are not UTF-8.
        radio.title = title.isEmpty() ? displayText(parts_.radio.stationName) : title;
        radio.url = displayText(parts_.radio.streamUrl);
        radio.artist = displayText(parts_.radio.stationName);
        return radio;
    }
    if (!parts_.channel.fileStream) {
        MprisTrack none;
        none.trackId = noTrack;
        return none;
    }
    if (parts_.channel.fileStream != songStream_) {
        AudioEngine& audioEngine = parts_.audioEngine;
        songStream_ = parts_.channel.fileStream;
        song_ = MprisTrack();
        song_.trackId = QStringLiteral("/org/mp3zx/song/%1").arg(parts_.channel.fileStream.value());
        if (parts_.songList.songs.isRow(parts_.songList.currentIndex)) {
            song_.title = displayText(parts_.songList.songs.title(parts_.songList.currentIndex));
            song_.url = fileUrlOfPath(parts_.songList.songs.path(parts_.songList.currentIndex));
        }
        const double seconds = audioEngine.seconds(parts_.channel.fileStream, parts_.channel.songLengthBytes);
        song_.lengthUs = std::isfinite(seconds) && seconds > 0 ? microseconds(seconds)
                                                               : parts_.channel.songSeconds * 1000000LL;
    }
    return song_;
}

qint64 Mpris::position() {
    if (!songIsCurrent()) return 0;
    AudioEngine& audioEngine = parts_.audioEngine;
    const std::int64_t bytes = audioEngine.position(parts_.channel.fileStream);
    if (bytes < 0) return 0;
    const double seconds = audioEngine.seconds(parts_.channel.fileStream, bytes);
    return std::isfinite(seconds) && seconds > 0 ? microseconds(seconds) : 0;
}

// The volume bar's 20..100 as 0.2..1.0.
double Mpris::volume() const {
    return parts_.volume.volumeBar.position() / 100.0;
}

void Mpris::setVolume(double volume) {
    if (!std::isfinite(volume)) return;
    // The bar keeps its range and runs the volume formula.
    parts_.volume.volumeBar.setPosition(static_cast<int>(std::llround(std::clamp(volume, 0.0, 1.0) * 100)));
}

bool Mpris::canGoNext() const {
    const SongList& songs = parts_.songList.songs;
    return parts_.channel.playMode == PlayMode::Song && songs.selected() >= 0 &&
           songs.selected() < songs.count() - 1;
}

bool Mpris::canGoPrevious() const {
    return parts_.channel.playMode == PlayMode::Song && parts_.songList.songs.selected() > 0;
}

bool Mpris::canPlay() const {
    if (playbackStatus() == playing) return true;
    // What the play button would start: the selected station, or the paused song.
    if (parts_.radio.radioMode) return parts_.radio.stations.isRow(parts_.radio.stations.selected());
    return parts_.audioEngine.state(parts_.channel.fileStream) == ChannelState::Paused;
}

bool Mpris::canSeek() const {
    return songIsCurrent() && parts_.channel.playMode != PlayMode::Preview &&
           parts_.channel.songLengthBytes > 0 &&
           parts_.audioEngine.state(parts_.channel.fileStream) != ChannelState::Stopped;
}
