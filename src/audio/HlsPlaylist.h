#pragma once
// The part of HLS our code does itself: a master playlist names several variants of one station,
// and the player takes one of them before libavformat plays it. Media playlists go to libavformat as
// they are.

#include <optional>
#include <string>
#include <string_view>

namespace audio {

// The highest rate of a variant the player takes, in bit/s: more is no better for a radio.
inline constexpr long kMaxVariantBitrate = 320000;

// True when the playlist lists variants (#EXT-X-STREAM-INF) rather than media segments.
bool isMasterPlaylist(std::string_view playlist);

// The URI (as written) of the variant with the highest bitrate not above kMaxVariantBitrate, or of
// the lowest when all are above it; nothing when the playlist names no variant. The bitrate is
// AVERAGE-BANDWIDTH where given, else BANDWIDTH.
std::optional<std::string> chooseVariant(std::string_view playlist);

// reference read against the absolute http(s) URL base, as a browser would.
std::string resolveUrl(std::string_view base, std::string_view reference);

} // namespace audio
