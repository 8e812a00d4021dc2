#include "playback/VolumeControl.h"

#include "app/Player.h"

#include <algorithm>
#include <cmath>

int outputVolume(int volumeSetting, int loudness) {
    const long long a = std::llrint(1.5 * volumeSetting);
    const long long b = std::llrint(1.5 * loudness);
    return static_cast<int>(std::clamp(a - b, 1LL, 100LL));
}

void VolumeControl::applyVolume() {
    p_.audioEngine().setGain(outputVolume(p_.s.volumeSetting, p_.s.currentLoudness));
}

void VolumeControl::onVolumeBarChange() {
    p_.s.volumeSetting = p_.s.volumeBar.position();
    if (p_.s.playMode != PLAYMODE_IDLE) applyVolume();
}

void VolumeControl::stepVolumeDown() {
    int position = p_.s.volumeBar.position();
    if (position > 2) position -= 2;
    p_.s.volumeBar.setPosition(position);
}

void VolumeControl::stepVolumeUp() {
    int position = p_.s.volumeBar.position();
    if (position < 99) position += 2;
    p_.s.volumeBar.setPosition(position);
}

void VolumeControl::onLevellingWaitTick() {
    p_.seq.playSelected();
}
