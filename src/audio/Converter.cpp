#include "audio/Converter.h"

#include <SDL.h>

namespace audio {

namespace {
constexpr std::size_t kOutFrameBytes = 2 * sizeof(float);
}

Converter::Converter(PcmFormat from, int outputRate)
    : inFrameBytes_(static_cast<std::size_t>(from.channels) * sizeof(float)) {
    if (from.rate <= 0 || from.channels <= 0 || from.channels > 8) return;
    stream_ = SDL_NewAudioStream(AUDIO_F32SYS, static_cast<Uint8>(from.channels), static_cast<int>(from.rate),
                                 AUDIO_F32SYS, 2, outputRate);
}

Converter::~Converter() {
    if (stream_) SDL_FreeAudioStream(stream_);
}

bool Converter::put(const float* samples, std::size_t frames) {
    return SDL_AudioStreamPut(stream_, samples, static_cast<int>(frames * inFrameBytes_)) == 0;
}

std::size_t Converter::available() const {
    int bytes = SDL_AudioStreamAvailable(stream_);
    return bytes > 0 ? static_cast<std::size_t>(bytes) / kOutFrameBytes : 0;
}

std::size_t Converter::get(float* out, std::size_t maxFrames) {
    int bytes = SDL_AudioStreamGet(stream_, out, static_cast<int>(maxFrames * kOutFrameBytes));
    return bytes > 0 ? static_cast<std::size_t>(bytes) / kOutFrameBytes : 0;
}

void Converter::flush() {
    SDL_AudioStreamFlush(stream_);
}

void Converter::clear() {
    SDL_AudioStreamClear(stream_);
}

} // namespace audio
