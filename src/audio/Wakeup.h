#pragma once
// A wake-up signal that the audio callback may raise: notify() never blocks, never allocates and takes
// no lock. The waiting side re-checks its own condition after every return from waitFor(), so a
// notification that arrives while nobody waits is never lost, only merged with the next one.

#include <atomic>
#include <chrono>
#include <semaphore>

namespace audio {

class Wakeup {
public:
    void notify() noexcept {
        if (!pending_.exchange(true, std::memory_order_acq_rel)) semaphore_.release();
    }

    // True when woken, false on time-out.
    bool waitFor(std::chrono::milliseconds timeout) {
        bool woken = semaphore_.try_acquire_for(timeout);
        pending_.store(false, std::memory_order_release);
        return woken;
    }

private:
    std::atomic<bool> pending_{false};
    std::counting_semaphore<> semaphore_{0};
};

} // namespace audio
