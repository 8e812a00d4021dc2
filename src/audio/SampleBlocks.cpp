#include "audio/SampleBlocks.h"

#include <algorithm>
#include <cmath>

namespace audio {

namespace {
// A group of samples with a fixed count: the compiler unrolls its loop and does it in vector registers.
constexpr std::size_t kGroup = 8;
} // namespace

void addSamples(float* __restrict to, const float* __restrict from, std::size_t count) noexcept {
    std::size_t i = 0;
    for (; i + kGroup <= count; i += kGroup)
        for (std::size_t j = 0; j < kGroup; ++j)
            to[i + j] += from[i + j];
    for (; i < count; ++i)
        to[i] += from[i];
}

void scaleAndLimit(float* samples, std::size_t count, float gain) noexcept {
    const auto limited = [gain](float v) { return std::min(std::max(v * gain, -1.0f), 1.0f); };
    std::size_t i = 0;
    for (; i + kGroup <= count; i += kGroup)
        for (std::size_t j = 0; j < kGroup; ++j)
            samples[i + j] = limited(samples[i + j]);
    for (; i < count; ++i)
        samples[i] = limited(samples[i]);
}

StereoPeak stereoPeak(const float* samples, std::size_t count) noexcept {
    // Even places of a group hold left samples, odd ones right samples.
    float peaks[kGroup] = {};
    std::size_t i = 0;
    for (; i + kGroup <= count; i += kGroup)
        for (std::size_t j = 0; j < kGroup; ++j)
            peaks[j] = std::max(peaks[j], std::fabs(samples[i + j]));
    for (std::size_t j = 0; i + j < count; ++j)
        peaks[j] = std::max(peaks[j], std::fabs(samples[i + j]));
    StereoPeak peak;
    for (std::size_t j = 0; j < kGroup; j += 2) {
        peak.left = std::max(peak.left, peaks[j]);
        peak.right = std::max(peak.right, peaks[j + 1]);
    }
    return peak;
}

} // namespace audio
