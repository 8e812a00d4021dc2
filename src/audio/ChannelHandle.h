#pragma once
// Names one channel of the engine. A default-constructed handle names none. The engine hands out a
// freed channel's number again only after some four billion others, so a stale handle reaches nothing.

#include <cstddef>
#include <cstdint>
#include <functional>

class ChannelHandle {
public:
    constexpr ChannelHandle() = default;
    constexpr explicit ChannelHandle(std::uint32_t value) : value_(value) {}

    constexpr std::uint32_t value() const { return value_; }
    constexpr explicit operator bool() const { return value_ != 0; }
    friend constexpr bool operator==(const ChannelHandle&, const ChannelHandle&) = default;
    // For ordered containers.
    friend constexpr bool operator<(ChannelHandle a, ChannelHandle b) { return a.value_ < b.value_; }

private:
    std::uint32_t value_ = 0;
};

template <> struct std::hash<ChannelHandle> {
    std::size_t operator()(ChannelHandle handle) const noexcept {
        return std::hash<std::uint32_t>{}(handle.value());
    }
};
