#pragma once
// Radio mode: switching between the song list and the station list, starting a station, the watchdog
// that reconnects a stream that stopped, and the station's title from its metadata.
//
// A station starts off the window's thread (its stream opens through the StreamOpener, its playlist
// comes from a download), so a server that never answers cannot hold the window. Meanwhile the strip
// says "verbinde..", a station that was playing plays on, and a new choice, leaving radio mode or
// closing the window drops the start in progress.

#include "audio/AudioEngine.h"
#include "platform/Shown.h"
#include "playback/RadioLink.h"
#include "radio/HttpDownload.h"
#include "radio/LevelFollower.h"
#include "radio/StationList.h"
#include "radio/StreamOpener.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <string>

class ChannelControl;
class IDialogs;
class IWindow;
class MasterMute;
class PlaySequencer;
class VolumeControl;

// The intervals of its timers; tests shorten them.
struct RadioOptions {
    int watchdogMs = 3000;
    // The watchdog's beat while it reconnects.
    int reconnectWatchdogMs = 6000;
    LevelFollowerOptions levelFollower;
};

class RadioPlayback : public RadioLink {
public:
    RadioPlayback(AudioEngine& audioEngine, IWindow& window, IDialogs& dialogs, MasterMute& mute,
                  ChannelControl& channel, VolumeControl& volume, PlaySequencer& sequencer,
                  RadioOptions options = {});
    // The title subscription goes before the objects its handler reaches.
    ~RadioPlayback() override;
    RadioPlayback(const RadioPlayback&) = delete;
    RadioPlayback& operator=(const RadioPlayback&) = delete;

    bool radioMode = false;
    QString stationName;
    QString streamUrl;
    ChannelHandle radioChannel;
    bool connectionProblem = false;
    int reconnectCount = 0;
    StationList stations;

    Shown<bool> stationListVisible{false};
    Shown<QString> radioButton{QStringLiteral("Radio")};
    Shown<QString> clearButton{QStringLiteral("leeren")};
    // The current title in full, without the station name (the desktop's media controls show it).
    Shown<QString> streamTitle;

    // Runs while a station plays or is being reached; off at start.
    QTimer watchdogTimer;
    // Follows the stream's level while levelling is on.
    LevelFollower levelFollower;
    // A station's playlist (a stream or a few), kept in memory.
    HttpDownload playlistDownload;
    // Opens the streams, off the window's thread.
    StreamOpener stationOpener;

    // Toggles between MP3 and radio mode; entering radio mode with start true plays the selected station.
    void switchMode(bool start);
    void toggleRadioMode();
    // Starts the station selected in the station list.
    void startSelectedStation();
    // Opens streamUrl (under the name stationName) and plays it as the radio stream once it opens.
    void playStation();
    // The watchdog: every 3 s (6 s while reconnecting).
    void onWatchdogTick();
    // The station playlist fetched for a station whose URL ends in ".m3u".
    void onPlaylistFetched(const QByteArray& playlist);
    void onPlaylistFetchFailed();
    // A station is starting: its stream is opening or its playlist is being fetched.
    bool isStarting() const;
    // Drops the start in progress: an opening stream is freed when it comes, a fetch is abandoned.
    void cancelStart();
    // Shows a radio title composed from metadata with the station name of this moment.
    void showStreamTitle(const QString& meta);
    // Shows the radio stream's current title (none yet: the station name alone).
    void showCurrentStreamTitle();

    bool inRadioMode() const override { return radioMode; }
    bool stationWatched() const override { return watchdogTimer.isActive(); }
    bool streamPlaying() const override;
    void startStation() override;
    void stopStation() override;
    void stopStream() override;
    void dropStation() override;

private:
    struct Station {
        QString name;
        QString url;
    };
    // The steps that follow the engine's open, with its result.
    void streamOpened(const Station& station, ChannelHandle stream);
    // Plays the opened stream with its title shown.
    void playStream();
    // The stream can never play (a format no decoder takes): the strip says why, and nobody retries.
    void streamRefused(const QString& refusal);
    // After a start that failed: when a stream still plays, its station is the one named and
    // reconnected again. False when none plays.
    bool backToPlayingStation();
    QString selectedStationName() const;
    // The engine's metadata notification; runs on the engine's thread and hands the text to the GUI
    // thread.
    void onStreamMetadata(ChannelHandle channel, const std::string& text);
    // A title on the GUI thread; one of a stream replaced meanwhile is dropped, and so is one that comes
    // while another station starts: the strip never joins two stations.
    void streamTitleArrived(ChannelHandle channel, const QString& meta);

    AudioEngine& audioEngine_;
    IWindow& window_;
    IDialogs& dialogs_;
    MasterMute& mute_;
    ChannelControl& channel_;
    VolumeControl& volume_;
    PlaySequencer& sequencer_;
    RadioOptions options_;
    Station playing_; // the station whose stream radioChannel holds
    // Titles handed to the GUI thread are queued on this; a call still queued when it goes is dropped.
    QObject titleReceiver_;
    // Declared last, so it is removed first: its handler reaches titleReceiver_ and this object.
    MetadataSubscription streamTitles_;
};
