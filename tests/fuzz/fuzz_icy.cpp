// The ICY metadata stripper: any stream, cut at any places, gives audio and bounded metadata texts.
#include "audio/IcyStripper.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first byte chooses the interval, the second the size of the pieces the stream arrives in.
    const std::size_t interval = data[0] % 64;
    const std::size_t piece = 1 + data[1] % 32;
    const std::string_view stream(reinterpret_cast<const char*>(data) + 2, size - 2);
    audio::IcyStripper stripper(interval);
    std::size_t audio = 0;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        const auto parts = stripper.feed(stream.substr(at, piece));
        audio += parts.audio.size();
        for (const std::string& text : parts.metadata) {
            if (text.size() > audio::IcyStripper::kMaxBlockBytes) std::abort();
            audio::icyMetadataText(text);
        }
    }
    if (audio > stream.size()) std::abort();
    return 0;
}
