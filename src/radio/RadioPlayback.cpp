#include "radio/RadioPlayback.h"

#include "library/TitleFit.h"
#include "platform/ByteText.h"
#include "platform/CurlLibrary.h"
#include "platform/Guarded.h"
#include "platform/TextFile.h"
#include "platform/Window.h"
#include "playback/ChannelControl.h"
#include "playback/MasterMute.h"
#include "playback/PlaySequencer.h"
#include "playback/StreamTitle.h"
#include "playback/VolumeControl.h"

#include <QMetaObject>

RadioPlayback::RadioPlayback(AudioEngine& audioEngine, IWindow& window, IDialogs& dialogs, MasterMute& mute,
                             ChannelControl& channel, VolumeControl& volume, PlaySequencer& sequencer,
                             RadioOptions options)
    : levelFollower(audioEngine, volume, radioChannel, options.levelFollower), stationOpener(audioEngine),
      audioEngine_(audioEngine), window_(window), dialogs_(dialogs), mute_(mute), channel_(channel),
      volume_(volume), sequencer_(sequencer), options_(options) {
    watchdogTimer.setInterval(options_.watchdogMs);
    // A station's playlist names a stream or a few: it is read into memory whole.
    playlistDownload.setMaxBytes(1 << 20);
    QObject::connect(&playlistDownload, &HttpDownload::memoryDone, &playlistDownload,
                     [this](QObject*, const QByteArray& playlist) {
                         runGuarded(dialogs_, [&] { onPlaylistFetched(playlist); });
                     });
    QObject::connect(&playlistDownload, &HttpDownload::failed, &playlistDownload,
                     [this] { runGuarded(dialogs_, [this] { onPlaylistFetchFailed(); }); });
}

RadioPlayback::~RadioPlayback() {
    streamTitles_ = {};
}

void RadioPlayback::switchMode(bool start) {
    mute_.applyMute(false);
    if (radioMode) {
        watchdogTimer.stop();
        levelFollower.levelTimer.stop();
        cancelStart();
        stationListVisible = false;
        radioButton = QStringLiteral("Radio");
        radioMode = false;
        clearButton = QStringLiteral("leeren");
        sequencer_.playButtonClicked();
        channel_.restoreSongTitle();
        return;
    }
    stationListVisible = true;
    loadCurlAhead();
    if (start) startSelectedStation();
    radioButton = QStringLiteral("MP3");
    radioMode = true;
    clearButton = QStringLiteral("Senderliste");
}

void RadioPlayback::toggleRadioMode() {
    switchMode(true);
}

void RadioPlayback::startSelectedStation() {
    cancelStart();
    reconnectCount = 0;
    const int index = stations.selected();
    channel_.playButton = PlayPicture::Start;
    if (index >= 0 && stations.isRow(index)) {
        channel_.titleStrip = QStringLiteral("verbinde..");
        stationName = stations.name(index);
        streamUrl = stations.url(index);
        if (streamUrl.toUpper().endsWith(QStringLiteral(".M3U"))) {
            playlistDownload.setUrl(streamUrl);
            playlistDownload.downloadToMemory();
        } else {
            playStation();
        }
    }
    // The connection is under way before the sound card's switch (which may wait for the sound server)
    // and the window's pending events have their turn: the station is heard that much sooner.
    mute_.setMasterMute(false);
    window_.yieldToEvents();
}

void RadioPlayback::playStation() {
    cancelStart();
    // Watched before connecting, so a failed start is noticed too. A running watchdog keeps its beat.
    if (!watchdogTimer.isActive()) watchdogTimer.start();
    // A watched station ends the song list's sequence: no song may follow the one that plays.
    sequencer_.reviewNextSong();
    const Station station{stationName, streamUrl};
    stationOpener.open(station.url, [this, station](ChannelHandle stream, const QString& refusal) {
        runGuarded(dialogs_, [&] {
            if (!refusal.isEmpty())
                streamRefused(refusal);
            else
                streamOpened(station, stream);
        });
    });
}

void RadioPlayback::streamOpened(const Station& station, ChannelHandle stream) {
    if (!stream) {
        // The station that still plays takes the strip back. With none, the watchdog announces the
        // problem and tries the new station again.
        if (backToPlayingStation()) showCurrentStreamTitle();
        return;
    }
    channel_.bitrateLabel = QStringLiteral("- ");
    reconnectCount = 0;
    watchdogTimer.setInterval(options_.watchdogMs);
    // The old stream is stopped even while reconnecting: one that only stalled could otherwise come
    // back and play beside the new one, out of reach. After an engine restart the calls do nothing.
    audioEngine_.stop(radioChannel);
    audioEngine_.release(radioChannel);
    radioChannel = stream;
    stationName = station.name;
    streamUrl = station.url;
    playing_ = station;
    sequencer_.pauseSong();
    volume_.currentLoudness = 20;
    playStream();
    connectionProblem = false;
    levelFollower.levelTimer.stop();
    if (volume_.levellingBox) {
        levelFollower.levelTimer.start();
        levelFollower.levelWarmup = 0;
    }
}

