#pragma once
// The engine's own thread: runs the metadata syncs (so user callbacks never run on a network or
// decoding thread, nor on the audio callback) and the periodic housekeeping that frees streams which
// ended with the auto-free flag.

#include "audio/Wakeup.h"

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace audio {

class EngineWorker {
public:
    EngineWorker(std::function<void()> housekeeping, std::chrono::milliseconds period);
    // Runs the tasks already posted, then stops.
    ~EngineWorker();
    EngineWorker(const EngineWorker&) = delete;
    EngineWorker& operator=(const EngineWorker&) = delete;

    void post(std::function<void()> task);
    // Raise it (from any thread, the audio callback too) to run the housekeeping now.
    Wakeup& wakeup() { return wakeup_; }

private:
    void run();

    std::function<void()> housekeeping_;
    std::chrono::milliseconds period_;
    Wakeup wakeup_;
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
    bool quit_ = false;
    std::thread thread_;
};

} // namespace audio
