#include "playback/PlaySequencer.h"

#include "app/Player.h"
#include "app/Window.h"
#include "audio/AudioSpan.h"
#include "library/TitleFit.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "playback/Duration.h"

#include <cmath>

namespace {

// The bytes of a song's audio out of its file's size: its tags, which may hold a picture of
// megabytes, are no part of its bitrate.
QWORD audioBytes(QWORD fileSize, const QString& path) {
    const auto span = audio::findAudioSpan(pathBytes(path).toStdString());
    return span && span->tagBytes() <= fileSize ? fileSize - span->tagBytes() : fileSize;
}

} // namespace

void PlaySequencer::playsong() {
    PlayerState& s = p_.s;
    IBass& bass = p_.bass();
    p_.mute.SetMasterMuteValue(false);
    const int row = s.songs.selected();
    if (row < 0) return;
    const QString path = s.songs.dateinamenLB(row);
    if (!isFile(path)) return;
    s.currentIndex = row;
    if (s.songs.LautLB(row) == QStringLiteral("x")) {
        p_.lauttimer.start();
        return;
    }
    p_.radioT.stop();
    p_.radio.cancelStart();
    p_.lauttimer.stop();
    bass.BASS_ChannelStop(s.radioChannel);
    s.currentLoudness = strToInt(s.songs.LautLB(row));
    bass.BASS_ChannelStop(s.fileStream);
    bass.BASS_StreamFree(s.fileStream);
    const QByteArray file = pathBytes(path);
    s.fileStream = bass.BASS_StreamCreateFile(0, file.constData(), 0, 0, BASS_STREAM_AUTOFREE);
    s.fileStreamFile = file;
    p_.channel.bass_kanal_play(s.fileStream, PLAYMODE_SONG);
    // An unknown length counts as 0.
    const QWORD length = bass.BASS_ChannelGetLength(s.fileStream);
    s.songLengthBytes = length == BASS_ERROR_QWORD ? 0 : length;
    p_.trackTimer.start();
    showSong(bass.BASS_ChannelBytes2Seconds(s.fileStream, s.songLengthBytes));
}

void PlaySequencer::showSong(double seconds) {
    PlayerState& s = p_.s;
    const bool known = std::isfinite(seconds) && seconds > 0;
    s.songSeconds = known ? static_cast<int>(std::llrint(seconds)) : 0;
    const QString duration = format_duration(known ? seconds : 0);
    const QWORD size = p_.bass().BASS_StreamGetFilePosition(s.fileStream, BASS_FILEPOS_END);
    s.bitrateText =
        size == BASS_ERROR_QWORD
            ? QStringLiteral(" - ")
            : bitrate_text(static_cast<double>(audioBytes(size, s.songs.dateinamenLB(s.currentIndex))),
                           known ? seconds : 0);
    s.songDisplay = rechtsb(s.songs.songLB(s.currentIndex) + QStringLiteral(" [") + duration + u']',
                            [this](const QString& t) { return p_.window().textWidth(t); });
    p_.channel.showTitle(s.songDisplay, s.songDisplay);
    s.display.bitrateL = s.bitrateText;
}

void PlaySequencer::nextsong() {
    SongList& songs = p_.s.songs;
    const int i = songs.selected();
    if (i < 0 || i >= songs.count() - 1) return;
    songs.setSelected(i + 1);
    playsong();
}

void PlaySequencer::lastsong() {
    SongList& songs = p_.s.songs;
    const int i = songs.selected();
    if (i <= 0) return;
    songs.setSelected(i - 1);
    playsong();
}

void PlaySequencer::PlayBClick() {
    PlayerState& s = p_.s;
    IBass& bass = p_.bass();
    if (!s.radioMode) {
        p_.mute.SetMasterMuteValue(s.hotKeyDoublePress);
        bass.BASS_ChannelStop(s.radioChannel);
        if (bass.BASS_ChannelIsActive(s.fileStream) == BASS_ACTIVE_PLAYING) {
            p_.channel.mp3machpause();
        } else {
            p_.mute.stumm_schalten(false);
            p_.channel.bass_kanal_play(s.fileStream, PLAYMODE_SONG);
            p_.trackTimer.start();
        }
        return;
    }
    if (bass.BASS_ChannelIsActive(s.radioChannel) == BASS_ACTIVE_PLAYING) {
        if (s.hotKeyDoublePress) p_.mute.SetMasterMuteValue(true);
        stopStation();
    } else {
        p_.mute.SetMasterMuteValue(false);
        p_.radioT.start();
        p_.radio.radiosenderLBClick();
        if (s.lautanpassenCB)
            p_.radioLautT.start();
        else
            p_.radioLautT.stop();
    }
}

void PlaySequencer::stopStation() {
    p_.radioT.stop();
    p_.radio.cancelStart();
    p_.bass().BASS_ChannelStop(p_.s.radioChannel);
    p_.s.display.PlayB = PlayPicture::START;
    p_.radioLautT.stop();
}

void PlaySequencer::vorBClick() {
    if (p_.s.playMode == PLAYMODE_SONG) nextsong();
}

void PlaySequencer::rueckBClick() {
    if (p_.s.playMode == PLAYMODE_SONG) lastsong();
}

void PlaySequencer::trackTimerTimer() {
    PlayerState& s = p_.s;
    IBass& bass = p_.bass();
    if (bass.BASS_ChannelIsActive(s.fileStream) == BASS_ACTIVE_STOPPED) {
        s.playMode = PLAYMODE_IDLE;
        s.display.PlayB = PlayPicture::START;
        // While the watchdog is on, a station is playing or being reached and takes over from the
        // song list: a next song would stop it.
        if (!p_.radioT.isActive() && s.currentIndex < s.songs.count() - 1) nextsong();
        return;
    }
    if (s.positionDragging) return;
    const QWORD position = bass.BASS_ChannelGetPosition(s.fileStream);
    if (position == BASS_ERROR_QWORD) return;
    const auto pos = static_cast<long long>(position);
    long long value = 0;
    if (s.playMode == PLAYMODE_SONG) {
        if (s.songLengthBytes > 0) value = pos * 1000 / static_cast<long long>(s.songLengthBytes);
    } else if (s.previewRangeBytes > 0) {
        value = (pos - static_cast<long long>(s.previewStartBytes)) * 1000 /
                static_cast<long long>(s.previewRangeBytes);
    }
    s.posTB.setPosition(static_cast<int>(std::clamp<long long>(value, s.posTB.min(), s.posTB.max())));
}

void PlaySequencer::posTBMouseDown() {
    p_.bass().BASS_ChannelPause(p_.s.fileStream);
    p_.s.positionDragging = true;
}

void PlaySequencer::posTBChange() {
    PlayerState& s = p_.s;
    if (!s.positionDragging) return;
    const auto value = static_cast<long long>(s.posTB.position());
    long long target = 0;
    if (s.playMode == PLAYMODE_PREVIEW)
        target = static_cast<long long>(s.previewStartBytes) +
                 value * static_cast<long long>(s.previewRangeBytes) / 1000;
    else
        target = value * static_cast<long long>(s.songLengthBytes) / 1000;
    p_.bass().BASS_ChannelSetPosition(s.fileStream, static_cast<QWORD>(target));
}

void PlaySequencer::posTBMouseUp() {
    PlayerState& s = p_.s;
    s.positionDragging = false;
    if (s.playMode == PLAYMODE_SONG || s.playMode == PLAYMODE_PREVIEW) p_.channel.einfach_weiter_spielen();
}
