#pragma once
// Desktop media control: the player on the session bus as an MPRIS2 media player, so media keys, the
// desktop's sound applets and tools such as playerctl control it (also on Wayland, where global key
// grabs do not work). Every method runs the program's own operation (the play button, next and
// previous, the position bar, the intake), so it behaves exactly like the window; every change a client
// shows is announced with PropertiesChanged.
//
// The player has no shuffle and no repeat, so Shuffle and LoopStatus (both optional) are not offered.

#include "audio/AudioEngine.h"
#include "platform/Subscription.h"
#include "playback/ChannelControl.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <functional>
#include <vector>

class IDialogs;
class Intake;
class IWindow;
class MprisPlayerAdaptor;
class PlaySequencer;
class RadioPlayback;
class SongListEditor;
class VolumeControl;

// What a client is shown about the current track.
struct MprisTrack {
    QString trackId; // a D-Bus object path
    QString title;
    QString url;
    QString artist;      // the station of a radio stream
    qint64 lengthUs = 0; // songs only; 0 when unknown
    bool operator==(const MprisTrack&) const = default;

    // The Metadata property: xesam:title, xesam:url, xesam:artist, mpris:length, mpris:trackid.
    QVariantMap metadata() const;
};

// The properties a client shows, compared with what was last announced.
struct MprisView {
    QString status;
    MprisTrack track;
    double volume = 0;
    bool canGoNext = false;
    bool canGoPrevious = false;
    bool canPlay = false;
    bool canPause = false;
    bool canSeek = false;
    PlayMode playMode = PlayMode::Song;
    bool operator==(const MprisView&) const = default;
};

// The D-Bus context of a call reaches the object that owns the adaptors, so this object answers errors.
class Mpris : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    static inline const QString serviceName = QStringLiteral("org.mpris.MediaPlayer2.mp3zx");
    static inline const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
    static inline const QString noTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
    // The base name of the program's .desktop file.
    static inline const QString desktopEntry = QStringLiteral("mp3zx");
    static inline const QString identity = QStringLiteral("MP3 ZX");

    // The desktop's session bus; a connection that is not connected when the session has none.
    static QDBusConnection sessionBus();

    // The parts of the player a client controls and is shown, the ones the window uses.
    struct Parts {
        AudioEngine& audioEngine;
        IWindow& window;
        IDialogs& dialogs;
        ChannelControl& channel;
        PlaySequencer& sequencer;
        VolumeControl& volume;
        SongListEditor& songList;
        RadioPlayback& radio;
        Intake& intake;
    };

    // Offers the player on bus. Without a bus, or when the name cannot be had, it stays off, silently.
    Mpris(const Parts& parts, const QDBusConnection& bus, QObject* parent = nullptr);
    ~Mpris() override;

    bool registered() const { return registered_; }

    // org.mpris.MediaPlayer2
    void raise();
    void quit();

    // org.mpris.MediaPlayer2.Player methods.
    void playPause();
    void play();
    void pause();
    void stop();
    void next();
    void previous();
    void seek(qint64 offsetUs);
    void setPosition(const QString& trackId, qint64 positionUs);
    // false when the URI's scheme is not one the player takes (file, http, https); a D-Bus caller gets
    // the error NotSupported.
    bool openUri(const QString& uri);

    // org.mpris.MediaPlayer2.Player properties.
    QString playbackStatus() const;
    MprisTrack track();
    qint64 position();
    double volume() const;
    void setVolume(double volume);
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool canPlay() const;
    bool canSeek() const;

    // Everything a client shows, as of now.
    MprisView view();

private:
    void watchState();
    void scheduleRefresh();
    // Announces what changed since the last announcement.
    void refresh();
    void announce(const QString& interface, const QVariantMap& changed);
    void seekTo(qint64 positionUs);
    bool songIsCurrent() const;
    bool radioPlays() const;
    // Runs an operation as the window runs its events: an error that ends it is shown, and the program
    // runs on.
    void guarded(const std::function<void()>& operation);

    Parts parts_;
    QDBusConnection bus_;
    bool registered_ = false;
    MprisPlayerAdaptor* playerAdaptor_ = nullptr;
    // Changes are gathered and announced once the operation that made them has ended.
    QTimer refreshSoon_;
    // Picks up what changes without a notification: the radio stream's engine state, playMode changes
    // that show nothing (the ending preview), a song started again with the same title.
    QTimer poll_;
    MprisView announced_;
    bool seekedPending_ = false;
    // The song stream whose track was taken, and that track: its row may move or go while it plays.
    ChannelHandle songStream_;
    MprisTrack song_;
    // The player's values this object listens to; they end with it.
    std::vector<Subscription> watched_;
};
