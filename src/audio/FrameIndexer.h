#pragma once
// Builds the frame index and the exact length of a file range on a thread of its own, so that a file
// stream opens at once and a seek far ahead still takes milliseconds once the index is there.

#include "audio/FileDecoder.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace audio {

class FrameIndexer {
public:
    FrameIndexer(std::string path, std::uint64_t offset, std::uint64_t length);
    ~FrameIndexer();
    // Stops a running scan at its next read and waits for the thread (which closes its file).
    void stop();
    FrameIndexer(const FrameIndexer&) = delete;
    FrameIndexer& operator=(const FrameIndexer&) = delete;

    // The index, or nullptr while the scan runs or when it failed.
    std::shared_ptr<const FrameIndex> result() const;
    // True once the scan has finished (successfully or not).
    bool waitFor(std::chrono::milliseconds timeout) const;

private:
    void run(std::string path, std::uint64_t offset, std::uint64_t length);

    std::atomic<bool> abort_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable finishedCv_;
    bool finished_ = false;
    std::shared_ptr<const FrameIndex> result_;
    std::once_flag stopOnce_;
    std::thread thread_;
};

} // namespace audio
