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

void PlaySequencer::playSelected() {
    PlayerState& s = p_.s;
    AudioEngine& audioEngine = p_.audioEngine();
    p_.mute.setMasterMute(false);
    const int row = s.songs.selected();
    if (row < 0) return;
    const QString path = s.songs.path(row);
    if (!isFile(path)) return;
    s.currentIndex = row;
    if (s.songs.loudness(row) == QStringLiteral("x")) {
        p_.levellingWaitTimer.start();
        return;
    }
    p_.watchdogTimer.stop();
    p_.radio.cancelStart();
    p_.levellingWaitTimer.stop();
    audioEngine.stop(s.radioChannel);
    s.currentLoudness = strToInt(s.songs.loudness(row));
    audioEngine.stop(s.fileStream);
    audioEngine.release(s.fileStream);
    const QByteArray file = pathBytes(path);
    s.fileStream = audioEngine.openFile(0, file.constData(), 0, 0, BASS_STREAM_AUTOFREE);
    s.fileStreamFile = file;
    p_.channel.playChannel(s.fileStream, PLAYMODE_SONG);
    // An unknown length counts as 0.
    const QWORD length = audioEngine.length(s.fileStream);
    s.songLengthBytes = length == BASS_ERROR_QWORD ? 0 : length;
    p_.trackTimer.start();
    showSong(audioEngine.seconds(s.fileStream, s.songLengthBytes));
}

void PlaySequencer::showSong(double seconds) {
    PlayerState& s = p_.s;
    const bool known = std::isfinite(seconds) && seconds > 0;
    s.songSeconds = known ? static_cast<int>(std::llrint(seconds)) : 0;
    const QString duration = formatDuration(known ? seconds : 0);
    const QWORD size = p_.audioEngine().downloadedBytes(s.fileStream, BASS_FILEPOS_END);
    s.bitrateText = size == BASS_ERROR_QWORD
                        ? QStringLiteral(" - ")
                        : formatBitrate(static_cast<double>(audioBytes(size, s.songs.path(s.currentIndex))),
                                        known ? seconds : 0);
    s.songDisplay = rechtsb(s.songs.title(s.currentIndex) + QStringLiteral(" [") + duration + u']',
                            [this](const QString& t) { return p_.window().textWidth(t); });
    p_.channel.showTitle(s.songDisplay, s.songDisplay);
    s.display.bitrateLabel = s.bitrateText;
}

void PlaySequencer::playNext() {
    SongList& songs = p_.s.songs;
    const int i = songs.selected();
    if (i < 0 || i >= songs.count() - 1) return;
    songs.setSelected(i + 1);
    playSelected();
}

void PlaySequencer::playPrevious() {
    SongList& songs = p_.s.songs;
    const int i = songs.selected();
    if (i <= 0) return;
    songs.setSelected(i - 1);
    playSelected();
}

void PlaySequencer::playButtonClicked() {
    PlayerState& s = p_.s;
    AudioEngine& audioEngine = p_.audioEngine();
    if (!s.radioMode) {
        p_.mute.setMasterMute(s.hotKeyDoublePress);
        audioEngine.stop(s.radioChannel);
        // A song held while the sound output is away still plays (and shows so): the button pauses it.
        const ChannelState active = audioEngine.state(s.fileStream);
        if (active == ChannelState::Playing || active == ChannelState::Stalled) {
            p_.channel.pauseSong();
        } else {
            p_.mute.applyMute(false);
            p_.channel.playChannel(s.fileStream, PLAYMODE_SONG);
            p_.trackTimer.start();
        }
        return;
    }
    if (audioEngine.state(s.radioChannel) == ChannelState::Playing) {
        if (s.hotKeyDoublePress) p_.mute.setMasterMute(true);
        stopStation();
    } else {
        p_.mute.setMasterMute(false);
        p_.watchdogTimer.start();
        p_.radio.startSelectedStation();
        if (s.levellingBox)
            p_.levelTimer.start();
        else
            p_.levelTimer.stop();
    }
}

void PlaySequencer::stopStation() {
    p_.watchdogTimer.stop();
    p_.radio.cancelStart();
    p_.audioEngine().stop(p_.s.radioChannel);
    p_.s.display.playButton = PlayPicture::START;
    p_.levelTimer.stop();
}

void PlaySequencer::nextButtonClicked() {
    if (p_.s.playMode == PLAYMODE_SONG) playNext();
}

void PlaySequencer::previousButtonClicked() {
    if (p_.s.playMode == PLAYMODE_SONG) playPrevious();
}

void PlaySequencer::onTrackTick() {
    PlayerState& s = p_.s;
    AudioEngine& audioEngine = p_.audioEngine();
    if (audioEngine.state(s.fileStream) == ChannelState::Stopped) {
        s.playMode = PLAYMODE_IDLE;
        s.display.playButton = PlayPicture::START;
        // While the watchdog is on, a station is playing or being reached and takes over from the
        // song list: a next song would stop it.
        if (!p_.watchdogTimer.isActive() && s.currentIndex < s.songs.count() - 1) playNext();
        return;
    }
    if (s.positionDragging) return;
    const QWORD position = audioEngine.position(s.fileStream);
    if (position == BASS_ERROR_QWORD) return;
    const auto pos = static_cast<long long>(position);
    long long value = 0;
    if (s.playMode == PLAYMODE_SONG) {
        if (s.songLengthBytes > 0) value = pos * 1000 / static_cast<long long>(s.songLengthBytes);
    } else if (s.previewRangeBytes > 0) {
        value = (pos - static_cast<long long>(s.previewStartBytes)) * 1000 /
                static_cast<long long>(s.previewRangeBytes);
    }
    s.positionBar.setPosition(
        static_cast<int>(std::clamp<long long>(value, s.positionBar.min(), s.positionBar.max())));
}

void PlaySequencer::onPositionBarPress() {
    p_.audioEngine().pause(p_.s.fileStream);
    p_.s.positionDragging = true;
}

void PlaySequencer::onPositionBarChange() {
    PlayerState& s = p_.s;
    if (!s.positionDragging) return;
    const auto value = static_cast<long long>(s.positionBar.position());
    long long target = 0;
    if (s.playMode == PLAYMODE_PREVIEW)
        target = static_cast<long long>(s.previewStartBytes) +
                 value * static_cast<long long>(s.previewRangeBytes) / 1000;
    else
        target = value * static_cast<long long>(s.songLengthBytes) / 1000;
    p_.audioEngine().seek(s.fileStream, static_cast<QWORD>(target));
}

void PlaySequencer::onPositionBarRelease() {
    PlayerState& s = p_.s;
    s.positionDragging = false;
    if (s.playMode == PLAYMODE_SONG || s.playMode == PLAYMODE_PREVIEW) p_.channel.resumeAfterSeek();
}
