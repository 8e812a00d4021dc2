#include "audio/IcyStripper.h"

#include <algorithm>

namespace audio {

IcyStripper::IcyStripper(std::size_t metaInterval) : interval_(metaInterval), audioLeft_(metaInterval) {
    block_.reserve(kMaxBlockBytes);
}

IcyStripper::Parts IcyStripper::feed(std::string_view chunk) {
    Parts parts;
    if (interval_ == 0) {
        parts.audio.assign(chunk);
        return parts;
    }
    parts.audio.reserve(chunk.size());
    while (!chunk.empty()) {
        switch (phase_) {
        case Phase::Audio: {
            std::size_t n = std::min(audioLeft_, chunk.size());
            parts.audio.append(chunk.substr(0, n));
            chunk.remove_prefix(n);
            audioLeft_ -= n;
            if (audioLeft_ == 0) phase_ = Phase::Length;
            break;
        }
        case Phase::Length: {
            blockLeft_ = static_cast<unsigned char>(chunk.front()) * std::size_t{16};
            chunk.remove_prefix(1);
            block_.clear();
            if (blockLeft_ == 0) {
                phase_ = Phase::Audio;
                audioLeft_ = interval_;
            } else {
                phase_ = Phase::Block;
            }
            break;
        }
        case Phase::Block: {
            std::size_t n = std::min(blockLeft_, chunk.size());
            block_.append(chunk.substr(0, n));
            chunk.remove_prefix(n);
            blockLeft_ -= n;
            if (blockLeft_ == 0) {
                if (auto text = icyMetadataText(block_)) parts.metadata.push_back(std::move(*text));
                phase_ = Phase::Audio;
                audioLeft_ = interval_;
            }
            break;
        }
        }
    }
    return parts;
}

std::optional<std::string> icyMetadataText(std::string_view block) {
    block = block.substr(0, std::min(block.find('\0'), block.size()));
    if (block.empty()) return std::nullopt;
    for (unsigned char c : block) {
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7f) return std::nullopt;
    }
    return std::string(block);
}

} // namespace audio
