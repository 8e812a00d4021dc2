#include "audio/Output.h"

#include "audio/Voice.h"

#include <algorithm>

namespace audio {

namespace {
// 2048 frames is about 46 ms at 44.1 kHz: pause and seek still answer at once to the ear, and each
// round through SDL's audio thread costs far more CPU than the mixing in it (half the rounds of 1024
// frames save a third of the engine's CPU time while playing).
constexpr Uint16 kCallbackFrames = 2048;
} // namespace

std::unique_ptr<Output> Output::open(int device, int rate) {
    if (rate < 8000 || rate > 384000) return nullptr;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
    const char* name = nullptr;
    if (device > 1) {
        name = SDL_GetAudioDeviceName(device - 2, 0);
        if (!name) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return nullptr;
        }
    } else if (device != -1 && device != 1) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    std::unique_ptr<Output> output(new Output(0, rate));
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kCallbackFrames;
    want.callback = &Output::callback;
    want.userdata = output.get();
    SDL_AudioSpec have{};
    // No allowed changes: SDL converts to whatever the device really takes, the callback always
    // gets stereo float at `rate`.
    output->device_ = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
    if (output->device_ == 0) return nullptr; // the destructor quits the subsystem again
    output->voices_.reserve(16);
    output->start();
    return output;
}

Output::Output(SDL_AudioDeviceID device, int rate) : device_(device), rate_(rate) {}

Output::~Output() {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void Output::addVoice(Voice* voice) {
    Lock lock(*this);
    voices_.push_back(voice);
}

void Output::removeVoice(Voice* voice) {
    Lock lock(*this);
    voices_.erase(std::remove(voices_.begin(), voices_.end(), voice), voices_.end());
}

void Output::start() {
    running_.store(true, std::memory_order_relaxed);
    SDL_PauseAudioDevice(device_, 0);
}

void Output::stop() {
    running_.store(false, std::memory_order_relaxed);
    SDL_PauseAudioDevice(device_, 1);
}

void SDLCALL Output::callback(void* self, Uint8* stream, int bytes) {
    auto* output = static_cast<Output*>(self);
    auto* mix = reinterpret_cast<float*>(stream);
    const std::size_t samples = static_cast<std::size_t>(bytes) / sizeof(float);
    std::fill(mix, mix + samples, 0.0f);
    for (Voice* voice : output->voices_)
        voice->mixInto(mix, samples / 2);
    // Nothing leaves beyond full scale: decoders overshoot on clipped recordings and voices add up,
    // and whatever lies beyond reaches the speakers as full-scale noise.
    const float gain = output->gain_.load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < samples; ++i)
        mix[i] = std::clamp(mix[i] * gain, -1.0f, 1.0f);
}

} // namespace audio
