#pragma once
// Tells MPEG audio (MPEG-1, -2 and -2.5, layers I to III) from other data before libmpg123 decodes
// it. Any data holds false frame sync words, and libmpg123 turns a WAV, AAC or Ogg file into bursts of
// noise far beyond full scale; what only MPEG audio has is a run of frames, each header exactly where
// the frame before it ends, all of one stream.

#include "audio/AudioSpan.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace audio {

struct FrameHeader {
    int version = 0; // the header's code: 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int layer = 0;   // 1..3
    int sampleRate = 0;
    int bitrateKbps = 0;    // 0: free format
    std::size_t length = 0; // bytes of the whole frame; 0 for free format (known only from the next)
    std::size_t padding = 0;

    // Frames of one stream keep their version, layer, rate and free or fixed bitrate.
    bool sameStream(const FrameHeader& other) const;
};

// The header in the four bytes at `bytes`, or nothing when they are no valid frame header.
std::optional<FrameHeader> parseFrameHeader(const unsigned char* bytes);

// The file position of the first frame in the file range [begin, end) of the open file fd that
// starts a run of MPEG audio frames inside the file's audio span (the run may reach past `end`).
// Looks at most `searchLimit` bytes into the range; nothing when no run starts there.
std::optional<std::uint64_t> findMpegAudio(int fd, const AudioSpan& span, std::uint64_t begin,
                                           std::uint64_t end, std::uint64_t searchLimit);

} // namespace audio
