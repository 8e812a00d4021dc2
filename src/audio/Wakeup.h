#pragma once
// A wake-up signal that the audio callback may raise: notify() never blocks, never allocates and takes
// no lock. The waiting side re-checks its own condition after every return from waitFor(), so a
// notification that arrives while nobody waits is never lost, only merged with the next one.
//
// Built on the futex directly: the standard semaphore spins and yields the processor before it sleeps,
// which the decoding and engine threads, woken a few times a second while a song plays, paid for at
// every wait.

#include <atomic>
#include <chrono>
#include <cstdint>

namespace audio {

class Wakeup {
public:
    void notify() noexcept {
        // A sleeper is woken only when the flag is newly raised and someone may be sleeping on it.
        if (pending_.exchange(1, std::memory_order_seq_cst) == 0 && sleepers_.load(std::memory_order_seq_cst) > 0)
            wakeOne();
    }

    // True when woken, false on time-out.
    bool waitFor(std::chrono::milliseconds timeout) {
        if (pending_.load(std::memory_order_seq_cst) == 0) {
            sleepers_.fetch_add(1, std::memory_order_seq_cst);
            // Sleeps only while the flag is still down (the kernel checks it), so a notify() between the
            // test above and the sleep is not missed.
            sleepWhileClear(timeout);
            sleepers_.fetch_sub(1, std::memory_order_seq_cst);
        }
        return pending_.exchange(0, std::memory_order_acq_rel) != 0;
    }

private:
    void wakeOne() noexcept;
    void sleepWhileClear(std::chrono::milliseconds timeout);

    std::atomic<std::uint32_t> pending_{0};
    std::atomic<int> sleepers_{0};
};

} // namespace audio
