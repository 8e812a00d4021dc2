#include "playback/ChannelControl.h"

#include "library/TitleFit.h"
#include "platform/TextFile.h"

#include <cmath>

void ChannelControl::playChannel(ChannelHandle handle, PlayMode newMode) {
    playMode = newMode;
    if (newMode != PlayMode::Radio) showTitle(songDisplay, songDisplay);
    audioEngine_.play(handle, false);
    playButton = PlayPicture::Stop;
}

void ChannelControl::resumeAfterSeek() {
    audioEngine_.play(fileStream, false);
    positionDragging = false;
}

void ChannelControl::previewEnding() {
    playMode = PlayMode::Preview;
    previewReturnPosition = positionBar.position();
    // A song of 15 seconds or less previews from its beginning.
    double start = 0;
    if (songSeconds > 15)
        start = std::nearbyint(static_cast<double>(songLengthBytes) * (songSeconds - 15) / songSeconds);
    previewStartBytes = static_cast<std::int64_t>(start);
    previewRangeBytes = songLengthBytes - previewStartBytes;
    audioEngine_.seek(fileStream, previewStartBytes);
}

void ChannelControl::restartOutput() {
    const std::int64_t position = audioEngine_.position(fileStream);
    const bool playing = audioEngine_.state(fileStream) == ChannelState::Playing;
    audioEngine_.closeOutput();
    audioEngine_.openOutput(-1, 44100);
    if (position < 0) return;
    fileStream = audioEngine_.openFile(fileStreamFile.toStdString(), OpenOptions{.autoFree = true});
    audioEngine_.seek(fileStream, position);
    if (playing) audioEngine_.play(fileStream, false);
}

void ChannelControl::showTitle(const QString& fitted, const QString& full) {
    titleStrip = fitted;
    tip = leftChars(full, 64);
}

void ChannelControl::restoreSongTitle() {
    showTitle(songDisplay, songDisplay);
    bitrateLabel = bitrateText;
}
