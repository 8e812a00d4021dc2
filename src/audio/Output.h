#pragma once
// The sound output: the mix of the playing voices (stereo float at the engine's rate, the output gain,
// limited to full scale) and the SDL device that plays it. The device may go away (a sound server that
// restarts, a USB card pulled out) and be opened again: the mix and its voices stay, keep their
// positions while no device plays them, and continue on the next device.

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace audio {

class Voice;

class Output {
public:
    struct Options {
        // The SDL driver to open devices with; empty lets SDL choose. Once a device opened, its driver
        // is kept: while a sound server restarts, its clients must not take the card from it.
        std::string driver;
        // A running device whose callback has not been called for this long does not count as audible.
        std::chrono::milliseconds stallLimit{1000};
    };

    // device -1 (or 1) is SDL's default output; n > 1 the (n-1)th output device SDL lists after it.
    // nullptr for a device number or rate that cannot be used; otherwise the device is opened at once
    // where possible (connected() tells).
    static std::unique_ptr<Output> create(int device, int rate, Options options);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    int rate() const { return rate_; }

    // Keeps the callback out, and the device from changing, while held; for the short state changes of
    // voices and the voice list.
    class Lock {
    public:
        explicit Lock(Output& output) : guard_(output.deviceMutex_), device_(output.device_) {
            if (device_ != 0) SDL_LockAudioDevice(device_);
        }
        ~Lock() {
            if (device_ != 0) SDL_UnlockAudioDevice(device_);
        }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        std::unique_lock<std::mutex> guard_;
        SDL_AudioDeviceID device_;
    };

    void addVoice(Voice* voice);
    // Also unlinks the voice from any join.
    void removeVoice(Voice* voice);
    // next, a voice of this output that has not played, starts at the sample where current ends, and
    // the output's volume becomes volume there (-1: unchanged). Replaces what followed current and
    // what next followed before. False when either is not a voice here, next is not stopped or current
    // has ended.
    bool follow(Voice* current, Voice* next, int volume);
    // Takes next out of its join; true when it was still waiting for one.
    bool unfollow(Voice* next);

    // The volume applied to the mix, 0..100 (linear amplitude in hundredths); a join may change it.
    void setVolume(int volume) { volume_.store(volume, std::memory_order_relaxed); }
    int volume() const { return volume_.load(std::memory_order_relaxed); }

    // Starts or stops the output's clock; a stopped output leaves every voice where it is.
    void start();
    void stop();
    bool running() const { return running_.load(std::memory_order_relaxed); }

    // The device. Any thread; opening and closing are serialised.
    bool connected() const { return connected_.load(std::memory_order_acquire); }
    // Opens a device when none is open; true when one is open afterwards.
    bool connect();
    // Closes the device when SDL reports it gone; true when it did.
    bool closeIfLost();
    // A device is open and its callback runs (one that stopped calling it, as a hung sound server
    // does, is not heard). Only meaningful while the output runs.
    bool audible() const;
    // The output runs and a voice plays: sound is wanted.
    bool wanted();
    // While no device is open, live voices drop what they buffered, so they stay at the live edge.
    void dropLiveAudio();
    // The driver of the last device opened, or the one given.
    std::string driver() const;

private:
    Output(int rate, Options options);
    static void SDLCALL callback(void* self, Uint8* stream, int bytes);
    void mix(float* mix, std::size_t samples);
    void markCalled() { lastCall_.store(std::chrono::steady_clock::now().time_since_epoch().count()); }

    const int rate_;
    const std::chrono::milliseconds stallLimit_;
    std::string name_; // empty for the default output

    mutable std::mutex connectMutex_; // serialises connect() and closeIfLost(); taken before deviceMutex_
    std::string driver_;              // under connectMutex_
    std::mutex deviceMutex_;          // device_ and the pause state of the device
    SDL_AudioDeviceID device_ = 0;
    std::atomic<bool> connected_{false};
    std::atomic<SDL_AudioDeviceID> callbackDevice_{0}; // the device the callback checks

    std::atomic<int> volume_{100};
    std::uint64_t round_ = 0; // counts the callback's mixing rounds
    std::atomic<bool> running_{true};
    std::atomic<std::chrono::steady_clock::rep> lastCall_{0};
    std::vector<Voice*> voices_; // changed only under Lock
};

} // namespace audio
