#include "audio/OutputKeeper.h"

#include "audio/Output.h"

#include <algorithm>

namespace audio {

void OutputKeeper::check(Output& output) {
    bool opened = false;
    {
        std::lock_guard lock(mutex_);
        const auto now = Clock::now();
        if (output.connected()) {
            if (!output.closeIfLost()) return;
            // A sound server that went away takes a moment to come back.
            pause_ = timing_.firstPause;
            waitBeforeNextAttempt(now);
            return;
        }
        output.dropLiveAudio();
        if (!output.wanted() || now < nextAttempt_) return;
        opened = attempt(output, now);
    }
    if (opened) announceReturn();
}

bool OutputKeeper::openNow(Output& output) {
    bool opened = false;
    {
        std::lock_guard lock(mutex_);
        if (output.connected()) return true;
        pause_ = timing_.firstPause;
        opened = attempt(output, Clock::now());
    }
    if (opened) announceReturn();
    return opened;
}

bool OutputKeeper::attempt(Output& output, Clock::time_point now) {
    if (output.connect()) {
        pause_ = timing_.firstPause;
        return true;
    }
    waitBeforeNextAttempt(now);
    return false;
}

void OutputKeeper::waitBeforeNextAttempt(Clock::time_point now) {
    nextAttempt_ = now + pause_;
    pause_ = std::min(pause_ * 2, timing_.longestPause);
}

void OutputKeeper::setReturnHandler(std::function<void()> handler) {
    std::lock_guard lock(handlerMutex_);
    handler_ = std::move(handler);
}

void OutputKeeper::announceReturn() {
    std::lock_guard lock(handlerMutex_);
    if (handler_) handler_();
}

} // namespace audio
