#pragma once
// Runs a player's station opens on the test's own thread, so a fake engine is called from that thread
// only: at once, as a station that answers at once; or, while held, when the test releases them, as a
// station that keeps the player waiting.

#include "radio/StreamOpener.h"

#include <deque>
#include <functional>

class TestOpens {
public:
    explicit TestOpens(StreamOpener& opener) {
        opener.setRunner([this](std::function<void()> job) {
            if (held)
                jobs_.push_back(std::move(job));
            else
                job();
        });
    }
    TestOpens(const TestOpens&) = delete;
    TestOpens& operator=(const TestOpens&) = delete;

    bool held = false;
    std::size_t waiting() const { return jobs_.size(); }
    // The held opens reach the engine now, oldest first.
    void release() {
        while (!jobs_.empty()) {
            std::function<void()> job = std::move(jobs_.front());
            jobs_.pop_front();
            job();
        }
    }

private:
    std::deque<std::function<void()>> jobs_;
};
