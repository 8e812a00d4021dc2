#pragma once
// Separates the metadata blocks of an ICY stream from its audio bytes, so the decoder only ever sees
// audio. After every `metaInterval` audio bytes the server sends one length byte L and then 16 * L
// bytes of metadata text (L = 0: no metadata this time). Blocks may be split across network reads
// at any byte; the text is untrusted and never read beyond its block.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace audio {

class IcyStripper {
public:
    static constexpr std::size_t kMaxBlockBytes = 255 * 16;

    // metaInterval 0: the stream carries no metadata and every byte is audio.
    explicit IcyStripper(std::size_t metaInterval);

    struct Parts {
        std::string audio;
        std::vector<std::string> metadata; // the accepted texts of the blocks completed in this chunk
    };
    Parts feed(std::string_view chunk);

private:
    enum class Phase { Audio, Length, Block };
    std::size_t interval_;
    Phase phase_ = Phase::Audio;
    std::size_t audioLeft_;
    std::size_t blockLeft_ = 0;
    std::string block_;
};

// The text of a metadata block: up to its first NUL (the padding). nullopt for an empty text and for
// one that holds control characters other than tab, CR and LF, which is binary garbage rather than
// "StreamTitle='…';" text.
std::optional<std::string> icyMetadataText(std::string_view block);

} // namespace audio
