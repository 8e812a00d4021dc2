#pragma once
// A value the window shows. The player's operations set it; the window (and anyone else who shows it)
// listens for changes. Tests read it directly, without a widget.

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
        for (const auto& listener : listeners_)
            listener(value_);
    }
    Shown& operator=(const T& value) {
        set(value);
        return *this;
    }

    void onChange(std::function<void(const T&)> listener) { listeners_.push_back(std::move(listener)); }

private:
    T value_{};
    std::vector<std::function<void(const T&)>> listeners_;
};
