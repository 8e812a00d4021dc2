#pragma once
// The master mute on ALSA: the playback switch of a simple-mixer element (switch off = muted).

#include "platform/Mixer.h"

#include <string>

class AlsaMixer : public IMixer {
public:
    // The player uses the "Master" element of the "default" mixer, which is the sound server's master
    // output when PulseAudio or PipeWire runs, otherwise the first card's.
    explicit AlsaMixer(std::string device = "default", std::string element = "Master");

    // 0, or a positive error number: ALSA's own (ENOENT when there is no sound card and no sound
    // server), ENOENT when the device has no such element, ENOTSUP when it has no playback switch.
    int findMasterSwitch() override;
    int setMasterMuted(bool muted) override;

private:
    // The mixer is opened for each call and closed again, so a sound server restarted in between
    // is found again and no handle stays open for the whole run.
    int withSwitch(bool set, bool muted);
    int withSwitchOnce(bool set, bool muted);

    std::string device_;
    std::string element_;
};
