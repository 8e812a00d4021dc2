#pragma once
// Decodes the MP3 frames in a byte range of a file with libmpg123. Not thread-safe: its owner
// serialises the calls.

#include "audio/Mpg123.h"
#include "audio/PcmSource.h"
#include "audio/RangeReader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace audio {

// Where the frames of a range start, as libmpg123 records them: offsets[i] is the range position of
// frame i * step. lengthFrames is the exact decoded length in sample frames.
struct FrameIndex {
    std::vector<off_t> offsets;
    off_t step = 0;
    std::int64_t lengthFrames = -1;
};

class FileDecoder : public PcmSource {
public:
    // nullptr when the file cannot be opened or no run of MPEG audio frames starts near the beginning
    // of the range (after the file's ID3v2 tags). Decoding starts at the first frame of that run and
    // stops where the tags at the end of the file begin.
    static std::unique_ptr<FileDecoder> open(const std::string& path, std::uint64_t offset,
                                             std::uint64_t length, bool monoMix);

    PcmFormat format() const override { return format_; }
    Result read(float* out, std::size_t maxFrames) override;

    // Reads every frame header once: the length becomes exact and later seeks jump straight to their
    // frame. Cheap for a short range; a whole album-length file belongs on a background thread.
    bool scan();
    void installIndex(const FrameIndex& index);
    bool seek(std::int64_t frame);

    // Decoded length of the range in sample frames: exact after scan() or installIndex(), otherwise
    // libmpg123's estimate from the first frames (exact when the file carries a Xing/Info header);
    // -1 when unknown.
    std::int64_t lengthFrames() const { return exactLength_ >= 0 ? exactLength_ : estimatedLength_; }
    bool lengthIsExact() const { return exactLength_ >= 0; }
    // The size of the range asked for, tags and anything before the first frame included.
    std::uint64_t rangeSize() const { return rangeSize_; }
    // The file range that is decoded.
    std::uint64_t audioOffset() const { return reader_->offset(); }
    std::uint64_t audioSize() const { return reader_->size(); }

private:
    FileDecoder(std::unique_ptr<RangeReader> reader, Mpg123Ptr handle, std::uint64_t rangeSize);

    std::unique_ptr<RangeReader> reader_; // before handle_: the handle reads through it until deleted
    Mpg123Ptr handle_;
    std::uint64_t rangeSize_;
    PcmFormat format_;
    std::int64_t estimatedLength_ = -1;
    std::int64_t exactLength_ = -1;
};

} // namespace audio
