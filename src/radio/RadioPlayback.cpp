#include "radio/RadioPlayback.h"

#include "app/Player.h"
#include "app/Window.h"

#include "platform/ByteText.h"
#include "platform/TextFile.h"

void RadioPlayback::MP3_Radio_umschalten(bool start) {
    PlayerState& s = p_.s;
    p_.mute.stumm_schalten(false);
    if (s.radioMode) {
        p_.radioT.stop();
        p_.radioLautT.stop();
        cancelStart();
        s.display.radiosenderLBVisible = false;
        s.display.dasRadioB = QStringLiteral("Radio");
        s.radioMode = false;
        s.display.leerenB = QStringLiteral("leeren");
        p_.seq.PlayBClick();
        p_.channel.showTitle(s.songDisplay, s.songDisplay);
        s.display.bitrateL = s.bitrateText;
        return;
    }
    s.display.radiosenderLBVisible = true;
    if (start) radiosenderLBClick();
    s.display.dasRadioB = QStringLiteral("MP3");
    s.radioMode = true;
    s.display.leerenB = QStringLiteral("Senderliste");
}

void RadioPlayback::dasRadioBClick() {
    MP3_Radio_umschalten(true);
}

void RadioPlayback::radiosenderLBClick() {
    PlayerState& s = p_.s;
    cancelStart();
    p_.mute.SetMasterMuteValue(false);
    s.reconnectCount = 0;
    const int index = s.stations.selected();
    s.display.PlayB = PlayPicture::START;
    p_.window().processEvents();
    if (index < 0 || !s.stations.isRow(index)) return;
    s.display.SongL = QStringLiteral("verbinde..");
    s.stationName = s.stations.radiosenderLB(index);
    s.streamURL = s.stations.radioLB(index);
    if (s.streamURL.toUpper().endsWith(QStringLiteral(".M3U")))
        p_.fetchStationPlaylist(s.streamURL);
    else
        radio_play();
}

void RadioPlayback::radio_play() {
    PlayerState& s = p_.s;
    cancelStart();
    // Watched before connecting, so a failed start is noticed too. A running watchdog keeps its beat.
    if (!p_.radioT.isActive()) p_.radioT.start();
    const Station station{s.stationName, s.streamURL};
    p_.stationOpener.open(station.url, BASS_STREAM_STATUS, [this, station](HSTREAM stream) {
        p_.guarded([&] { streamOpened(station, stream); });
    });
}

void RadioPlayback::streamOpened(const Station& station, HSTREAM stream) {
    PlayerState& s = p_.s;
    IBass& bass = p_.bass();
    if (stream == 0) {
        // The station that still plays takes the strip back. With none, the watchdog announces the
        // problem and tries the new station again.
        if (backToPlayingStation()) p_.channel.showCurrentStreamTitle();
        return;
    }
    s.display.bitrateL = QStringLiteral("- ");
    s.reconnectCount = 0;
    p_.radioT.setInterval(3000);
    // The old stream is stopped even while reconnecting: one that only stalled could otherwise come
    // back and play beside the new one, out of reach. After an engine restart the calls do nothing.
    bass.BASS_ChannelStop(s.radioChannel);
    bass.BASS_StreamFree(s.radioChannel);
    s.radioChannel = stream;
    s.stationName = station.name;
    s.streamURL = station.url;
    playing_ = station;
    p_.channel.mp3machpause();
    s.currentLoudness = 20;
    p_.channel.bass_kanal_play(s.radioChannel, PLAYMODE_RADIO);
    s.connectionProblem = false;
    p_.radioLautT.stop();
    if (s.lautanpassenCB) {
        p_.radioLautT.start();
        s.levelWarmup = 0;
    }
}

void RadioPlayback::radioTTimer() {
    PlayerState& s = p_.s;
    // The start in progress decides first; a second open beside it would only race it.
    if (isStarting()) return;
    if (s.connectionProblem) {
        ++s.reconnectCount;
        s.display.bitrateL = QString::number(s.reconnectCount);
        p_.channel.restartOutput();
        radio_play();
        return;
    }
    if (p_.bass().BASS_ChannelIsActive(s.radioChannel) != BASS_ACTIVE_PLAYING) {
        s.connectionProblem = true;
        p_.radioT.setInterval(6000);
        s.display.SongL = QStringLiteral("Verbindungsproblem: ") + s.stationName;
    }
}

QString RadioPlayback::selectedStationName() const {
    const StationList& stations = p_.s.stations;
    const int index = stations.selected();
    return stations.isRow(index) ? stations.radiosenderLB(index) : QString();
}

void RadioPlayback::HTTPGet1DoneString(const QByteArray& playlist) {
    PlayerState& s = p_.s;
    const QStringList lines = splitTextLines(playlist);
    s.streamURL = lines.value(1);
    s.stationName = selectedStationName();
    radio_play();
}

void RadioPlayback::HTTPGet1Error() {
    backToPlayingStation();
    p_.s.display.SongL =
        QStringLiteral("Radio: ") + selectedStationName() + QStringLiteral(": nicht gefunden");
}

bool RadioPlayback::isStarting() const {
    return p_.stationOpener.isPending() || p_.HTTPGet1.isDownloading();
}

void RadioPlayback::cancelStart() {
    p_.stationOpener.cancel();
    p_.HTTPGet1.abandon();
}

bool RadioPlayback::backToPlayingStation() {
    PlayerState& s = p_.s;
    if (p_.bass().BASS_ChannelIsActive(s.radioChannel) != BASS_ACTIVE_PLAYING) return false;
    s.stationName = playing_.name;
    s.streamURL = playing_.url;
    return true;
}
