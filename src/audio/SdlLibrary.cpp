// SDL's entry points that the engine uses, defined here and forwarded to libSDL2, which is loaded with
// dlopen by the first call. The player's first call comes from the thread that opens the output after
// the window's first paint, so loading SDL and the sound-server libraries it brings (PulseAudio,
// libsndfile and its codecs, Wayland, five X extensions: thousands of relocations) no longer delays the
// window.
// The engine includes SDL's header and calls it as usual. Without the library no output opens and no
// audio stream is made, as on a machine without a sound device.

#include "platform/LazyLibrary.h"

#include <SDL.h>

namespace {

// Each entry: an SDL function the engine calls; its type comes from the header.
#define MP3ZX_SDL_SYMBOLS(X)                                                                                \
    X(SDL_InitSubSystem)                                                                                    \
    X(SDL_QuitSubSystem)                                                                                    \
    X(SDL_SetHint)                                                                                          \
    X(SDL_ResetHint)                                                                                        \
    X(SDL_GetCurrentAudioDriver)                                                                            \
    X(SDL_GetAudioDeviceName)                                                                               \
    X(SDL_OpenAudioDevice)                                                                                  \
    X(SDL_CloseAudioDevice)                                                                                 \
    X(SDL_PauseAudioDevice)                                                                                 \
    X(SDL_GetAudioDeviceStatus)                                                                             \
    X(SDL_LockAudioDevice)                                                                                  \
    X(SDL_UnlockAudioDevice)                                                                                \
    X(SDL_NewAudioStream)                                                                                   \
    X(SDL_FreeAudioStream)                                                                                  \
    X(SDL_AudioStreamPut)                                                                                   \
    X(SDL_AudioStreamGet)                                                                                   \
    X(SDL_AudioStreamAvailable)                                                                             \
    X(SDL_AudioStreamFlush)                                                                                 \
    X(SDL_AudioStreamClear)

struct Sdl {
    MP3ZX_SDL_SYMBOLS(MP3ZX_LAZY_POINTER)
};

// The loaded library, or nullptr when it is missing or lacks a function.
const Sdl* sdl() {
    static const Sdl* const loaded = loadLazyLibrary<Sdl>("libSDL2-2.0.so.0", [](void* handle, Sdl& table) {
        MP3ZX_SDL_SYMBOLS(MP3ZX_LAZY_LOAD)
        return true;
    });
    return loaded;
}

} // namespace

extern "C" {

int SDL_InitSubSystem(Uint32 flags) {
    const Sdl* s = sdl();
    return s ? s->SDL_InitSubSystem(flags) : -1;
}

void SDL_QuitSubSystem(Uint32 flags) {
    if (const Sdl* s = sdl()) s->SDL_QuitSubSystem(flags);
}

SDL_bool SDL_SetHint(const char* name, const char* value) {
    const Sdl* s = sdl();
    return s ? s->SDL_SetHint(name, value) : SDL_FALSE;
}

SDL_bool SDL_ResetHint(const char* name) {
    const Sdl* s = sdl();
    return s ? s->SDL_ResetHint(name) : SDL_FALSE;
}

const char* SDL_GetCurrentAudioDriver() {
    const Sdl* s = sdl();
    return s ? s->SDL_GetCurrentAudioDriver() : nullptr;
}

const char* SDL_GetAudioDeviceName(int index, int isCapture) {
    const Sdl* s = sdl();
    return s ? s->SDL_GetAudioDeviceName(index, isCapture) : nullptr;
}

SDL_AudioDeviceID SDL_OpenAudioDevice(const char* device, int isCapture, const SDL_AudioSpec* desired,
                                      SDL_AudioSpec* obtained, int allowedChanges) {
    const Sdl* s = sdl();
    return s ? s->SDL_OpenAudioDevice(device, isCapture, desired, obtained, allowedChanges) : 0;
}

void SDL_CloseAudioDevice(SDL_AudioDeviceID device) {
    if (const Sdl* s = sdl()) s->SDL_CloseAudioDevice(device);
}

void SDL_PauseAudioDevice(SDL_AudioDeviceID device, int pause) {
    if (const Sdl* s = sdl()) s->SDL_PauseAudioDevice(device, pause);
}

SDL_AudioStatus SDL_GetAudioDeviceStatus(SDL_AudioDeviceID device) {
    const Sdl* s = sdl();
    return s ? s->SDL_GetAudioDeviceStatus(device) : SDL_AUDIO_STOPPED;
}

void SDL_LockAudioDevice(SDL_AudioDeviceID device) {
    if (const Sdl* s = sdl()) s->SDL_LockAudioDevice(device);
}

void SDL_UnlockAudioDevice(SDL_AudioDeviceID device) {
    if (const Sdl* s = sdl()) s->SDL_UnlockAudioDevice(device);
}

SDL_AudioStream* SDL_NewAudioStream(SDL_AudioFormat fromFormat, Uint8 fromChannels, int fromRate,
                                    SDL_AudioFormat toFormat, Uint8 toChannels, int toRate) {
    const Sdl* s = sdl();
    return s ? s->SDL_NewAudioStream(fromFormat, fromChannels, fromRate, toFormat, toChannels, toRate) : nullptr;
}

void SDL_FreeAudioStream(SDL_AudioStream* stream) {
    if (const Sdl* s = sdl()) s->SDL_FreeAudioStream(stream);
}

int SDL_AudioStreamPut(SDL_AudioStream* stream, const void* buffer, int length) {
    const Sdl* s = sdl();
    return s ? s->SDL_AudioStreamPut(stream, buffer, length) : -1;
}

int SDL_AudioStreamGet(SDL_AudioStream* stream, void* buffer, int length) {
    const Sdl* s = sdl();
    return s ? s->SDL_AudioStreamGet(stream, buffer, length) : -1;
}

int SDL_AudioStreamAvailable(SDL_AudioStream* stream) {
    const Sdl* s = sdl();
    return s ? s->SDL_AudioStreamAvailable(stream) : 0;
}

int SDL_AudioStreamFlush(SDL_AudioStream* stream) {
    const Sdl* s = sdl();
    return s ? s->SDL_AudioStreamFlush(stream) : -1;
}

void SDL_AudioStreamClear(SDL_AudioStream* stream) {
    if (const Sdl* s = sdl()) s->SDL_AudioStreamClear(stream);
}

} // extern "C"
