// The floor for the player's cost of playing a song: libmpg123 decodes straight into SDL2's audio
// callback, with nothing else around it (no window, no ring, no decoding thread). bench/playing.sh runs
// it beside the player and mpv and compares their CPU time per minute of playing.
//
// Usage: bare_player FILE.mp3 [SECONDS]. Plays FILE (at most SECONDS, when given) through SDL's output
// (SDL_AUDIODRIVER chooses the driver) as stereo float at 44100 Hz in callbacks of 2048 frames, the
// format and block size the player's output uses, so the comparison is one of the work around the
// decoding, not of the device's rhythm.

#include <SDL.h>
#include <mpg123.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Playback {
    mpg123_handle* decoder = nullptr;
    std::atomic<bool> ended{false};
};

void SDLCALL fill(void* user, Uint8* stream, int bytes) {
    auto* playback = static_cast<Playback*>(user);
    std::size_t done = 0;
    while (done < static_cast<std::size_t>(bytes) && !playback->ended.load(std::memory_order_relaxed)) {
        std::size_t got = 0;
        const int result =
            mpg123_read(playback->decoder, stream + done, static_cast<std::size_t>(bytes) - done, &got);
        done += got;
        if (result == MPG123_DONE || (result != MPG123_OK && result != MPG123_NEW_FORMAT && got == 0))
            playback->ended.store(true, std::memory_order_relaxed);
    }
    if (done < static_cast<std::size_t>(bytes)) std::memset(stream + done, 0, static_cast<std::size_t>(bytes) - done);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE.mp3 [SECONDS]\n", argv[0]);
        return 2;
    }
    const double limit = argc > 2 ? std::atof(argv[2]) : 0.0;
    Playback playback;
    int error = MPG123_OK;
    playback.decoder = mpg123_new(nullptr, &error);
    if (!playback.decoder) return 1;
    mpg123_param(playback.decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    mpg123_format_none(playback.decoder);
    mpg123_format(playback.decoder, 44100, MPG123_STEREO, MPG123_ENC_FLOAT_32);
    if (mpg123_open(playback.decoder, argv[1]) != MPG123_OK) {
        std::fprintf(stderr, "cannot open %s: %s\n", argv[1], mpg123_strerror(playback.decoder));
        return 1;
    }
    if (SDL_Init(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return 1;
    }
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 2048;
    want.callback = &fill;
    want.userdata = &playback;
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (device == 0) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return 1;
    }
    SDL_PauseAudioDevice(device, 0);
    const Uint64 start = SDL_GetTicks64();
    while (!playback.ended.load() && (limit <= 0 || SDL_GetTicks64() - start < limit * 1000))
        SDL_Delay(100);
    SDL_CloseAudioDevice(device);
    SDL_Quit();
    mpg123_delete(playback.decoder);
    return 0;
}
