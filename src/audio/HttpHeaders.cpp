#include "audio/HttpHeaders.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace audio {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return out;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && lower(s.substr(0, prefix.size())) == prefix;
}

template <typename T> bool parseNumber(std::string_view s, T& out) {
    auto result = std::from_chars(s.data(), s.data() + s.size(), out);
    return result.ec == std::errc() && result.ptr == s.data() + s.size();
}

// The largest interval a real server uses is a few tens of kilobytes; anything far beyond would let a
// hostile head make us treat a whole stream as audio-then-garbage, so it counts as "no metadata".
constexpr std::size_t kMaxMetaInterval = 1 << 20;

} // namespace

void HttpHeaders::addLine(std::string_view line) {
    line = trim(line);
    if (startsWithNoCase(line, "http/") || startsWithNoCase(line, "icy ")) {
        *this = HttpHeaders();
        auto space = line.find(' ');
        std::string_view rest = trim(line.substr(space + 1));
        int status = 0;
        if (parseNumber(rest.substr(0, std::min(rest.find(' '), rest.size())), status)) status_ = status;
        return;
    }
    auto colon = line.find(':');
    if (colon == std::string_view::npos) return;
    std::string name = lower(trim(line.substr(0, colon)));
    std::string_view value = trim(line.substr(colon + 1));
    if (name == "content-type") {
        contentType_ = lower(trim(value.substr(0, std::min(value.find(';'), value.size()))));
    } else if (name == "icy-metaint") {
        std::size_t interval = 0;
        metaInterval_ = parseNumber(value, interval) && interval <= kMaxMetaInterval ? interval : 0;
    } else if (name == "content-length") {
        std::int64_t length = -1;
        contentLength_ = parseNumber(value, length) && length >= 0 ? length : -1;
    }
}

bool isMpegAudioType(std::string_view contentType) {
    static constexpr std::array<std::string_view, 12> accepted = {"",
                                                                  "audio/mpeg",
                                                                  "audio/mp3",
                                                                  "audio/mpeg3",
                                                                  "audio/x-mpeg",
                                                                  "audio/x-mp3",
                                                                  "audio/mpg",
                                                                  "audio/x-mpg",
                                                                  "audio/x-mpeg3",
                                                                  "audio/mpa",
                                                                  "audio/mpa-robust",
                                                                  "application/octet-stream"};
    std::string type =
        lower(trim(contentType.substr(0, std::min(contentType.find(';'), contentType.size()))));
    return std::find(accepted.begin(), accepted.end(), type) != accepted.end();
}

} // namespace audio
