#pragma once
// The part of a playing channel that the audio callback sees: a ring of converted samples filled by
// the channel's decoding thread, the play state, the position that has been heard and the level.
//
// mixInto() runs on the audio callback and only reads the ring, adds, and updates atomics. The
// control calls change the state while the output is locked (Output::Lock), so they never race with
// a running callback.

#include "audio/PcmRing.h"
#include "audio/Wakeup.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace audio {

class Voice {
public:
    enum class State : int { Stopped, Playing, Paused, Ended };

    // live: a network stream, which stalls (and waits to refill) when its ring runs dry, where a file
    // stream just plays on with a gap. producerWakeup is raised when the ring has room for more;
    // endWakeup when the voice reaches its end.
    Voice(int outputRate, bool live, Wakeup& producerWakeup, Wakeup& endWakeup);

    // Audio callback: adds this voice's next frames (stereo) into mix; the frames it took from its ring.
    std::size_t mixInto(float* mix, std::size_t frames) noexcept;
    // Audio callback, after mixInto: a voice that has just ended hands over to the voice that follows
    // it, which starts playing (and reports so once through takeJoined); that voice, or nullptr. The
    // link is used up at the end either way, and a follower that was played meanwhile is left alone.
    // The follower's volume, if it has one, is put into outputVolume before the follower counts as
    // playing, so whoever sees it play sees its volume.
    Voice* startFollower(std::uint64_t round, std::atomic<int>& outputVolume) noexcept;
    // Started by a hand-over in this round of the callback, so already mixed behind its predecessor.
    bool joinedIn(std::uint64_t round) const noexcept { return joinRound_ == round; }
    // The output volume (0..100) from the join on, -1 for no change.
    int followerVolume() const noexcept { return followerVolume_; }

    // Decoding thread.
    PcmRing& ring() { return ring_; }
    void setSourceRate(long rate) { sourceRate_.store(rate, std::memory_order_release); }
    // No more samples will follow what is in the ring.
    void markSourceDone() { sourceDone_.store(true, std::memory_order_release); }
    // True when the ring has room for a decoding round.
    bool wantsMore() const { return ring_.writable() >= roundSamples_; }

    // Control, with the output locked.
    void setState(State state);
    // The voice that starts where this one ends (nullptr: none), at the given output volume.
    void setFollower(Voice* next, int volume) {
        follower_ = next;
        followerVolume_ = volume;
    }
    Voice* follower() const { return follower_; }
    // Drops what was decoded ahead and continues from sourceFrame (a seek).
    void restartAt(std::int64_t sourceFrame);
    // A playing network stream drops what it buffered, as if heard, while no device plays it: it stays
    // at the live edge. Only while no audio callback runs.
    void dropIfLive();

    // Any thread.
    State state() const { return state_.load(std::memory_order_acquire); }
    bool stalled() const { return stalled_.load(std::memory_order_relaxed); }
    // Source frames heard since the start of the stream.
    std::int64_t heardFrames() const { return heardFrames_.load(std::memory_order_relaxed); }
    // Peak of the last ~20 ms mixed: left in the low 16 bits, right in the high, each 0..32768.
    std::uint32_t levelWord() const { return level_.load(std::memory_order_relaxed); }
    // Samples (not frames) buffered ahead of the output.
    std::size_t buffered() const { return ring_.readable(); }
    // True once after a hand-over started this voice.
    bool takeJoined() { return joined_.exchange(false, std::memory_order_acq_rel); }

private:
    PcmRing ring_;
    const int outputRate_;
    const bool live_;
    // The decoding thread is woken once this much of the ring is free and then fills it up, so it runs
    // a few times a second with a long round rather than after every callback with a short one.
    const std::size_t refillSamples_;
    const std::size_t roundSamples_;
    const std::size_t resumeSamples_;
    const std::size_t levelWindowFrames_;
    Wakeup& producerWakeup_;
    Wakeup& endWakeup_;

    std::atomic<State> state_{State::Stopped};
    std::atomic<bool> sourceDone_{false};
    std::atomic<bool> stalled_{false};
    std::atomic<long> sourceRate_{0};
    std::atomic<std::int64_t> heardFrames_{0};
    std::atomic<std::uint32_t> level_{0};
    // Callback-side bookkeeping for the position; reset by restartAt() while the callback is locked out.
    std::int64_t baseFrame_ = 0;
    std::int64_t outFramesConsumed_ = 0;
    // The join: changed under Output::Lock, or by the callback.
    Voice* follower_ = nullptr;
    int followerVolume_ = -1;
    std::uint64_t joinRound_ = 0;
    std::atomic<bool> joined_{false};
};

} // namespace audio
