#pragma once
// Decodes the audio bytes of a network stream (ICY blocks already removed) with libmpg123 in feed
// mode. Bytes are fed only when libmpg123 asks for more, so its input stays small.
//
// A station is joined in mid-stream: the first frames' bit reservoir lies in frames that were never
// received, and libmpg123 puts out digital silence for them (two frames at 128 kbit/s). That silence
// is dropped, so the stream's first sample is its first sound; a stream that is silent itself loses
// at most kLeadInLimitFrames of it.

#include "audio/ByteQueue.h"
#include "audio/Mpg123.h"
#include "audio/PcmSource.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace audio {

class StreamDecoder : public PcmSource {
public:
    // nullptr if libmpg123 cannot set up a feed decoder.
    // prefix: bytes of the stream already taken from input, decoded first.
    static std::unique_ptr<StreamDecoder>
    create(ByteQueue& input, bool monoMix, std::chrono::milliseconds waitPerRead, std::string prefix = {});

    PcmFormat format() const override { return format_; }
    // Waits up to waitPerRead for input; Wait when none came.
    Result read(float* out, std::size_t maxFrames) override;

    // The reservoir reaches back at most 511 bytes: fewer than eight frames even at the lowest rates.
    static constexpr std::size_t kLeadInLimitFrames = 8 * 1152;

private:
    // Drops the stream's leading silence from the frames just decoded into out; the frames left.
    std::size_t dropLeadIn(float* out, std::size_t frames, std::size_t channels);

    StreamDecoder(ByteQueue& input, Mpg123Ptr handle, std::chrono::milliseconds waitPerRead);

    ByteQueue& input_;
    Mpg123Ptr handle_;
    std::chrono::milliseconds waitPerRead_;
    std::vector<char> feedBuffer_;
    PcmFormat format_;
    bool ended_ = false;
    // Frames of leading silence dropped so far; past the limit or the first sound nothing is dropped.
    std::size_t leadInDropped_ = 0;
    bool leadInOver_ = false;
};

} // namespace audio
