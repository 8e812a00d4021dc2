#include "support/BareLoudness.h"

#include "playback/LoudnessMeter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bare {

namespace {

constexpr std::uint64_t excerptBytes = 100000;
constexpr std::size_t excerptSamples = 50000 / sizeof(float);
// Enough for the dozen frames an excerpt decodes at any bitrate; libmpg123 reads a byte at a time
// while it hunts for the first frame, so this buffer is what keeps that cheap.
constexpr std::size_t readBuffer = 16 * 1024;

// Decoder settings as the player's engine has them: float output of every rate, gapless, no limit
// on the search for the first frame, ID3v2 tags skipped, quiet.
void configure(mpg123_handle* mh, int channels) {
    mpg123_param(mh, MPG123_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_SKIP_ID3V2, 0);
    mpg123_param(mh, MPG123_RESYNC_LIMIT, -1, 0);
    mpg123_format_none(mh);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(mh, rates[i], channels, MPG123_ENC_FLOAT_32);
}

mpg123_handle* newHandle(int channels) {
    static const int initialised = mpg123_init();
    (void)initialised;
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    if (mh) configure(mh, channels);
    return mh;
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

// Opens a regular file for reading; its size, or -1.
long long openRegular(const std::string& path, Fd& file) {
    file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<long long>(st.st_size);
}

} // namespace

struct ExcerptDecoder::Range {
    int fd = -1;
    std::uint64_t start = 0;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
    std::vector<unsigned char> buffer = std::vector<unsigned char>(readBuffer);
    std::uint64_t bufferStart = 0;
    std::size_t bufferFill = 0;

    void reset(int file, std::uint64_t offset, std::uint64_t length) {
        fd = file;
        start = offset;
        size = length;
        position = 0;
        bufferStart = 0;
        bufferFill = 0;
    }

    static ssize_t read(void* handle, void* out, std::size_t count) {
        auto* r = static_cast<Range*>(handle);
        auto* dest = static_cast<unsigned char*>(out);
        count = static_cast<std::size_t>(std::min<std::uint64_t>(count, r->size - r->position));
        std::size_t done = 0;
        while (done < count) {
            if (r->position >= r->bufferStart && r->position < r->bufferStart + r->bufferFill) {
                const auto at = static_cast<std::size_t>(r->position - r->bufferStart);
                const std::size_t n = std::min(count - done, r->bufferFill - at);
                std::memcpy(dest + done, r->buffer.data() + at, n);
                done += n;
                r->position += n;
                continue;
            }
            const auto span =
                static_cast<std::size_t>(std::min<std::uint64_t>(r->buffer.size(), r->size - r->position));
            const ssize_t got =
                ::pread(r->fd, r->buffer.data(), span, static_cast<off_t>(r->start + r->position));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            r->bufferStart = r->position;
            r->bufferFill = static_cast<std::size_t>(got);
        }
        return static_cast<ssize_t>(done);
    }

    static off_t seek(void* handle, off_t offset, int whence) {
        auto* r = static_cast<Range*>(handle);
        const auto size = static_cast<off_t>(r->size);
        off_t target = offset;
        if (whence == SEEK_CUR)
            target += static_cast<off_t>(r->position);
        else if (whence == SEEK_END)
            target += size;
        else if (whence != SEEK_SET)
            return -1;
        if (target < 0 || target > size) return -1;
        r->position = static_cast<std::uint64_t>(target);
        return target;
    }
};

ExcerptDecoder::ExcerptDecoder() : handle_(newHandle(MPG123_MONO)), range_(std::make_unique<Range>()) {
    if (handle_) mpg123_replace_reader_handle(handle_, &Range::read, &Range::seek, nullptr);
}

ExcerptDecoder::~ExcerptDecoder() {
    if (handle_) mpg123_delete(handle_);
}

std::size_t ExcerptDecoder::decode(int fd, std::uint64_t fileSize, std::uint64_t offset, std::uint64_t length,
                                   float* out, std::size_t maxSamples) {
    if (!handle_ || offset >= fileSize) return 0;
    range_->reset(fd, offset, std::min(length, fileSize - offset));
    if (mpg123_open_handle(handle_, range_.get()) != MPG123_OK) return 0;
    std::size_t done = 0;
    int emptyReads = 0;
    while (done < maxSamples && emptyReads < 64) {
        std::size_t bytes = 0;
        const int result = mpg123_read(handle_, out + done, (maxSamples - done) * sizeof(float), &bytes);
        done += bytes / sizeof(float);
        if (result == MPG123_NEW_FORMAT) continue;
        if (result != MPG123_OK) break;
        if (bytes == 0) ++emptyReads;
    }
    mpg123_close(handle_);
    return done;
}

std::vector<std::vector<float>> excerpts(ExcerptDecoder& decoder, const std::string& path) {
    Fd file;
    const long long size = openRegular(path, file);
    if (size < 0) return {};
    const auto step = static_cast<std::uint64_t>(size) / 5;
    std::vector<std::vector<float>> result;
    for (std::uint64_t k = 1; k <= 4; ++k) {
        std::vector<float> samples(excerptSamples);
        samples.resize(decoder.decode(file.fd, static_cast<std::uint64_t>(size), k * step, excerptBytes,
                                      samples.data(), excerptSamples));
        result.push_back(std::move(samples));
    }
    return result;
}

int measure(ExcerptDecoder& decoder, const std::string& path, std::vector<float>& samples) {
    Fd file;
    const long long size = openRegular(path, file);
    if (size < 0) return -1;
    samples.resize(excerptSamples);
    const auto step = static_cast<std::uint64_t>(size) / 5;
    std::int64_t total = 0;
    for (std::uint64_t k = 1; k <= 4; ++k) {
        const std::size_t got = decoder.decode(file.fd, static_cast<std::uint64_t>(size), k * step,
                                               excerptBytes, samples.data(), excerptSamples);
        total += excerptLoudness(samples.data(), got);
    }
    return static_cast<int>(total / 4);
}

Decoded decodeWhole(const std::string& path) {
    Decoded decoded;
    mpg123_handle* mh = newHandle(MPG123_MONO | MPG123_STEREO);
    if (!mh) return decoded;
    int encoding = 0;
    if (mpg123_open(mh, path.c_str()) == MPG123_OK &&
        mpg123_getformat(mh, &decoded.rate, &decoded.channels, &encoding) == MPG123_OK) {
        std::vector<float> chunk(16384);
        for (;;) {
            std::size_t bytes = 0;
            const int result = mpg123_read(mh, chunk.data(), chunk.size() * sizeof(float), &bytes);
            decoded.samples.insert(decoded.samples.end(), chunk.begin(),
                                   chunk.begin() + static_cast<std::ptrdiff_t>(bytes / sizeof(float)));
            if (result != MPG123_OK) break;
        }
    }
    mpg123_delete(mh);
    return decoded;
}

} // namespace bare
