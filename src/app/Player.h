#pragma once
// The player: its shared state, its timers, the platform services it uses, and the operations of each
// subsystem. The main window owns one Player and forwards its events to the operations; tests build a
// Player over fakes of the services.

#include "app/Intake.h"
#include "app/PlayerState.h"
#include "app/PlaylistArgumentReader.h"
#include "app/Settings.h"
#include "library/FileBrowser.h"
#include "library/FileDeletion.h"
#include "library/PlaylistFiles.h"
#include "library/SongListEditor.h"
#include "playback/ChannelControl.h"
#include "playback/HotKeyHandler.h"
#include "playback/LoudnessMeter.h"
#include "playback/MasterMute.h"
#include "playback/PlaySequencer.h"
#include "playback/VolumeControl.h"
#include "playback/WindowKeys.h"
#include "radio/HttpDownload.h"
#include "radio/LevelFollower.h"
#include "radio/RadioPlayback.h"
#include "radio/StationEditor.h"
#include "radio/StationUpdate.h"
#include "radio/StreamOpener.h"

#include <QObject>
#include <QTimer>
#include <functional>

class AudioEngine;
class IMixer;
class IHotKeySource;
class IDialogs;
class IWindow;

struct Services {
    AudioEngine& audioEngine;
    IMixer& mixer;
    IHotKeySource& hotKeys;
    IDialogs& dialogs;
    IWindow& window;
};

class Player : public QObject {
    Q_OBJECT
public:
    explicit Player(Services services, QObject* parent = nullptr);
    ~Player() override;

    AudioEngine& audioEngine() { return services_.audioEngine; }
    IMixer& mixer() { return services_.mixer; }
    IHotKeySource& hotKeys() { return services_.hotKeys; }
    IDialogs& dialogs() { return services_.dialogs; }
    IWindow& window() { return services_.window; }

    // Runs an event handler; an error that ends it is shown in the error dialog and the program runs on.
    void guarded(const std::function<void()>& handler);

    // The hidden edit box that takes paths from outside; setting a new text runs the intake.
    const QString& intakeText() const { return intakeText_; }
    void setIntakeText(const QString& text);

    PlayerState s;

    // Timers, all on the GUI thread and off at start. Their tick handlers are ordinary methods.
    QTimer trackTimer;
    QTimer levellingWaitTimer;
    QTimer watchdogTimer;
    QTimer levelTimer;
    QTimer doublePressTimer;

    // The operations of each subsystem; they reach each other through the player.
    MasterMute mute;
    ChannelControl channel{*this};
    PlaySequencer seq{*this};
    VolumeControl volume{*this};
    LoudnessMeter loudness{*this};
    SongListEditor songList{*this};
    FileBrowser browser{*this};
    FileDeletion deletion{*this};
    HotKeyHandler hotKeyHandler{*this};
    WindowKeys keys{*this};
    RadioPlayback radio{*this};
    LevelFollower levelFollower{*this};
    StationEditor editor{*this};
    StationUpdate update{*this};
    Settings settings{*this};
    Intake intake{*this};
    PlaylistArgumentReader playlistReader{*this};
    PlaylistFiles playlists{*this};

    // The two download components: a station's playlist, and the station list update. Both keep what
    // they fetch in memory.
    HttpDownload playlistDownload;
    HttpDownload stationListDownload;
    // Where the station list update comes from (the tenth line of mp3.ini); empty until the user names it.
    QString updateUrl;
    // Opens the radio streams, off the window's thread.
    StreamOpener stationOpener;

    // Fetches a station's playlist; its end runs radio.onPlaylistFetched or onPlaylistFetchFailed.
    void fetchStationPlaylist(const QString& url);

private:
    Services services_;
    QString intakeText_ = QStringLiteral("eingabefeldE");
};
