#include "playback/ChannelControl.h"

#include "app/Player.h"
#include "app/Window.h"
#include "library/TitleFit.h"
#include "platform/TextFile.h"
#include "playback/StreamTitle.h"

#include <QMetaObject>
#include <cmath>

void ChannelControl::playChannel(ChannelHandle handle, int newMode) {
    PlayerState& s = p_.s;
    s.playMode = static_cast<std::uint8_t>(newMode);
    p_.volume.applyVolume();
    if (newMode == PLAYMODE_RADIO) {
        // The notification is in place before the current title is read, so a title that arrives in
        // between is not lost until the station's next change.
        streamTitles_ = p_.audioEngine().onMetadata(
            s.radioChannel,
            [this, channel = s.radioChannel](const std::string& text) { onStreamMetadata(channel, text); });
        showCurrentStreamTitle();
    } else {
        showTitle(s.songDisplay, s.songDisplay);
    }
    p_.audioEngine().play(handle, false);
    s.display.playButton = PlayPicture::STOP;
}

void ChannelControl::pauseSong() {
    p_.audioEngine().pause(p_.s.fileStream);
    p_.s.display.playButton = PlayPicture::START;
    p_.s.playMode = PLAYMODE_IDLE;
    p_.trackTimer.stop();
}

void ChannelControl::resumeAfterSeek() {
    p_.audioEngine().play(p_.s.fileStream, false);
    p_.s.positionDragging = false;
}

void ChannelControl::previewEnding() {
    PlayerState& s = p_.s;
    s.playMode = PLAYMODE_PREVIEW;
    s.previewReturnPosition = s.positionBar.position();
    // A song of 15 seconds or less previews from its beginning.
    double start = 0;
    if (s.songSeconds > 15)
        start = std::nearbyint(static_cast<double>(s.songLengthBytes) * (s.songSeconds - 15) / s.songSeconds);
    s.previewStartBytes = static_cast<std::int64_t>(start);
    s.previewRangeBytes = s.songLengthBytes - s.previewStartBytes;
    p_.audioEngine().seek(s.fileStream, s.previewStartBytes);
}

void ChannelControl::onStreamMetadata(ChannelHandle channel, const std::string& text) {
    // The engine's thread may not touch the window: the title is composed on the GUI thread, with the
    // station name of that moment. A call still queued when the player goes is dropped with it.
    const QString meta = decodeText(QByteArray::fromStdString(text));
    QMetaObject::invokeMethod(
        &p_, [this, channel, meta] { streamTitleArrived(channel, meta); }, Qt::QueuedConnection);
}

void ChannelControl::streamTitleArrived(ChannelHandle channel, const QString& meta) {
    if (channel != p_.s.radioChannel || p_.radio.isStarting()) return;
    showStreamTitle(meta);
}

void ChannelControl::showCurrentStreamTitle() {
    const std::optional<std::string> meta = p_.audioEngine().metadata(p_.s.radioChannel);
    showStreamTitle(meta ? decodeText(QByteArray::fromStdString(*meta)) : QString());
}

void ChannelControl::restartOutput() {
    PlayerState& s = p_.s;
    AudioEngine& audioEngine = p_.audioEngine();
    const std::int64_t position = audioEngine.position(s.fileStream);
    const bool playing = audioEngine.state(s.fileStream) == ChannelState::Playing;
    audioEngine.closeOutput();
    audioEngine.openOutput(-1, 44100);
    if (position < 0) return;
    s.fileStream = audioEngine.openFile(s.fileStreamFile.toStdString(), OpenOptions{.autoFree = true});
    audioEngine.seek(s.fileStream, position);
    if (playing) audioEngine.play(s.fileStream, false);
}

void ChannelControl::showStreamTitle(const QString& meta) {
    const QString title = streamTitleFromMetadata(meta);
    p_.s.display.streamTitle = title.trimmed();
    const QString text = title + QStringLiteral("> ") + p_.s.stationName;
    showTitle(linksb(text, [this](const QString& t) { return p_.window().textWidth(t); }), text);
}

void ChannelControl::showTitle(const QString& fitted, const QString& full) {
    p_.s.display.titleStrip = fitted;
    p_.s.display.tip = leftChars(full, 64);
}
