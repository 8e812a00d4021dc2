#include "radio/RadioPlayback.h"

#include "app/Player.h"
#include "app/Window.h"

#include "platform/ByteText.h"
#include "platform/TextFile.h"

void RadioPlayback::switchMode(bool start) {
    PlayerState& s = p_.s;
    p_.mute.applyMute(false);
    if (s.radioMode) {
        p_.watchdogTimer.stop();
        p_.levelTimer.stop();
        cancelStart();
        s.display.stationListVisible = false;
        s.display.radioButton = QStringLiteral("Radio");
        s.radioMode = false;
        s.display.clearButton = QStringLiteral("leeren");
        p_.seq.playButtonClicked();
        p_.channel.showTitle(s.songDisplay, s.songDisplay);
        s.display.bitrateLabel = s.bitrateText;
        return;
    }
    s.display.stationListVisible = true;
    if (start) startSelectedStation();
    s.display.radioButton = QStringLiteral("MP3");
    s.radioMode = true;
    s.display.clearButton = QStringLiteral("Senderliste");
}

void RadioPlayback::toggleRadioMode() {
    switchMode(true);
}

void RadioPlayback::startSelectedStation() {
    PlayerState& s = p_.s;
    cancelStart();
    p_.mute.setMasterMute(false);
    s.reconnectCount = 0;
    const int index = s.stations.selected();
    s.display.playButton = PlayPicture::START;
    p_.window().processEvents();
    if (index < 0 || !s.stations.isRow(index)) return;
    s.display.titleStrip = QStringLiteral("verbinde..");
    s.stationName = s.stations.name(index);
    s.streamURL = s.stations.url(index);
    if (s.streamURL.toUpper().endsWith(QStringLiteral(".M3U")))
        p_.fetchStationPlaylist(s.streamURL);
    else
        playStation();
}

void RadioPlayback::playStation() {
    PlayerState& s = p_.s;
    cancelStart();
    // Watched before connecting, so a failed start is noticed too. A running watchdog keeps its beat.
    if (!p_.watchdogTimer.isActive()) p_.watchdogTimer.start();
    const Station station{s.stationName, s.streamURL};
    p_.stationOpener.open(station.url, [this, station](ChannelHandle stream, const QString& refusal) {
        p_.guarded([&] {
            if (!refusal.isEmpty())
                streamRefused(refusal);
            else
                streamOpened(station, stream);
        });
    });
}

void RadioPlayback::streamOpened(const Station& station, ChannelHandle stream) {
    PlayerState& s = p_.s;
    AudioEngine& audioEngine = p_.audioEngine();
    if (!stream) {
        // The station that still plays takes the strip back. With none, the watchdog announces the
        // problem and tries the new station again.
        if (backToPlayingStation()) p_.channel.showCurrentStreamTitle();
        return;
    }
    s.display.bitrateLabel = QStringLiteral("- ");
    s.reconnectCount = 0;
    p_.watchdogTimer.setInterval(3000);
    // The old stream is stopped even while reconnecting: one that only stalled could otherwise come
    // back and play beside the new one, out of reach. After an engine restart the calls do nothing.
    audioEngine.stop(s.radioChannel);
    audioEngine.release(s.radioChannel);
    s.radioChannel = stream;
    s.stationName = station.name;
    s.streamURL = station.url;
    playing_ = station;
    p_.channel.pauseSong();
    s.currentLoudness = 20;
    p_.channel.playChannel(s.radioChannel, PLAYMODE_RADIO);
    s.connectionProblem = false;
    p_.levelTimer.stop();
    if (s.levellingBox) {
        p_.levelTimer.start();
        s.levelWarmup = 0;
    }
}

void RadioPlayback::streamRefused(const QString& refusal) {
    PlayerState& s = p_.s;
    // Trying again cannot help: the watchdog rests unless a station still plays, which keeps its beat.
    if (!backToPlayingStation()) {
        p_.watchdogTimer.stop();
        s.connectionProblem = false;
    }
    s.display.titleStrip = refusal;
}

void RadioPlayback::onWatchdogTick() {
    PlayerState& s = p_.s;
    // The start in progress decides first; a second open beside it would only race it.
    if (isStarting()) return;
    if (s.connectionProblem) {
        ++s.reconnectCount;
        s.display.bitrateLabel = QString::number(s.reconnectCount);
        p_.channel.restartOutput();
        playStation();
        return;
    }
    if (p_.audioEngine().state(s.radioChannel) != ChannelState::Playing) {
        s.connectionProblem = true;
        p_.watchdogTimer.setInterval(6000);
        s.display.titleStrip = QStringLiteral("Verbindungsproblem: ") + s.stationName;
    }
}

QString RadioPlayback::selectedStationName() const {
    const StationList& stations = p_.s.stations;
    const int index = stations.selected();
    return stations.isRow(index) ? stations.name(index) : QString();
}

void RadioPlayback::onPlaylistFetched(const QByteArray& playlist) {
    PlayerState& s = p_.s;
    const QStringList lines = splitTextLines(playlist);
    s.streamURL = lines.value(1);
    s.stationName = selectedStationName();
    playStation();
}

void RadioPlayback::onPlaylistFetchFailed() {
    backToPlayingStation();
    p_.s.display.titleStrip =
        QStringLiteral("Radio: ") + selectedStationName() + QStringLiteral(": nicht gefunden");
}

bool RadioPlayback::isStarting() const {
    return p_.stationOpener.isPending() || p_.playlistDownload.isDownloading();
}

void RadioPlayback::cancelStart() {
    p_.stationOpener.cancel();
    p_.playlistDownload.abandon();
}

bool RadioPlayback::backToPlayingStation() {
    PlayerState& s = p_.s;
    if (p_.audioEngine().state(s.radioChannel) != ChannelState::Playing) return false;
    s.stationName = playing_.name;
    s.streamURL = playing_.url;
    return true;
}
