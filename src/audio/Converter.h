#pragma once
// Converts a channel's decoded floats to the output format (stereo float at the output rate) with
// SDL's audio stream. Used by one thread at a time; the audio callback never touches it.

#include "audio/PcmSource.h"

#include <cstddef>

struct _SDL_AudioStream;

namespace audio {

class Converter {
public:
    // A converter from `from` to stereo at outputRate; check valid().
    Converter(PcmFormat from, int outputRate);
    ~Converter();
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return stream_ != nullptr; }
    bool put(const float* samples, std::size_t frames);
    // Converted stereo frames ready to take.
    std::size_t available() const;
    std::size_t get(float* out, std::size_t maxFrames);
    // Pushes out what the resampler still holds, at the end of the input.
    void flush();
    void clear();

private:
    _SDL_AudioStream* stream_ = nullptr;
    std::size_t inFrameBytes_ = 0;
};

} // namespace audio
