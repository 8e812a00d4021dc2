#pragma once
// The sound card's master mute. A machine without a mixer or without a mute switch must still play:
// the failure is reported once per run on standard error and the caller goes on.

#include <optional>

class IMixer;

class MasterMute {
public:
    explicit MasterMute(IMixer& mixer) : mixer_(mixer) {}

    // The last use of the play hot key was a double press: the sound card stays muted.
    bool hotKeyDoublePress = false;

    // Looks up the master switch; 0 on success, else the mixer's error number.
    int findMasterSwitch();
    // Mutes (true) or unmutes (false) the master output.
    void setMasterMute(bool muted);
    // Unmutes, unless the last use of the play hot key was a double press; then mutes only if asked.
    void applyMute(bool mute);
    // Sets the master switch again as it was last set, for a sound server that came back with a
    // switch of its own.
    void restoreAfterOutputReturn();

    // The message reported for a mixer failure.
    static const char* failureFormat() { return "SetMasterMuteValue failure, multimedia system error #%d"; }
    bool failureReported() const { return failureReported_; }

private:
    IMixer& mixer_;
    bool failureReported_ = false;
    std::optional<bool> lastMuted_;
};
