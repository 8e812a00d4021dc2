#include "audio/ByteQueue.h"

#include <algorithm>

namespace audio {

bool ByteQueue::push(const char* data, std::size_t count) {
    std::unique_lock lock(mutex_);
    while (count > 0) {
        writable_.wait(lock, [this] { return aborted_ || bytes_.size() < capacity_; });
        if (aborted_) return false;
        std::size_t n = std::min(count, capacity_ - bytes_.size());
        bytes_.insert(bytes_.end(), data, data + n);
        data += n;
        count -= n;
        readable_.notify_one();
    }
    return true;
}

ByteQueue::PopStatus ByteQueue::pop(char* out, std::size_t maxBytes, std::size_t& got,
                                    std::chrono::milliseconds timeout) {
    got = 0;
    std::unique_lock lock(mutex_);
    if (!readable_.wait_for(lock, timeout, [this] { return aborted_ || closed_ || !bytes_.empty(); }))
        return PopStatus::Timeout;
    if (aborted_) return PopStatus::Closed;
    if (bytes_.empty()) return PopStatus::Closed;
    got = std::min(maxBytes, bytes_.size());
    std::copy_n(bytes_.begin(), got, out);
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(got));
    writable_.notify_one();
    return PopStatus::Data;
}

void ByteQueue::close(bool failed) {
    std::lock_guard lock(mutex_);
    closed_ = true;
    failed_ = failed;
    readable_.notify_all();
}

void ByteQueue::abort() {
    std::lock_guard lock(mutex_);
    aborted_ = true;
    readable_.notify_all();
    writable_.notify_all();
}

bool ByteQueue::closed() const {
    std::lock_guard lock(mutex_);
    return closed_ || aborted_;
}

bool ByteQueue::failed() const {
    std::lock_guard lock(mutex_);
    return failed_;
}

std::size_t ByteQueue::size() const {
    std::lock_guard lock(mutex_);
    return bytes_.size();
}

} // namespace audio
