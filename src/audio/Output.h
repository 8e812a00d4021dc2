#pragma once
// The sound device: SDL opened for stereo float at the engine's rate, and the audio callback that
// mixes the voices, applies the output gain and limits the result to full scale (±1.0).

#include <SDL.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace audio {

class Voice;

class Output {
public:
    // device -1 (or 1) is SDL's default output; n > 1 the (n-1)th output device SDL lists after it.
    // nullptr when SDL cannot open it (no sound server, no card, an unknown driver).
    static std::unique_ptr<Output> open(int device, int rate);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    int rate() const { return rate_; }

    // Keeps the callback out while held; for the short state changes of voices and the voice list.
    class Lock {
    public:
        explicit Lock(Output& output) : device_(output.device_) { SDL_LockAudioDevice(device_); }
        ~Lock() { SDL_UnlockAudioDevice(device_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        SDL_AudioDeviceID device_;
    };

    void addVoice(Voice* voice);
    void removeVoice(Voice* voice);

    // Linear amplitude factor applied to the mix.
    void setGain(float gain) { gain_.store(gain, std::memory_order_relaxed); }

    // Starts or stops the device's clock; a stopped output leaves every voice where it is.
    void start();
    void stop();
    bool running() const { return running_.load(std::memory_order_relaxed); }

private:
    Output(SDL_AudioDeviceID device, int rate);
    static void SDLCALL callback(void* self, Uint8* stream, int bytes);

    SDL_AudioDeviceID device_;
    int rate_;
    std::atomic<float> gain_{1.0f};
    std::atomic<bool> running_{false};
    std::vector<Voice*> voices_; // changed only under Lock
};

} // namespace audio
