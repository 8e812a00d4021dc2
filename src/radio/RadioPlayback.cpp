#include "radio/RadioPlayback.h"

#include "app/Player.h"
#include "app/Window.h"

#include "platform/ByteText.h"
#include "platform/TextFile.h"

#include <QFile>

void RadioPlayback::MP3_Radio_umschalten(bool start) {
    PlayerState& s = p_.s;
    p_.mute.stumm_schalten(false);
    if (s.radioMode) {
        p_.radioT.stop();
        p_.radioLautT.stop();
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
    IBass& bass = p_.bass();
    // Watched before connecting, so a failed start is noticed too. A running watchdog keeps its beat.
    if (!p_.radioT.isActive()) p_.radioT.start();
    const QByteArray url = textToBytes(s.streamURL);
    const HSTREAM stream =
        bass.BASS_StreamCreateURL(url.constData(), 0, BASS_STREAM_STATUS, nullptr, nullptr);
    if (stream == 0) return;
    s.display.bitrateL = QStringLiteral("- ");
    s.reconnectCount = 0;
    p_.radioT.setInterval(3000);
    p_.window().processEvents();
    // The old stream is stopped even while reconnecting: one that only stalled could otherwise come
    // back and play beside the new one, out of reach. After an engine restart the calls do nothing.
    bass.BASS_ChannelStop(s.radioChannel);
    bass.BASS_StreamFree(s.radioChannel);
    s.radioChannel = stream;
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
    IBass& bass = p_.bass();
    if (s.connectionProblem) {
        ++s.reconnectCount;
        s.display.bitrateL = QString::number(s.reconnectCount);
        bass.BASS_Free();
        bass.BASS_Init(-1, 44100, 0, nullptr, nullptr);
        radio_play();
        return;
    }
    if (bass.BASS_ChannelIsActive(s.radioChannel) != BASS_ACTIVE_PLAYING) {
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

void RadioPlayback::HTTPGet1DoneFile() {
    PlayerState& s = p_.s;
    QFile file(QStringLiteral("temp.tmp"));
    if (!file.open(QIODevice::ReadOnly)) return;
    const QStringList lines = splitTextLines(file.readAll());
    file.close();
    s.streamURL = lines.value(1);
    s.stationName = selectedStationName();
    radio_play();
    QFile::remove(QStringLiteral("temp.tmp"));
}

void RadioPlayback::HTTPGet1Error() {
    p_.s.display.SongL =
        QStringLiteral("Radio: ") + selectedStationName() + QStringLiteral(": nicht gefunden");
}
