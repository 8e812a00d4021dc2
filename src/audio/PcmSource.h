#pragma once
// Something that decodes to interleaved float samples: a file range or a network stream.

#include <cstddef>

namespace audio {

struct PcmFormat {
    long rate = 0;
    int channels = 0;
    bool operator==(const PcmFormat&) const = default;
};

class PcmSource {
public:
    enum class Status {
        Frames,        // frames were delivered
        FormatChanged, // nothing delivered; format() has changed (the first report of a stream's format, too)
        Wait,          // nothing delivered yet; more input may come
        End,           // nothing more will come
    };
    struct Result {
        Status status;
        std::size_t frames = 0;
    };

    virtual ~PcmSource() = default;
    virtual PcmFormat format() const = 0;
    // Reads at most maxFrames frames of format().channels floats into out.
    virtual Result read(float* out, std::size_t maxFrames) = 0;
};

} // namespace audio
