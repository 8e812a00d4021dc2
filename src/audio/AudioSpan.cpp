#include "audio/AudioSpan.h"

#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace audio {

namespace {

constexpr std::uint64_t kId3v2HeaderBytes = 10;
constexpr std::uint64_t kId3v1Bytes = 128;
constexpr std::uint64_t kApeFooterBytes = 32;
constexpr std::uint32_t kApeHasHeader = 0x80000000u;

bool readAt(int fd, std::uint64_t at, unsigned char* out, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd, out + done, count - done, static_cast<off_t>(at + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

std::uint32_t littleEndian32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The bytes of the ID3v2 tag that starts at `at` and ends by `limit`; 0 when there is none.
std::uint64_t id3v2Bytes(int fd, std::uint64_t at, std::uint64_t limit) {
    unsigned char header[kId3v2HeaderBytes];
    if (limit - at < kId3v2HeaderBytes || !readAt(fd, at, header, sizeof header)) return 0;
    if (std::memcmp(header, "ID3", 3) != 0 || header[3] == 0xff || header[4] == 0xff) return 0;
    std::uint64_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (header[i] & 0x80) return 0; // not a syncsafe size
        size = size << 7 | header[i];
    }
    const bool hasFooter = (header[5] & 0x10) != 0;
    const std::uint64_t total = kId3v2HeaderBytes + size + (hasFooter ? kId3v2HeaderBytes : 0);
    return total <= limit - at ? total : 0;
}

// The bytes of the ID3v1 tag that ends at `end`; 0 when there is none.
std::uint64_t id3v1Bytes(int fd, std::uint64_t begin, std::uint64_t end) {
    unsigned char magic[3];
    if (end - begin < kId3v1Bytes || !readAt(fd, end - kId3v1Bytes, magic, sizeof magic)) return 0;
    return std::memcmp(magic, "TAG", 3) == 0 ? kId3v1Bytes : 0;
}

// The bytes of the APE tag whose footer ends at `end`, its header included; 0 when there is none.
std::uint64_t apeBytes(int fd, std::uint64_t begin, std::uint64_t end) {
    unsigned char footer[kApeFooterBytes];
    if (end - begin < kApeFooterBytes || !readAt(fd, end - kApeFooterBytes, footer, sizeof footer)) return 0;
    if (std::memcmp(footer, "APETAGEX", 8) != 0) return 0;
    // The size counts the items and the footer, not the header.
    const std::uint64_t size = littleEndian32(footer + 12);
    const bool hasHeader = (littleEndian32(footer + 20) & kApeHasHeader) != 0;
    const std::uint64_t total = size + (hasHeader ? kApeFooterBytes : 0);
    return size >= kApeFooterBytes && total <= end - begin ? total : 0;
}

} // namespace

AudioSpan findAudioSpan(int fd, std::uint64_t fileSize) {
    AudioSpan span{0, fileSize, fileSize};
    // Some taggers stack a second tag behind the first.
    while (std::uint64_t tag = id3v2Bytes(fd, span.begin, span.end))
        span.begin += tag;
    span.end -= id3v1Bytes(fd, span.begin, span.end);
    span.end -= apeBytes(fd, span.begin, span.end);
    return span;
}

std::optional<AudioSpan> findAudioSpan(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return findAudioSpan(fd.get(), static_cast<std::uint64_t>(st.st_size));
}

} // namespace audio
