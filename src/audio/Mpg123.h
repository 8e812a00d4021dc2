#pragma once
// Ownership of libmpg123 handles and the decoder settings every stream shares.

#include <memory>
#include <mpg123.h>

namespace audio {

struct Mpg123Deleter {
    void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};
using Mpg123Ptr = std::unique_ptr<mpg123_handle, Mpg123Deleter>;

// A decoder that outputs 32-bit float at the stream's own rate; monoMix folds stereo to (L+R)/2.
// It searches for the first frame through any amount of leading junk (libmpg123 otherwise gives up
// after 64 KiB), skips ID3v2 tags by seeking instead of parsing them, and stays quiet on stderr.
// nullptr if libmpg123 cannot create a handle.
Mpg123Ptr makeMpg123Decoder(bool monoMix);

} // namespace audio
