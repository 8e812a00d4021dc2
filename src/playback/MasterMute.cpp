#include "playback/MasterMute.h"

#include "platform/Mixer.h"

#include <cstdio>

int MasterMute::GetMasterMute() {
    return mixer_.findMasterSwitch();
}

void MasterMute::SetMasterMuteValue(bool muted) {
    int code = GetMasterMute();
    if (code == 0) code = mixer_.setMasterMuted(muted);
    if (code != 0 && !failureReported_) {
        failureReported_ = true;
        std::fprintf(stderr, failureFormat(), code);
        std::fputc('\n', stderr);
    }
}

void MasterMute::stumm_schalten(bool mute) {
    if (!hotKeyDoublePress_)
        SetMasterMuteValue(false);
    else if (mute)
        SetMasterMuteValue(true);
}
