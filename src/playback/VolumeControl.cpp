#include "playback/VolumeControl.h"

#include "app/Player.h"

#include <algorithm>
#include <cmath>

int output_volume(int volumeSetting, int loudness) {
    const long long a = std::llrint(1.5 * volumeSetting);
    const long long b = std::llrint(1.5 * loudness);
    return static_cast<int>(std::clamp(a - b, 1LL, 100LL));
}

void VolumeControl::lautsetzen() {
    p_.bass().BASS_SetVolume(static_cast<DWORD>(output_volume(p_.s.volumeSetting, p_.s.currentLoudness)));
}

void VolumeControl::volumeTBChange() {
    p_.s.volumeSetting = p_.s.volumeTB.position();
    if (p_.s.playMode != PLAYMODE_IDLE) lautsetzen();
}

void VolumeControl::leisermachen() {
    int position = p_.s.volumeTB.position();
    if (position > 2) position -= 2;
    p_.s.volumeTB.setPosition(position);
}

void VolumeControl::lautermachen() {
    int position = p_.s.volumeTB.position();
    if (position < 99) position += 2;
    p_.s.volumeTB.setPosition(position);
}

void VolumeControl::lauttimerTimer() {
    p_.seq.playsong();
}
