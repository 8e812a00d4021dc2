// The stream sniffing and the HLS master playlist handling: any bytes and any type give an answer
// inside the bytes, and a chosen variant is one of the playlist's lines.
#include "audio/HlsPlaylist.h"
#include "audio/StreamFormat.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // The first byte splits the input into a Content-Type and the stream's head.
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t typeLength = std::min<std::size_t>(data[0] % 32, input.size());
    const std::string_view type = input.substr(0, typeLength), head = input.substr(typeLength);
    for (bool complete : {false, true}) {
        const audio::StreamSniff sniff = audio::sniffStreamFormat(head, type, complete);
        if (sniff.start > head.size()) std::abort();
    }
    audio::contentTypeForUser(type);
    audio::isMasterPlaylist(head);
    if (auto variant = audio::chooseVariant(head)) {
        if (variant->empty() || head.find(*variant) == std::string_view::npos) std::abort();
        audio::resolveUrl(type, *variant);
    }
    return 0;
}
