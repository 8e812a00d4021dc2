#include "audio/StreamFormat.h"

#include "audio/HttpHeaders.h"
#include "audio/MpegFrames.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

namespace audio {

namespace {

constexpr std::size_t kAdtsHeaderBytes = 7;
constexpr std::size_t kMpegHeaderBytes = 4;

const unsigned char* bytesAt(std::string_view head, std::size_t at) {
    return reinterpret_cast<const unsigned char*>(head.data()) + at;
}

// The length of an ADTS frame whose header starts at `at`, or nothing when none starts there.
std::optional<std::size_t> adtsFrameLength(std::string_view head, std::size_t at) {
    if (head.size() < at + kAdtsHeaderBytes) return std::nullopt;
    const unsigned char* b = bytesAt(head, at);
    // Sync word, then layer 00 (the MPEG audio layers are 01..11).
    if (b[0] != 0xFF || (b[1] & 0xF6) != 0xF0) return std::nullopt;
    const int rateIndex = (b[2] >> 2) & 0x0F;
    const std::size_t length =
        (static_cast<std::size_t>(b[3] & 0x03) << 11) | (static_cast<std::size_t>(b[4]) << 3) | (b[5] >> 5);
    if (rateIndex > 12 || length < 7) return std::nullopt;
    return length;
}

std::optional<std::size_t> mpegFrameLength(std::string_view head, std::size_t at) {
    if (head.size() < at + kMpegHeaderBytes) return std::nullopt;
    auto header = parseFrameHeader(bytesAt(head, at));
    if (!header || header->length == 0) return std::nullopt;
    return header->length;
}

// Whether the bytes from `at` on, as far as the head goes, may begin an ADTS or MPEG audio header:
// both start with eleven set bits.
bool maySync(std::string_view head, std::size_t at) {
    if (at < head.size() && static_cast<unsigned char>(head[at]) != 0xFF) return false;
    return at + 1 >= head.size() || (static_cast<unsigned char>(head[at + 1]) & 0xE0) == 0xE0;
}

// A frame at `at` whose successor header sits where it ends: one sync word alone is too weak, any
// data holds some. Nothing while the head ends before that can be told.
template <typename FrameLength>
std::optional<bool> frameRunAt(std::string_view head, std::size_t at, std::size_t headerBytes,
                               FrameLength frameLength) {
    if (head.size() < at + headerBytes) return maySync(head, at) ? std::nullopt : std::optional<bool>(false);
    const auto length = frameLength(head, at);
    if (!length) return false;
    const std::size_t next = at + *length;
    if (head.size() < next + headerBytes) return maySync(head, next) ? std::nullopt : std::optional<bool>(false);
    return frameLength(head, next).has_value();
}

// Where the audio after an ID3v2 tag at the start begins (0 without one); nothing while the tag is
// not complete in head.
std::optional<std::size_t> afterId3(std::string_view head) {
    constexpr std::string_view tag = "ID3";
    if (head.size() < 10)
        return tag.starts_with(head.substr(0, 3)) ? std::nullopt : std::optional<std::size_t>(0);
    if (!head.starts_with(tag)) return 0;
    const unsigned char* b = bytesAt(head, 0);
    std::size_t size = 0;
    for (int i = 6; i < 10; ++i)
        size = (size << 7) | (b[i] & 0x7F);
    const std::size_t end = 10 + size + ((b[5] & 0x10) ? 10 : 0);
    if (end > head.size()) return std::nullopt;
    return end;
}

std::string_view withoutBomAndSpace(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    return text;
}

std::string mediaType(std::string_view contentType) {
    std::string type(contentType.substr(0, std::min(contentType.find(';'), contentType.size())));
    std::erase_if(type, [](unsigned char c) { return std::isspace(c); });
    std::ranges::transform(type, type.begin(), [](unsigned char c) { return std::tolower(c); });
    return type;
}

// Types of formats FFmpeg may read although the first bytes showed no frame we know.
bool isOtherAudioType(std::string_view contentType) {
    static constexpr std::array<std::string_view, 11> types = {
        "audio/aac",  "audio/aacp", "audio/x-aac",  "audio/mp4",  "audio/ogg",   "application/ogg",
        "audio/opus", "audio/flac", "audio/x-flac", "video/mp2t", "audio/vorbis"};
    const std::string type = mediaType(contentType);
    return std::ranges::find(types, type) != types.end();
}

} // namespace

StreamSniff sniffStreamFormat(std::string_view head, std::string_view contentType, bool complete) {
    const std::string type = mediaType(contentType);
    // A web page is never a station, whatever bytes it holds.
    if (type.starts_with("text/html")) return {StreamFormat::Unsupported};
    constexpr std::string_view playlistTag = "#EXTM3U";
    const std::string_view text = withoutBomAndSpace(head);
    if (text.starts_with(playlistTag)) return {StreamFormat::HlsPlaylist};
    const bool mayStillBePlaylist = playlistTag.starts_with(text) && text.size() == head.size();
    const bool more = !complete && head.size() < kSniffBytes;
    if (more && mayStillBePlaylist) return {};

    const std::optional<std::size_t> audioStart = afterId3(head);
    if (!audioStart && more) return {};
    const std::size_t from = audioStart.value_or(head.size());
    // The first place that starts a run of frames decides, and it is taken as soon as the bytes show it:
    // a station whose first bytes come slowly starts once two frames are in. Where the bytes so far
    // cannot tell yet, what follows may still make this place the start, so a later one must wait.
    for (std::size_t at = from; at < head.size(); ++at) {
        if (head.compare(at, 4, "OggS") == 0) return {StreamFormat::Ogg, at};
        const std::optional<bool> adtsRun = frameRunAt(head, at, kAdtsHeaderBytes, adtsFrameLength);
        if (adtsRun == true) return {StreamFormat::Adts, at};
        if (more && !adtsRun) return {};
        const std::optional<bool> mpegRun = frameRunAt(head, at, kMpegHeaderBytes, mpegFrameLength);
        if (mpegRun == true) return {StreamFormat::Mpeg, 0};
        if (more && !mpegRun) return {};
    }
    if (more) return {};
    // Nothing recognised: the type decides. MPEG types (or none) go to libmpg123 as they always did.
    if (isMpegAudioType(contentType)) return {StreamFormat::Mpeg, 0};
    if (isOtherAudioType(contentType)) return {StreamFormat::Probe, 0};
    return {StreamFormat::Unsupported};
}

std::string contentTypeForUser(std::string_view contentType) {
    std::string type = mediaType(contentType);
    return type.empty() ? std::string("unbekannt") : type;
}

} // namespace audio
