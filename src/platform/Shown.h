#pragma once
// A value the window shows. The player's operations set it; the window (and anyone else who shows it)
// listens for changes. Tests read it directly, without a widget.

#include "platform/Listeners.h"

#include <functional>
#include <utility>
#include <vector>

template <class T> class Shown {
public:
    Shown() = default;
    explicit Shown(T initial) : value_(std::move(initial)) {}
    Shown(const Shown&) = delete;
    Shown& operator=(const Shown&) = delete;

    const T& get() const { return value_; }
    operator const T&() const { return value_; }

    void set(const T& value) {
        if (value == value_) return;
        value_ = value;
        listeners_.notify(value_);
    }
    Shown& operator=(const T& value) {
        set(value);
        return *this;
    }

    // A listener for the value's life.
    void onChange(std::function<void(const T&)> listener) { listeners_.add(std::move(listener)); }
    // A listener for the subscription's life.
    [[nodiscard]] Subscription subscribe(std::function<void(const T&)> listener) {
        return listeners_.subscribe(std::move(listener));
    }

private:
    T value_{};
    Listeners<const T&> listeners_;
};
