#pragma once
// Work on blocks of float samples for the audio callback: adding a voice into the mix, the output gain
// with the limit at full scale, and the peak of stereo frames. Each runs through its block in groups
// of eight samples that the compiler turns into vector instructions, so the callback does per block
// what it would otherwise do sample by sample. Nothing here blocks, allocates or locks.

#include <cstddef>

namespace audio {

struct StereoPeak {
    float left = 0.0f;
    float right = 0.0f;
};

// to[i] += from[i] for count samples; the two do not overlap.
void addSamples(float* to, const float* from, std::size_t count) noexcept;
// samples[i] = samples[i] * gain, limited to -1..1.
void scaleAndLimit(float* samples, std::size_t count, float gain) noexcept;
// The largest magnitude among the left and among the right samples of interleaved stereo (count
// samples, an even number).
StereoPeak stereoPeak(const float* samples, std::size_t count) noexcept;

} // namespace audio
