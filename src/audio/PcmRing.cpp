#include "audio/PcmRing.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace audio {

PcmRing::PcmRing(std::size_t minCapacity)
    : data_(std::bit_ceil(std::max<std::size_t>(minCapacity, 2))), mask_(data_.size() - 1) {}

std::size_t PcmRing::writable() const {
    auto w = writePos_.load(std::memory_order_relaxed);
    auto r = readPos_.load(std::memory_order_acquire);
    return data_.size() - static_cast<std::size_t>(w - r);
}

std::span<float> PcmRing::writeRegion() {
    auto w = writePos_.load(std::memory_order_relaxed);
    std::size_t start = static_cast<std::size_t>(w) & mask_;
    std::size_t contiguous = std::min(writable(), data_.size() - start);
    return {data_.data() + start, contiguous};
}

void PcmRing::commit(std::size_t count) {
    writePos_.store(writePos_.load(std::memory_order_relaxed) + count, std::memory_order_release);
}

std::size_t PcmRing::write(const float* samples, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        auto region = writeRegion();
        if (region.empty()) break;
        std::size_t n = std::min(region.size(), count - done);
        std::memcpy(region.data(), samples + done, n * sizeof(float));
        commit(n);
        done += n;
    }
    return done;
}

std::size_t PcmRing::readable() const {
    auto w = writePos_.load(std::memory_order_acquire);
    auto r = readPos_.load(std::memory_order_relaxed);
    return static_cast<std::size_t>(w - r);
}

PcmRing::Pieces PcmRing::readRegions(std::size_t count) const {
    count = std::min(count, readable());
    std::size_t start = static_cast<std::size_t>(readPos_.load(std::memory_order_relaxed)) & mask_;
    std::size_t first = std::min(count, data_.size() - start);
    return {{data_.data() + start, first}, {data_.data(), count - first}};
}

void PcmRing::consume(std::size_t count) {
    readPos_.store(readPos_.load(std::memory_order_relaxed) + count, std::memory_order_release);
}

std::size_t PcmRing::read(float* out, std::size_t count) {
    auto pieces = readRegions(count);
    std::memcpy(out, pieces.first.data(), pieces.first.size() * sizeof(float));
    if (!pieces.second.empty())
        std::memcpy(out + pieces.first.size(), pieces.second.data(), pieces.second.size() * sizeof(float));
    std::size_t n = pieces.first.size() + pieces.second.size();
    consume(n);
    return n;
}

void PcmRing::clear() {
    readPos_.store(writePos_.load(std::memory_order_acquire), std::memory_order_release);
}

} // namespace audio
