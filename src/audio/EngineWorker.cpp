#include "audio/EngineWorker.h"

namespace audio {

EngineWorker::EngineWorker(std::function<void()> housekeeping, std::chrono::milliseconds period)
    : housekeeping_(std::move(housekeeping)), period_(period), thread_([this] { run(); }) {}

EngineWorker::~EngineWorker() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wakeup_.notify();
    thread_.join();
}

void EngineWorker::post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        if (quit_) return;
        tasks_.push_back(std::move(task));
    }
    wakeup_.notify();
}

void EngineWorker::run() {
    for (;;) {
        wakeup_.waitFor(period_);
        std::deque<std::function<void()>> batch;
        bool quit = false;
        {
            std::lock_guard lock(mutex_);
            batch.swap(tasks_);
            quit = quit_;
        }
        for (auto& task : batch)
            task();
        batch.clear(); // drop what the tasks captured before the next wait
        if (quit) return;
        if (housekeeping_) housekeeping_();
    }
}

} // namespace audio
