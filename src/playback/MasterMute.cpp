#include "playback/MasterMute.h"

#include "platform/Mixer.h"

#include <cstdio>

int MasterMute::findMasterSwitch() {
    return mixer_.findMasterSwitch();
}

void MasterMute::setMasterMute(bool muted) {
    lastMuted_ = muted;
    int code = findMasterSwitch();
    if (code == 0) code = mixer_.setMasterMuted(muted);
    if (code != 0 && !failureReported_) {
        failureReported_ = true;
        std::fprintf(stderr, failureFormat(), code);
        std::fputc('\n', stderr);
    }
}

void MasterMute::applyMute(bool mute) {
    if (!hotKeyDoublePress)
        setMasterMute(false);
    else if (mute)
        setMasterMute(true);
}

void MasterMute::restoreAfterOutputReturn() {
    if (lastMuted_) setMasterMute(*lastMuted_);
}
