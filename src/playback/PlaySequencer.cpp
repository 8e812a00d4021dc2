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
std::int64_t audioBytes(std::int64_t fileSize, const QString& path) {
    const auto span = audio::findAudioSpan(pathBytes(path).toStdString());
    if (!span) return fileSize;
    const auto tagBytes = static_cast<std::int64_t>(span->tagBytes());
    return tagBytes <= fileSize ? fileSize - tagBytes : fileSize;
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
    s.fileStream = audioEngine.openFile(file.toStdString(), OpenOptions{.autoFree = true});
    s.fileStreamFile = file;
    p_.channel.playChannel(s.fileStream, PLAYMODE_SONG);
    // An unknown length counts as 0.
    s.songLengthBytes = std::max<std::int64_t>(audioEngine.length(s.fileStream), 0);
    p_.trackTimer.start();
    showSong(audioEngine.seconds(s.fileStream, s.songLengthBytes));
}

void PlaySequencer::showSong(double seconds) {
    PlayerState& s = p_.s;
    const bool known = std::isfinite(seconds) && seconds > 0;
    s.songSeconds = known ? static_cast<int>(std::llrint(seconds)) : 0;
    const QString duration = formatDuration(known ? seconds : 0);
    const std::int64_t size = p_.audioEngine().downloadedBytes(s.fileStream);
    s.bitrateText = size < 0
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
    const std::int64_t position = audioEngine.position(s.fileStream);
    if (position < 0) return;
    std::int64_t value = 0;
    if (s.playMode == PLAYMODE_SONG) {
        if (s.songLengthBytes > 0) value = position * 1000 / s.songLengthBytes;
    } else if (s.previewRangeBytes > 0) {
        value = (position - s.previewStartBytes) * 1000 / s.previewRangeBytes;
    }
    s.positionBar.setPosition(
        static_cast<int>(std::clamp<std::int64_t>(value, s.positionBar.min(), s.positionBar.max())));
}

void PlaySequencer::onPositionBarPress() {
    p_.audioEngine().pause(p_.s.fileStream);
    p_.s.positionDragging = true;
}

void PlaySequencer::onPositionBarChange() {
    PlayerState& s = p_.s;
    if (!s.positionDragging) return;
    const auto value = static_cast<std::int64_t>(s.positionBar.position());
    const std::int64_t target = s.playMode == PLAYMODE_PREVIEW
                                    ? s.previewStartBytes + value * s.previewRangeBytes / 1000
                                    : value * s.songLengthBytes / 1000;
    p_.audioEngine().seek(s.fileStream, target);
}

void PlaySequencer::onPositionBarRelease() {
    PlayerState& s = p_.s;
    s.positionDragging = false;
    if (s.playMode == PLAYMODE_SONG || s.playMode == PLAYMODE_PREVIEW) p_.channel.resumeAfterSeek();
}
