#include "audio/RangeReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace audio {

std::unique_ptr<RangeReader> RangeReader::open(const std::string& path, std::uint64_t offset,
                                               std::uint64_t length) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return nullptr;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    auto fileSize = static_cast<std::uint64_t>(st.st_size);
    if (offset >= fileSize) return nullptr;
    std::uint64_t available = fileSize - offset;
    std::uint64_t size = length == 0 ? available : std::min(length, available);
    return std::unique_ptr<RangeReader>(new RangeReader(std::move(fd), fileSize, offset, size));
}

RangeReader::RangeReader(UniqueFd fd, std::uint64_t fileSize, std::uint64_t offset, std::uint64_t size)
    : fd_(std::move(fd)), fileSize_(fileSize), offset_(offset), size_(size),
      buffer_(new unsigned char[kBufferSize]) {}

void RangeReader::narrow(std::uint64_t begin, std::uint64_t end) {
    if (begin < offset_ || end < begin || end > offset_ + size_) return;
    offset_ = begin;
    size_ = end - begin;
    position_ = 0;
    bufferFill_ = 0;
}

ssize_t RangeReader::read(void* out, std::size_t count) {
    if (abort_ && abort_->load(std::memory_order_relaxed)) return -1;
    auto* dest = static_cast<unsigned char*>(out);
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - position_));
    std::size_t done = 0;
    while (done < count) {
        if (position_ >= bufferStart_ && position_ < bufferStart_ + bufferFill_) {
            auto at = static_cast<std::size_t>(position_ - bufferStart_);
            std::size_t n = std::min(count - done, bufferFill_ - at);
            std::memcpy(dest + done, buffer_.get() + at, n);
            done += n;
            position_ += n;
            continue;
        }
        std::size_t wanted = count - done;
        bool direct = wanted >= kBufferSize;
        unsigned char* target = direct ? dest + done : buffer_.get();
        std::size_t span =
            direct ? wanted : static_cast<std::size_t>(std::min<std::uint64_t>(fillSize_, size_ - position_));
        ssize_t got = ::pread(fd_.get(), target, span, static_cast<off_t>(offset_ + position_));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return done > 0 ? static_cast<ssize_t>(done) : -1;
        if (got == 0) break; // the file shrank under us
        if (direct) {
            done += static_cast<std::size_t>(got);
            position_ += static_cast<std::uint64_t>(got);
        } else {
            bufferStart_ = position_;
            bufferFill_ = static_cast<std::size_t>(got);
            fillSize_ = std::min(fillSize_ * 2, kBufferSize);
        }
    }
    return static_cast<ssize_t>(done);
}

std::int64_t RangeReader::seek(std::int64_t offset, int whence) {
    std::int64_t base = 0;
    switch (whence) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = static_cast<std::int64_t>(position_);
        break;
    case SEEK_END:
        base = static_cast<std::int64_t>(size_);
        break;
    default:
        return -1;
    }
    std::int64_t target = base + offset;
    if (target < 0 || target > static_cast<std::int64_t>(size_)) return -1;
    position_ = static_cast<std::uint64_t>(target);
    return target;
}

ssize_t RangeReader::mpg123Read(void* handle, void* out, std::size_t count) {
    return static_cast<RangeReader*>(handle)->read(out, count);
}

off_t RangeReader::mpg123Seek(void* handle, off_t offset, int whence) {
    return static_cast<off_t>(static_cast<RangeReader*>(handle)->seek(offset, whence));
}

} // namespace audio
