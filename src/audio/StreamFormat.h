#pragma once
// Tells what a network stream carries from its first bytes, with the response's Content-Type as a
// hint only: stations mislabel their streams (AAC sent as audio/mpeg, MP3 as audio/aacp), and a
// URL's ending says even less.

#include <cstddef>
#include <string>
#include <string_view>

namespace audio {

enum class StreamFormat {
    Undecided,   // more bytes are needed
    Mpeg,        // MPEG audio: libmpg123
    Adts,        // AAC in ADTS frames
    Ogg,         // Vorbis, Opus or FLAC in Ogg
    HlsPlaylist, // an #EXTM3U playlist of an HLS stream
    Probe,       // nothing recognised, but the type names a format FFmpeg may know
    Unsupported,
};

struct StreamSniff {
    StreamFormat format = StreamFormat::Undecided;
    // Where the audio starts; the bytes before it may be dropped.
    std::size_t start = 0;
};

// How many bytes the sniffing looks at, at most, before it decides by the Content-Type alone.
inline constexpr std::size_t kSniffBytes = 4096;

// head: the first bytes of the body (ICY blocks removed); complete: no more bytes will come.
StreamSniff sniffStreamFormat(std::string_view head, std::string_view contentType, bool complete);

// The Content-Type as the user should read it in a refusal: lower case, no parameters, or
// "unbekannt" when the server sent none.
std::string contentTypeForUser(std::string_view contentType);

} // namespace audio
