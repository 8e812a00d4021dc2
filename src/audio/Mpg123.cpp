#include "audio/Mpg123.h"

#include <mutex>

namespace audio {

Mpg123Ptr makeMpg123Decoder(bool monoMix) {
    static std::once_flag initOnce;
    // Still required by libmpg123 before the first handle in older releases; harmless in newer ones.
    std::call_once(initOnce, [] { mpg123_init(); });

    int error = MPG123_OK;
    Mpg123Ptr handle(mpg123_new(nullptr, &error));
    if (!handle) return nullptr;
    mpg123_handle* mh = handle.get();
    mpg123_param(mh, MPG123_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_SKIP_ID3V2, 0);
    mpg123_param(mh, MPG123_RESYNC_LIMIT, -1, 0);
    mpg123_format_none(mh);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    int channels = monoMix ? MPG123_MONO : MPG123_MONO | MPG123_STEREO;
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(mh, rates[i], channels, MPG123_ENC_FLOAT_32);
    return handle;
}

} // namespace audio
