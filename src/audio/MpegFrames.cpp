#include "audio/MpegFrames.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace audio {

namespace {

// Four frames in a row: random data or PCM samples hold a false header every few thousand bytes,
// but practically never one that three more confirm at the exact places.
constexpr int kRunFrames = 4;
// Binary data (program code, tables of equal records, rows of pixels) mimics two kinds of stream with
// short runs: layer I, whose header starts with the bytes FF FF and whose frames come in multiples
// of four bytes, and free format, whose frame length is learnt from the data itself. Both are rare in
// real files and have to show a long run.
constexpr int kLongRunFrames = 16;
// The longest free-format frame looked for (640 kbit/s at 8 kHz is 5760 bytes).
constexpr std::size_t kMaxFreeFormatBytes = 8192;
// A real MP3 shows its run within its first bytes; only other data makes the search read on.
constexpr std::size_t kFirstReadBytes = 4 * 1024;

constexpr int kVersionMpeg1 = 3;
constexpr int kVersionReserved = 1;
constexpr int kVersionMpeg25 = 0;

// kbit/s by [MPEG-1 or not][layer - 1][bitrate index]; index 0 is free format, 15 is invalid.
constexpr int kBitrates[2][3][15] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
};
constexpr int kMpeg1Rates[3] = {44100, 48000, 32000};

std::size_t frameLength(const FrameHeader& h) {
    if (h.bitrateKbps == 0) return 0;
    const long bitsPerSecond = h.bitrateKbps * 1000L;
    if (h.layer == 1) return static_cast<std::size_t>(12 * bitsPerSecond / h.sampleRate) * 4 + h.padding;
    // Layer III of MPEG-2 and -2.5 has half as many samples in a frame.
    const long factor = h.layer == 3 && h.version != kVersionMpeg1 ? 72 : 144;
    return static_cast<std::size_t>(factor * bitsPerSecond / h.sampleRate) + h.padding;
}

// The bytes [begin, end) of a file, read as far as they are asked for.
class FileBytes {
public:
    FileBytes(int fd, std::uint64_t begin, std::uint64_t end) : fd_(fd), begin_(begin), end_(end) {}

    // The `count` bytes at file position `at`; nullptr when they reach past the end or cannot be read.
    const unsigned char* at(std::uint64_t at, std::size_t count) {
        if (at < begin_ || at > end_ || count > end_ - at) return nullptr;
        const std::uint64_t needed = at + count - begin_;
        if (needed > bytes_.size() && !readUpTo(needed)) return nullptr;
        return bytes_.data() + (at - begin_);
    }

private:
    bool readUpTo(std::uint64_t needed) {
        const std::uint64_t target = std::min<std::uint64_t>(
            std::max<std::uint64_t>({needed, bytes_.size() * 2, kFirstReadBytes}), end_ - begin_);
        std::size_t have = bytes_.size();
        bytes_.resize(static_cast<std::size_t>(target));
        while (have < bytes_.size()) {
            const ssize_t got =
                ::pread(fd_, bytes_.data() + have, bytes_.size() - have, static_cast<off_t>(begin_ + have));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            have += static_cast<std::size_t>(got);
        }
        bytes_.resize(have);
        return needed <= have;
    }

    int fd_;
    std::uint64_t begin_;
    std::uint64_t end_;
    std::vector<unsigned char> bytes_; // from begin_
};

// The frame header at `at`, unless the same four bytes follow it at once: that is a repeating
// pattern (a row of pixels, a fill), never a frame, which holds its side information or CRC there.
std::optional<FrameHeader> headerAt(FileBytes& bytes, std::uint64_t at) {
    const unsigned char* p = bytes.at(at, 8);
    if (!p)
        p = bytes.at(at, 4);
    else if (std::memcmp(p, p + 4, 4) == 0)
        return std::nullopt;
    return p ? parseFrameHeader(p) : std::nullopt;
}

// The next possible frame start in [at, to), or `to`.
std::uint64_t nextSync(FileBytes& bytes, std::uint64_t at, std::uint64_t to) {
    constexpr std::size_t kBlock = 4096;
    while (at < to) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(to - at, kBlock));
        const unsigned char* block = bytes.at(at, count);
        if (!block) return to;
        if (const void* sync = std::memchr(block, 0xff, count))
            return at + static_cast<std::uint64_t>(static_cast<const unsigned char*>(sync) - block);
        at += count;
    }
    return to;
}

