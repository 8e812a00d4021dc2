#pragma once
// A lock-free ring of float samples between exactly one producer (a decoding thread) and one consumer
// (the audio callback). Nothing here blocks or allocates after construction.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace audio {

class PcmRing {
public:
    // The capacity is rounded up to a power of two.
    explicit PcmRing(std::size_t minCapacity);

    std::size_t capacity() const { return data_.size(); }

    // Producer side.
    std::size_t writable() const;
    // The contiguous free space at the write position (may be shorter than writable()).
    std::span<float> writeRegion();
    void commit(std::size_t count);
    std::size_t write(const float* samples, std::size_t count);

    // Consumer side.
    std::size_t readable() const;
    // The readable samples as at most two contiguous pieces, limited to count.
    struct Pieces {
        std::span<const float> first, second;
    };
    Pieces readRegions(std::size_t count) const;
    void consume(std::size_t count);
    std::size_t read(float* out, std::size_t count);

    // Drops everything. Only while neither side runs (both are excluded by their owners' locks).
    void clear();

private:
    std::vector<float> data_;
    std::size_t mask_;
    alignas(64) std::atomic<std::uint64_t> writePos_{0};
    alignas(64) std::atomic<std::uint64_t> readPos_{0};
};

} // namespace audio
