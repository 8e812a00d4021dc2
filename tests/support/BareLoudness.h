#pragma once
// The player's four-excerpt loudness measurement written straight on libmpg123, without the audio
// engine: one decoder handle serves every excerpt, and each excerpt is read through a small buffered
// reader over its byte range. Tests take its value as the reference for the player's measurement;
// the benchmark compares the two in speed.
//
//     bare::ExcerptDecoder decoder;
//     std::vector<float> samples;
//     int value = bare::measure(decoder, "/music/song.mp3", samples); // -1: file not opened

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct mpg123_handle_struct;

namespace bare {

class ExcerptDecoder {
public:
    ExcerptDecoder();
    ~ExcerptDecoder();
    ExcerptDecoder(const ExcerptDecoder&) = delete;
    ExcerptDecoder& operator=(const ExcerptDecoder&) = delete;

    // Decodes up to maxSamples mono float samples (the mix (L+R)/2) from the first MP3 frame found
    // in the byte range [offset, offset + length) of the open file fd, whose size is fileSize. The
    // number of samples delivered; 0 when the range holds nothing decodable.
    std::size_t decode(int fd, std::uint64_t fileSize, std::uint64_t offset, std::uint64_t length, float* out,
                       std::size_t maxSamples);

    struct Range;

private:
    mpg123_handle_struct* handle_ = nullptr;
    std::unique_ptr<Range> range_;
};

// The samples of the four excerpts at 1/5 .. 4/5 of the file (100000-byte ranges, at most 12500
// samples each); empty when the file cannot be opened.
std::vector<std::vector<float>> excerpts(ExcerptDecoder& decoder, const std::string& path);

// The loudness value of the file, computed as the player does from the same excerpts; -1 when the
// file cannot be opened. samples is the one buffer reused for every excerpt.
int measure(ExcerptDecoder& decoder, const std::string& path, std::vector<float>& samples);

// The whole file decoded as interleaved float samples at its own rate and channel count, with the
// engine's gapless setting; empty when it does not decode.
struct Decoded {
    long rate = 0;
    int channels = 0;
    std::vector<float> samples;
};
Decoded decodeWhole(const std::string& path);

} // namespace bare
