#pragma once
// Decodes the audio bytes of a network stream (ICY blocks already removed) with libmpg123 in feed
// mode. Bytes are fed only when libmpg123 asks for more, so its input stays small.

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

private:
    StreamDecoder(ByteQueue& input, Mpg123Ptr handle, std::chrono::milliseconds waitPerRead);

    ByteQueue& input_;
    Mpg123Ptr handle_;
    std::chrono::milliseconds waitPerRead_;
    std::vector<char> feedBuffer_;
    PcmFormat format_;
    bool ended_ = false;
};

} // namespace audio