// A free-format frame's length without its padding: the distance to the next header of the stream.
std::size_t freeFormatBase(FileBytes& bytes, std::uint64_t at, std::uint64_t end, const FrameHeader& first) {
    const std::uint64_t to = std::min(end, at + kMaxFreeFormatBytes + 1);
    for (std::uint64_t next = nextSync(bytes, at + 4, to); next < to; next = nextSync(bytes, next + 1, to)) {
        const auto header = headerAt(bytes, next);
        if (header && header->sameStream(first) && next - at > first.padding)
            return static_cast<std::size_t>(next - at - first.padding);
    }
    return 0;
}

// Whether a run of frames starts at `at`: the headers that follow confirm the first one, each where
// the frame before it ends. A free-format frame's length is learnt from the second header, which so
// confirms nothing. A run cut short by the end of the audio counts with one confirmation when its
// last frame ends exactly there, with two when that frame is cut off.
bool runStartsAt(FileBytes& bytes, std::uint64_t at, std::uint64_t end) {
    const auto first = headerAt(bytes, at);
    // Free-format layer I is found in no real file, but binary data is full of its header's look
    // (FF FF 0x) at strides of its records.
    if (!first || (first->bitrateKbps == 0 && first->layer == 1)) return false;
    const std::size_t freeBase = first->bitrateKbps == 0 ? freeFormatBase(bytes, at, end, *first) : 0;
    if (first->bitrateKbps == 0 && freeBase == 0) return false;
    const bool mimicked = first->layer == 1 || first->bitrateKbps == 0;
    const int needed = (mimicked ? kLongRunFrames : kRunFrames) - 1;
    int confirmations = first->bitrateKbps == 0 ? -1 : 0;
    for (FrameHeader header = *first; confirmations < needed;) {
        at += header.length != 0 ? header.length : freeBase + header.padding;
        if (at == end) return confirmations >= 1;
        if (at > end || end - at < 4) return confirmations >= 2;
        const auto next = headerAt(bytes, at);
        if (!next || !next->sameStream(*first)) return false;
        header = *next;
        ++confirmations;
    }
    return true;
}

} // namespace

bool FrameHeader::sameStream(const FrameHeader& other) const {
    return version == other.version && layer == other.layer && sampleRate == other.sampleRate &&
           (bitrateKbps == 0) == (other.bitrateKbps == 0);
}

std::optional<FrameHeader> parseFrameHeader(const unsigned char* bytes) {
    if (bytes[0] != 0xff || (bytes[1] & 0xe0) != 0xe0) return std::nullopt;
    const int version = (bytes[1] >> 3) & 3;
    const int layerCode = (bytes[1] >> 1) & 3;
    const int bitrateIndex = bytes[2] >> 4;
    const int rateIndex = (bytes[2] >> 2) & 3;
    const int emphasis = bytes[3] & 3;
    if (version == kVersionReserved || layerCode == 0 || bitrateIndex == 15 || rateIndex == 3 ||
        emphasis == 2)
        return std::nullopt;
    // MPEG-2.5 exists for layer III only.
    if (version == kVersionMpeg25 && layerCode != 1) return std::nullopt;
    FrameHeader h;
    h.version = version;
    h.layer = 4 - layerCode;
    const bool mpeg1 = version == kVersionMpeg1;
    h.sampleRate = kMpeg1Rates[rateIndex] / (mpeg1 ? 1 : version == 2 ? 2 : 4);
    h.bitrateKbps = kBitrates[mpeg1 ? 1 : 0][h.layer - 1][bitrateIndex];
    h.padding = (bytes[2] & 2) ? (h.layer == 1 ? 4 : 1) : 0;
    h.length = frameLength(h);
    return h;
}

std::optional<std::uint64_t> findMpegAudio(int fd, const AudioSpan& span, std::uint64_t begin,
                                           std::uint64_t end, std::uint64_t searchLimit) {
    const std::uint64_t from = std::max(begin, span.begin);
    const std::uint64_t stop = std::min(end, span.end);
    if (from >= stop) return std::nullopt;
    const std::uint64_t to = from + std::min(searchLimit, stop - from);
    FileBytes bytes(fd, from, span.end);
    for (std::uint64_t at = nextSync(bytes, from, to); at < to; at = nextSync(bytes, at + 1, to)) {
        if (runStartsAt(bytes, at, span.end)) return at;
    }
    return std::nullopt;
}

} // namespace audio
