#include "audio/FfmpegLibrary.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>

namespace audio {

namespace {

#define MP3ZX_TEXT(x) #x
#define MP3ZX_SONAME(lib, major) "lib" lib ".so." MP3ZX_TEXT(major)

struct Loaded {
    FfmpegLibrary library;
    std::string error;
    bool ok = false;
};

std::atomic<bool> loadedFlag{false};

// The handles stay open for the life of the process: the libraries keep global state (codec
// tables, network init) that outlives any one stream.
Loaded load() {
    Loaded result;
    const char* sonames[] = {MP3ZX_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR),
                             MP3ZX_SONAME("swresample", LIBSWRESAMPLE_VERSION_MAJOR),
                             MP3ZX_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR),
                             MP3ZX_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR)};
    void* handles[4] = {};
    for (int i = 0; i < 4; ++i) {
        handles[i] = dlopen(sonames[i], RTLD_NOW | RTLD_LOCAL);
        if (!handles[i]) {
            result.error = sonames[i];
            return result;
        }
    }
    auto find = [&](const char* name) -> void* {
        for (void* handle : handles)
            if (void* symbol = dlsym(handle, name)) return symbol;
        return nullptr;
    };
#define MP3ZX_FFMPEG_LOAD(name)                                                                              \
    result.library.name = reinterpret_cast<decltype(&::name)>(find(#name));                                  \
    if (!result.library.name) {                                                                              \
        result.error = #name;                                                                                \
        return result;                                                                                       \
    }
    MP3ZX_FFMPEG_SYMBOLS(MP3ZX_FFMPEG_LOAD)
#undef MP3ZX_FFMPEG_LOAD
    result.library.av_log_set_level(AV_LOG_QUIET);
    result.library.avformat_network_init();
    result.ok = true;
    return result;
}

} // namespace

const FfmpegLibrary* FfmpegLibrary::get(std::string* error) {
    static const Loaded loaded = [] {
        Loaded result = load();
        loadedFlag.store(result.ok);
        return result;
    }();
    if (!loaded.ok && error) *error = loaded.error;
    return loaded.ok ? &loaded.library : nullptr;
}

bool FfmpegLibrary::loaded() {
    return loadedFlag.load();
}

} // namespace audio
