#pragma once
// Maps the 32-bit handles that callers hold to the objects behind them. Handles are never 0 and are not
// handed out again until the 32-bit counter wraps, so a stale handle kept by a caller cannot reach a
// newer object that happens to live in the same place.

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace audio {

template <typename T> class HandleTable {
public:
    // Returns the new handle, or 0 when every handle is taken.
    std::uint32_t add(std::shared_ptr<T> object) {
        std::lock_guard lock(mutex_);
        if (items_.size() >= kMaxItems) return 0;
        do {
            ++last_;
        } while (last_ == 0 || items_.count(last_) != 0);
        items_.emplace(last_, std::move(object));
        return last_;
    }

    std::shared_ptr<T> find(std::uint32_t handle) const {
        if (handle == 0) return nullptr;
        std::lock_guard lock(mutex_);
        auto it = items_.find(handle);
        return it == items_.end() ? nullptr : it->second;
    }

    // Takes the object out of the table; nullptr when the handle is unknown (already removed, or 0).
    std::shared_ptr<T> remove(std::uint32_t handle) {
        if (handle == 0) return nullptr;
        std::lock_guard lock(mutex_);
        auto it = items_.find(handle);
        if (it == items_.end()) return nullptr;
        auto object = std::move(it->second);
        items_.erase(it);
        return object;
    }

    std::vector<std::pair<std::uint32_t, std::shared_ptr<T>>> removeAll() {
        std::lock_guard lock(mutex_);
        std::vector<std::pair<std::uint32_t, std::shared_ptr<T>>> all(items_.begin(), items_.end());
        items_.clear();
        return all;
    }

    std::vector<std::pair<std::uint32_t, std::shared_ptr<T>>> snapshot() const {
        std::lock_guard lock(mutex_);
        return {items_.begin(), items_.end()};
    }

    std::size_t size() const {
        std::lock_guard lock(mutex_);
        return items_.size();
    }

private:
    // Far below 2^32, so the search for a free handle in add() always ends quickly.
    static constexpr std::size_t kMaxItems = 1u << 20;

    mutable std::mutex mutex_;
    std::uint32_t last_ = 0;
    std::unordered_map<std::uint32_t, std::shared_ptr<T>> items_;
};

} // namespace audio
