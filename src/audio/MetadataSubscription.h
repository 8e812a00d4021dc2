#pragma once
// Keeps a metadata handler registered with the engine while it lives. Destroying or resetting it
// removes the handler and waits for a call of it in progress on the engine's thread, so whatever
// the handler reaches may go right after.

#include <functional>
#include <utility>

class MetadataSubscription {
public:
    MetadataSubscription() = default;
    explicit MetadataSubscription(std::function<void()> remove) : remove_(std::move(remove)) {}
    ~MetadataSubscription() { reset(); }
    MetadataSubscription(MetadataSubscription&& other) noexcept : remove_(std::exchange(other.remove_, {})) {}
    MetadataSubscription& operator=(MetadataSubscription&& other) noexcept {
        if (this != &other) {
            reset();
            remove_ = std::exchange(other.remove_, {});
        }
        return *this;
    }
    MetadataSubscription(const MetadataSubscription&) = delete;
    MetadataSubscription& operator=(const MetadataSubscription&) = delete;

    // False when the engine refused the registration (unknown, stopped or freed channel).
    explicit operator bool() const { return static_cast<bool>(remove_); }
    void reset() {
        if (auto remove = std::exchange(remove_, {})) remove();
    }

private:
    std::function<void()> remove_;
};