void RadioPlayback::playStream() {
    volume_.applyVolume();
    // The notification is in place before the current title is read, so a title that arrives in
    // between is not lost until the station's next change.
    streamTitles_ =
        audioEngine_.onMetadata(radioChannel, [this, channel = radioChannel](const std::string& text) {
            onStreamMetadata(channel, text);
        });
    showCurrentStreamTitle();
    channel_.playChannel(radioChannel, PlayMode::Radio);
}

void RadioPlayback::streamRefused(const QString& refusal) {
    // Trying again cannot help: the watchdog rests unless a station still plays, which keeps its beat.
    if (!backToPlayingStation()) {
        watchdogTimer.stop();
        connectionProblem = false;
    }
    channel_.titleStrip = refusal;
}

void RadioPlayback::onWatchdogTick() {
    // The start in progress decides first; a second open beside it would only race it.
    if (isStarting()) return;
    if (connectionProblem) {
        ++reconnectCount;
        channel_.bitrateLabel = QString::number(reconnectCount);
        channel_.restartOutput();
        playStation();
        return;
    }
    if (audioEngine_.state(radioChannel) != ChannelState::Playing) {
        connectionProblem = true;
        watchdogTimer.setInterval(options_.reconnectWatchdogMs);
        channel_.titleStrip = QStringLiteral("Verbindungsproblem: ") + stationName;
    }
}

QString RadioPlayback::selectedStationName() const {
    const int index = stations.selected();
    return stations.isRow(index) ? stations.name(index) : QString();
}

void RadioPlayback::onPlaylistFetched(const QByteArray& playlist) {
    const QStringList lines = splitTextLines(playlist);
    streamUrl = lines.value(1);
    stationName = selectedStationName();
    playStation();
}

void RadioPlayback::onPlaylistFetchFailed() {
    backToPlayingStation();
    channel_.titleStrip =
        QStringLiteral("Radio: ") + selectedStationName() + QStringLiteral(": nicht gefunden");
}

bool RadioPlayback::isStarting() const {
    return stationOpener.isPending() || playlistDownload.isDownloading();
}

void RadioPlayback::cancelStart() {
    stationOpener.cancel();
    playlistDownload.abandon();
}

bool RadioPlayback::backToPlayingStation() {
    if (audioEngine_.state(radioChannel) != ChannelState::Playing) return false;
    stationName = playing_.name;
    streamUrl = playing_.url;
    return true;
}

void RadioPlayback::onStreamMetadata(ChannelHandle channel, const std::string& text) {
    // The engine's thread may not touch the window: the title is composed on the GUI thread, with the
    // station name of that moment.
    const QString meta = decodeText(QByteArray::fromStdString(text));
    QMetaObject::invokeMethod(
        &titleReceiver_, [this, channel, meta] { streamTitleArrived(channel, meta); }, Qt::QueuedConnection);
}

void RadioPlayback::streamTitleArrived(ChannelHandle channel, const QString& meta) {
    if (channel != radioChannel || isStarting()) return;
    showStreamTitle(meta);
}

void RadioPlayback::showCurrentStreamTitle() {
    const std::optional<std::string> meta = audioEngine_.metadata(radioChannel);
    showStreamTitle(meta ? decodeText(QByteArray::fromStdString(*meta)) : QString());
}

void RadioPlayback::showStreamTitle(const QString& meta) {
    const QString title = streamTitleFromMetadata(meta);
    streamTitle = title.trimmed();
    const QString text = title + QStringLiteral("> ") + stationName;
    channel_.showTitle(fitKeepingStart(text, [this](const QString& t) { return window_.textWidth(t); }),
                       text);
}

bool RadioPlayback::streamPlaying() const {
    return audioEngine_.state(radioChannel) == ChannelState::Playing;
}

void RadioPlayback::startStation() {
    watchdogTimer.start();
    sequencer_.reviewNextSong();
    startSelectedStation();
    if (volume_.levellingBox)
        levelFollower.levelTimer.start();
    else
        levelFollower.levelTimer.stop();
}

void RadioPlayback::stopStation() {
    watchdogTimer.stop();
    cancelStart();
    audioEngine_.stop(radioChannel);
    channel_.playButton = PlayPicture::Start;
    levelFollower.levelTimer.stop();
}

void RadioPlayback::stopStream() {
    audioEngine_.stop(radioChannel);
}

void RadioPlayback::dropStation() {
    watchdogTimer.stop();
    cancelStart();
    audioEngine_.stop(radioChannel);
}
