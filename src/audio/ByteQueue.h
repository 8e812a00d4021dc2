#pragma once
// A bounded byte FIFO between the network thread and the decoding thread of a URL stream. The writer
// blocks while it is full (which in turn holds back the network read), the reader waits with a
// time-out. close() ends the stream after the bytes already queued; abort() wakes both sides at once.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

namespace audio {

class ByteQueue {
public:
    explicit ByteQueue(std::size_t capacity) : capacity_(capacity) {}

    // Appends all bytes, waiting for room; false once the queue is aborted.
    bool push(const char* data, std::size_t count);

    enum class PopStatus { Data, Timeout, Closed };
    // Takes up to maxBytes into out; Closed when the writer has closed and nothing is left, or aborted.
    PopStatus pop(char* out, std::size_t maxBytes, std::size_t& got, std::chrono::milliseconds timeout);

    // The writer is done; failed tells the reader whether the stream ended in an error.
    void close(bool failed);
    void abort();

    bool closed() const;
    bool failed() const;
    std::size_t size() const;

private:
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable readable_, writable_;
    std::deque<char> bytes_;
    bool closed_ = false;
    bool failed_ = false;
    bool aborted_ = false;
};

} // namespace audio
