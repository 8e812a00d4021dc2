#include "playback/VolumeControl.h"

#include "audio/AudioEngine.h"
#include "playback/ChannelControl.h"

#include <algorithm>
#include <cmath>

int outputVolume(int volumeSetting, int loudness) {
    const long long a = std::llrint(1.5 * volumeSetting);
    const long long b = std::llrint(1.5 * loudness);
    return static_cast<int>(std::clamp(a - b, 1LL, 100LL));
}

VolumeControl::VolumeControl(AudioEngine& audioEngine, const ChannelControl& channel, VolumeOptions options)
    : audioEngine_(audioEngine), channel_(channel) {
    levellingWaitTimer.setInterval(options.levellingWaitMs);
}

void VolumeControl::applyVolume() {
    audioEngine_.setGain(outputVolume(volumeSetting, currentLoudness));
}

void VolumeControl::onVolumeBarChange() {
    volumeSetting = volumeBar.position();
    if (channel_.playMode != PlayMode::Idle) applyVolume();
}

void VolumeControl::stepVolumeDown() {
    int position = volumeBar.position();
    if (position > 2) position -= 2;
    volumeBar.setPosition(position);
}

void VolumeControl::stepVolumeUp() {
    int position = volumeBar.position();
    if (position < 99) position += 2;
    volumeBar.setPosition(position);
}

void VolumeControl::onLevellingWaitTick() {
    if (retry_) retry_();
}
