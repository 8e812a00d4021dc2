#pragma once
// Reads a byte range [offset, offset + length) of a file for libmpg123. Positions are relative to the
// start of the range and the reader never hands out a byte outside it.
//
// libmpg123 asks for one byte per call while it hunts for the first frame, so reads go through a
// buffer; it also needs a working seek inside the range, or it can lock onto a false frame header.

#include "platform/UniqueFd.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace audio {

class RangeReader {
public:
    // length 0 means "to the end of the file"; a range reaching past the end is cut there.
    // nullptr when the file cannot be opened or the range starts beyond its end.
    static std::unique_ptr<RangeReader> open(const std::string& path, std::uint64_t offset,
                                             std::uint64_t length);
    RangeReader(const RangeReader&) = delete;
    RangeReader& operator=(const RangeReader&) = delete;

    // Bytes read into out (0 at the end of the range), -1 on a read error or once the abort flag is set.
    ssize_t read(void* out, std::size_t count);
    // whence is SEEK_SET, SEEK_CUR or SEEK_END; the new position, or -1 outside [0, size()].
    std::int64_t seek(std::int64_t offset, int whence);

    // Narrows the range to the file positions [begin, end), which must lie inside it; positions
    // count from begin afterwards.
    void narrow(std::uint64_t begin, std::uint64_t end);

    std::uint64_t offset() const { return offset_; }
    std::uint64_t size() const { return size_; }
    std::uint64_t position() const { return position_; }
    std::uint64_t fileSize() const { return fileSize_; }
    int fd() const { return fd_.get(); }

    // While *flag is true every read fails, so a long scan stops at its next read.
    void setAbortFlag(const std::atomic<bool>* flag) { abort_ = flag; }

    // The callbacks for mpg123_replace_reader_handle; the handle is the RangeReader.
    static ssize_t mpg123Read(void* handle, void* out, std::size_t count);
    static off_t mpg123Seek(void* handle, off_t offset, int whence);

private:
    RangeReader(UniqueFd fd, std::uint64_t fileSize, std::uint64_t offset, std::uint64_t size);

    static constexpr std::size_t kBufferSize = 64 * 1024;

    UniqueFd fd_;
    std::uint64_t fileSize_;
    std::uint64_t offset_; // of the range in the file
    std::uint64_t size_;   // of the range
    std::uint64_t position_ = 0;
    // Left uninitialised: only bytes read into it are ever used, and a short excerpt reads little of it.
    std::unique_ptr<unsigned char[]> buffer_;
    std::uint64_t bufferStart_ = 0; // range position of buffer_[0]
    std::size_t bufferFill_ = 0;
    // The first fills are small, as a short excerpt needs only a few frames; longer reads grow them.
    std::size_t fillSize_ = 16 * 1024;
    const std::atomic<bool>* abort_ = nullptr;
};

} // namespace audio
