#pragma once
// The sound card's master output switch. Results are 0 on success or a positive error number of the
// mixer system (for ALSA: the negated snd_* result).

class IMixer {
public:
    virtual ~IMixer() = default;
    // Looks up the master output's mute switch.
    virtual int findMasterSwitch() = 0;
    // Mutes (true) or unmutes (false) the master output.
    virtual int setMasterMuted(bool muted) = 0;
};
