#pragma once
// The composition root: builds the subsystems over the platform services and wires them to each other
// and to their timers. The rules live in the subsystems; the main window owns one Player and forwards
// its events to them, and tests build a Player over fakes of the services.

#include "app/Intake.h"
#include "app/PlaylistArgumentReader.h"
#include "app/Settings.h"
#include "app/StartupState.h"
#include "app/WindowKeys.h"
#include "library/FileBrowser.h"
#include "library/FileDeletion.h"
#include "library/PlaylistFiles.h"
#include "library/SongListEditor.h"
#include "library/SongListHost.h"
#include "playback/ChannelControl.h"
#include "playback/HotKeyHandler.h"
#include "playback/LoudnessMeter.h"
#include "playback/MasterMute.h"
#include "playback/PlaySequencer.h"
#include "playback/RadioLink.h"
#include "playback/VolumeControl.h"
#include "radio/RadioPlayback.h"
#include "radio/StationEditor.h"
#include "radio/StationUpdate.h"

#include <QObject>
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

// The timers' intervals of every subsystem.
struct PlayerOptions {
    SequencerOptions sequencer;
    VolumeOptions volume;
    HotKeyOptions hotKeys;
    RadioOptions radio;
};

class Player : public QObject {
    Q_OBJECT
public:
    explicit Player(Services services, PlayerOptions options = {}, QObject* parent = nullptr);
    ~Player() override;

    AudioEngine& audioEngine() { return services_.audioEngine; }
    IMixer& mixer() { return services_.mixer; }
    IHotKeySource& hotKeys() { return services_.hotKeys; }
    IDialogs& dialogs() { return services_.dialogs; }
    IWindow& window() { return services_.window; }

    // Runs an event handler; an error that ends it is shown in the error dialog and the program runs on.
    void guarded(const std::function<void()>& handler);

private:
    // The calls of the song list and the sequencer up to the subsystems above them.
    class Links final : public SongListHost, public RadioLink {
    public:
        explicit Links(Player& player) : p_(player) {}
        bool levellingOn() const override;
        void measureLoudness(int row) override;
        bool readyForNewSong() const override;
        void leaveRadioMode() override;
        void playSelected() override;
        void playNext() override;
        void stopSong() override;
        void cancelLevellingWait() override;
        bool openStationEditorInstead() override;
        bool inRadioMode() const override;
        bool stationWatched() const override;
        bool streamPlaying() const override;
        void startStation() override;
        void stopStation() override;
        void stopStream() override;
        void dropStation() override;

    private:
        Player& p_;
    };

    Services services_;
    Links links_{*this};

public:
    StartupState startup;
    MasterMute mute{services_.mixer};
    ChannelControl channel{services_.audioEngine};
    VolumeControl volume;
    SongListEditor songList{services_.window, links_};
    FileBrowser browser{services_.window, songList};
    FileDeletion deletion{songList, browser, services_.window, services_.dialogs};
    PlaylistFiles playlists{songList, services_.dialogs};
    LoudnessMeter loudness{services_.audioEngine, songList};
    PlaySequencer seq;
    HotKeyHandler hotKeyHandler;
    RadioPlayback radio;
    StationEditor editor{radio, startup.programFolder};
    StationUpdate update{editor, radio, channel, services_.dialogs};
    WindowKeys keys{seq, channel, songList, deletion, browser, volume, radio, services_.window};
    Settings settings{startup, volume, radio, playlists, update, browser, dialogs(), window()};
    PlaylistArgumentReader playlistReader{editor, update, radio, songList, services_.window};
    Intake intake{browser, songList, playlistReader};

private:
    void wireTimers();
};
