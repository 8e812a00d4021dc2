#pragma once
// Keeps the engine's sound output open while sound is wanted: notices a device that went away (SDL
// reports it lost) and opens the output again, at once when a channel is played and otherwise in the
// background, with a pause that grows after each failed attempt so that a machine without sound
// costs nothing.

#include <chrono>
#include <functional>
#include <mutex>

namespace audio {

class Output;

class OutputKeeper {
public:
    struct Timing {
        std::chrono::milliseconds firstPause{500};
        std::chrono::milliseconds longestPause{5000};
    };

    explicit OutputKeeper(Timing timing) : timing_(timing), pause_(timing.firstPause) {}

    // One round of the engine's housekeeping.
    void check(Output& output);
    // Tries a missing output at once (a channel is to play); true when one is open.
    bool openNow(Output& output);
    // handler runs each time the output opened again after it was lost or missing, on the thread that
    // opened it. Once this returns, the old handler is neither running nor called again.
    void setReturnHandler(std::function<void()> handler);

private:
    using Clock = std::chrono::steady_clock;
    // With mutex_ held.
    bool attempt(Output& output, Clock::time_point now);
    void waitBeforeNextAttempt(Clock::time_point now);
    void announceReturn();

    const Timing timing_;
    std::mutex mutex_;
    Clock::time_point nextAttempt_{};
    std::chrono::milliseconds pause_;
    std::mutex handlerMutex_;
    std::function<void()> handler_;
};

} // namespace audio
