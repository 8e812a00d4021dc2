#include "audio/Output.h"

#include "platform/QuietAlsa.h"
#include "audio/SampleBlocks.h"
#include "audio/Voice.h"

#include <algorithm>

namespace audio {

namespace {
// 2048 frames is about 46 ms at 44.1 kHz: pause and seek still answer at once to the ear, and each
// round through SDL's audio thread costs far more CPU than the mixing in it (half the rounds of 1024
// frames save a third of the engine's CPU time while playing).
constexpr Uint16 kCallbackFrames = 2048;

// SDL's subsystem start and stop are not made for several threads at once (and engines in tests
// share the process).
std::mutex& sdlMutex() {
    static std::mutex mutex;
    return mutex;
}

// SDL's audio subsystem, started with the given driver ("" lets SDL choose; an SDL_AUDIODRIVER set
// in the environment still wins). Each start picks the driver anew, so a sound server that came up
// since the last one is found.
class AudioSubsystem {
public:
    explicit AudioSubsystem(const std::string& driver) {
        if (!driver.empty()) SDL_SetHint(SDL_HINT_AUDIODRIVER, driver.c_str());
        started_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (!driver.empty()) SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    }
    ~AudioSubsystem() {
        if (started_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    AudioSubsystem(const AudioSubsystem&) = delete;
    AudioSubsystem& operator=(const AudioSubsystem&) = delete;

    bool started() const { return started_; }
    // Keeps the subsystem running beyond this object (for the device opened in it).
    void keep() { started_ = false; }

private:
    bool started_ = false;
};

std::string deviceName(int index, const std::string& driver) {
    std::lock_guard lock(sdlMutex());
    const QuietAlsa quiet;
    AudioSubsystem audio(driver);
    const char* name = audio.started() ? SDL_GetAudioDeviceName(index, 0) : nullptr;
    return name ? name : "";
}
} // namespace

std::unique_ptr<Output> Output::create(int device, int rate, Options options) {
    if (rate < 8000 || rate > 384000) return nullptr;
    if (device != -1 && device < 1) return nullptr;
    std::unique_ptr<Output> output(new Output(rate, std::move(options)));
    if (device > 1) {
        output->name_ = deviceName(device - 2, output->driver_);
        if (output->name_.empty()) return nullptr;
    }
    output->connect();
    return output;
}

Output::Output(int rate, Options options)
    : rate_(rate), stallLimit_(options.stallLimit), driver_(std::move(options.driver)) {
    voices_.reserve(16);
}

Output::~Output() {
    std::lock_guard lock(sdlMutex());
    if (device_ == 0) return;
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool Output::connect() {
    std::lock_guard connectLock(connectMutex_);
    if (connected()) return true;
    SDL_AudioSpec want{};
    want.freq = rate_;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kCallbackFrames;
    want.callback = &Output::callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    SDL_AudioDeviceID device = 0;
    {
        std::lock_guard lock(sdlMutex());
        // SDL falls back to ALSA when no sound server answers, and on a machine without a card ALSA
        // would print its complaints at every attempt.
        const QuietAlsa quiet;
        AudioSubsystem audio(driver_);
        if (!audio.started()) return false;
        // No allowed changes: SDL converts to whatever the device really takes, the callback always
        // gets stereo float at the output's rate. The device opens paused.
        device = SDL_OpenAudioDevice(name_.empty() ? nullptr : name_.c_str(), 0, &want, &have, 0);
        if (device == 0) return false;
        audio.keep();
        if (const char* driver = SDL_GetCurrentAudioDriver()) driver_ = driver;
    }
    std::lock_guard lock(deviceMutex_);
    device_ = device;
    callbackDevice_.store(device);
    markCalled();
    connected_.store(true, std::memory_order_release);
    if (running()) SDL_PauseAudioDevice(device_, 0);
    return true;
}

bool Output::closeIfLost() {
    std::lock_guard connectLock(connectMutex_);
    SDL_AudioDeviceID device = 0;
    {
        std::lock_guard lock(deviceMutex_);
        if (device_ == 0 || SDL_GetAudioDeviceStatus(device_) != SDL_AUDIO_STOPPED) return false;
        device = device_;
        device_ = 0;
        callbackDevice_.store(0);
        connected_.store(false, std::memory_order_release);
    }
    // A lost device's thread no longer waits for the sound system, so closing it returns at once.
    std::lock_guard lock(sdlMutex());
    SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return true;
}

bool Output::audible() const {
    if (!connected()) return false;
    const auto sinceCall = std::chrono::steady_clock::now().time_since_epoch().count() - lastCall_.load();
    return std::chrono::steady_clock::duration(sinceCall) <= stallLimit_;
}

bool Output::wanted() {
    if (!running()) return false;
    Lock lock(*this);
    return std::any_of(voices_.begin(), voices_.end(),
                       [](const Voice* voice) { return voice->state() == Voice::State::Playing; });
}

void Output::dropLiveAudio() {
    Lock lock(*this);
    if (device_ != 0) return;
    for (Voice* voice : voices_)
        voice->dropIfLive();
}

std::string Output::driver() const {
    std::lock_guard lock(connectMutex_);
    return driver_;
}

void Output::addVoice(Voice* voice) {
    Lock lock(*this);
    voices_.push_back(voice);
}

void Output::removeVoice(Voice* voice) {
    Lock lock(*this);
    voices_.erase(std::remove(voices_.begin(), voices_.end(), voice), voices_.end());
    for (Voice* other : voices_)
        if (other->follower() == voice) other->setFollower(nullptr, -1);
}

bool Output::follow(Voice* current, Voice* next, int volume) {
    Lock lock(*this);
    const auto here = [this](Voice* voice) {
        return std::find(voices_.begin(), voices_.end(), voice) != voices_.end();
    };
    if (current == next || !here(current) || !here(next)) return false;
    if (current->state() == Voice::State::Ended || next->state() != Voice::State::Stopped) return false;
    // One voice follows at most one other, so a song dropped from one join never starts from another.
    for (Voice* other : voices_)
        if (other->follower() == next) other->setFollower(nullptr, -1);
    current->setFollower(next, volume);
    return true;
}

bool Output::unfollow(Voice* next) {
    Lock lock(*this);
    bool waiting = false;
    for (Voice* other : voices_) {
        if (other->follower() != next) continue;
        other->setFollower(nullptr, -1);
        waiting = true;
    }
    return waiting;
}

void Output::start() {
    std::lock_guard lock(deviceMutex_);
    running_.store(true, std::memory_order_relaxed);
    // A device held still is not a stalled one.
    markCalled();
    if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
}

void Output::stop() {
    std::lock_guard lock(deviceMutex_);
    running_.store(false, std::memory_order_relaxed);
    if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
}

void SDLCALL Output::callback(void* self, Uint8* stream, int bytes) {
    auto* output = static_cast<Output*>(self);
    auto* mix = reinterpret_cast<float*>(stream);
    const std::size_t samples = static_cast<std::size_t>(bytes) / sizeof(float);
    std::fill(mix, mix + samples, 0.0f);
    // SDL goes on calling a device it has lost, into the void. Voices that mixed there would lose
    // what they played and their place.
    const SDL_AudioDeviceID device = output->callbackDevice_.load();
    if (device == 0 || SDL_GetAudioDeviceStatus(device) != SDL_AUDIO_PLAYING) return;
    output->markCalled();
    output->mix(mix, samples);
}

void Output::mix(float* mix, std::size_t samples) {
    const std::size_t frames = samples / 2;
    ++round_;
    const int volumeBefore = volume_.load(std::memory_order_relaxed);
    // A join inside this block: the following voice goes on in the same block, right after the last
    // frame of the one that ended, and the volume changes at that frame.
    std::size_t joinFrame = frames;
    int joinVolume = -1;
    for (Voice* voice : voices_) {
        if (voice->joinedIn(round_)) continue;
        std::size_t at = 0;
        for (Voice* v = voice; v != nullptr && at < frames;) {
            at += v->mixInto(mix + at * 2, frames - at);
            if (at >= frames) break;
            const int volume = v->followerVolume();
            v = v->startFollower(round_, volume_);
            if (v != nullptr && volume >= 0) {
                joinFrame = at;
                joinVolume = volume;
            }
        }
    }
    // Nothing leaves beyond full scale: decoders overshoot on clipped recordings and voices add up,
    // and whatever lies beyond reaches the speakers as full-scale noise.
    scaleAndLimit(mix, joinFrame * 2, static_cast<float>(volumeBefore) / 100.0f);
    if (joinVolume < 0) return;
    scaleAndLimit(mix + joinFrame * 2, samples - joinFrame * 2, static_cast<float>(joinVolume) / 100.0f);
}

} // namespace audio
