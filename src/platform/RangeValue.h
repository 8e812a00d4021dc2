#pragma once
// The position of a track bar: kept inside its range, and a change event only when it really changes.

#include "platform/Listeners.h"

#include <algorithm>
#include <functional>

class RangeValue {
public:
    RangeValue(int min, int max, int position)
        : min_(min), max_(max), position_(std::clamp(position, min, max)) {}
    RangeValue(const RangeValue&) = delete;
    RangeValue& operator=(const RangeValue&) = delete;

    int min() const { return min_; }
    int max() const { return max_; }
    int position() const { return position_; }

    // Clamps to the range; runs the change listeners only when the position changes.
    void setPosition(int value) {
        value = std::clamp(value, min_, max_);
        if (value == position_) return;
        position_ = value;
        listeners_.notify(position_);
    }

    // A listener for the value's life.
    void onChange(std::function<void(int)> listener) { listeners_.add(std::move(listener)); }
    // A listener for the subscription's life.
    [[nodiscard]] Subscription subscribe(std::function<void(int)> listener) {
        return listeners_.subscribe(std::move(listener));
    }

private:
    int min_;
    int max_;
    int position_;
    Listeners<int> listeners_;
};
