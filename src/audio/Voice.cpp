#include "audio/Voice.h"

#include "audio/SampleBlocks.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace audio {

namespace {
// About 0.75 s of stereo output: enough to ride out a busy machine, small enough that a network
// stream that stopped sending shows up as stalled within a few seconds.
constexpr std::size_t kRingSamples = 65536;

std::uint32_t toLevel(float peak) {
    float scaled = std::min(peak, 1.0f) * 32768.0f;
    return static_cast<std::uint32_t>(std::lround(scaled));
}
} // namespace

Voice::Voice(int outputRate, bool live, Wakeup& producerWakeup, Wakeup& endWakeup)
    : ring_(kRingSamples), outputRate_(outputRate), live_(live), refillSamples_(ring_.capacity() / 2),
      roundSamples_(ring_.capacity() / 8), resumeSamples_(ring_.capacity() / 3), levelWindowFrames_(static_cast<std::size_t>(outputRate) / 50),
      producerWakeup_(producerWakeup), endWakeup_(endWakeup) {}

std::size_t Voice::mixInto(float* mix, std::size_t frames) noexcept {
    if (state_.load(std::memory_order_acquire) != State::Playing) return 0;
    const bool done = sourceDone_.load(std::memory_order_acquire);
    const std::size_t available = ring_.readable();
    if (live_ && stalled_.load(std::memory_order_relaxed)) {
        // A network stream refills a good part of its ring before it sounds again, so a slow
        // connection plays in stretches rather than in crackles.
        if (!done && available < resumeSamples_) {
            level_.store(0, std::memory_order_relaxed);
            producerWakeup_.notify();
            return 0;
        }
        stalled_.store(false, std::memory_order_relaxed);
    }

    const std::size_t wanted = frames * 2;
    const std::size_t take = std::min(wanted, available) & ~std::size_t{1};
    // The level covers the last ~20 ms of this block as it will be heard, silence after a short take
    // included.
    const std::size_t levelFrom = frames > levelWindowFrames_ ? (frames - levelWindowFrames_) * 2 : 0;
    StereoPeak peak;
    auto pieces = ring_.readRegions(take);
    std::size_t at = 0;
    for (auto piece : {pieces.first, pieces.second}) {
        addSamples(mix + at, piece.data(), piece.size());
        // The ring holds whole frames, so every piece and the window start on a left sample.
        const std::size_t from = std::max(levelFrom, at) - at;
        if (from < piece.size()) {
            const StereoPeak piecePeak = stereoPeak(piece.data() + from, piece.size() - from);
            peak.left = std::max(peak.left, piecePeak.left);
            peak.right = std::max(peak.right, piecePeak.right);
        }
        at += piece.size();
    }
    ring_.consume(take);
    level_.store(toLevel(peak.left) | (toLevel(peak.right) << 16), std::memory_order_relaxed);

    outFramesConsumed_ += static_cast<std::int64_t>(take / 2);
    const long rate = sourceRate_.load(std::memory_order_acquire);
    const std::int64_t heard = rate == outputRate_ || rate <= 0
                                   ? outFramesConsumed_
                                   : outFramesConsumed_ * static_cast<std::int64_t>(rate) / outputRate_;
    heardFrames_.store(baseFrame_ + heard, std::memory_order_relaxed);

    if (take < wanted) {
        if (done && ring_.readable() == 0) {
            auto playing = State::Playing;
            if (state_.compare_exchange_strong(playing, State::Ended, std::memory_order_acq_rel))
                endWakeup_.notify();
        } else if (live_) {
            stalled_.store(true, std::memory_order_relaxed);
        }
    }
    if (ring_.writable() >= refillSamples_) producerWakeup_.notify();
    return take / 2;
}

Voice* Voice::startFollower(std::uint64_t round, std::atomic<int>& outputVolume) noexcept {
    if (!follower_ || state_.load(std::memory_order_acquire) != State::Ended) return nullptr;
    Voice* next = std::exchange(follower_, nullptr);
    if (next->state() != State::Stopped) return nullptr;
    if (followerVolume_ >= 0) outputVolume.store(followerVolume_, std::memory_order_release);
    next->setState(State::Playing);
    next->joinRound_ = round;
    next->joined_.store(true, std::memory_order_release);
    // The engine's thread, woken for this voice's end, tells about the join as well.
    return next;
}

void Voice::setState(State state) {
    if (state == State::Playing) stalled_.store(false, std::memory_order_relaxed);
    state_.store(state, std::memory_order_release);
}

void Voice::dropIfLive() {
    if (!live_ || state() != State::Playing) return;
    ring_.consume(ring_.readable());
    level_.store(0, std::memory_order_relaxed);
    if (sourceDone_.load(std::memory_order_acquire)) {
        state_.store(State::Ended, std::memory_order_release);
        endWakeup_.notify();
    }
    producerWakeup_.notify();
}

void Voice::restartAt(std::int64_t sourceFrame) {
    ring_.clear();
    sourceDone_.store(false, std::memory_order_release);
    stalled_.store(false, std::memory_order_relaxed);
    baseFrame_ = sourceFrame;
    outFramesConsumed_ = 0;
    heardFrames_.store(sourceFrame, std::memory_order_relaxed);
    level_.store(0, std::memory_order_relaxed);
    if (state_.load(std::memory_order_relaxed) == State::Ended) state_.store(State::Stopped);
}

} // namespace audio
