#pragma once
// What a stream client needs from an HTTP or ICY response head. Redirects bring several responses in
// a row; every status line starts a new response, so nothing of a redirect's head (its Content-Length,
// its icy-metaint) leaks into the final one.

#include <cstdint>
#include <string>
#include <string_view>

namespace audio {

class HttpHeaders {
public:
    // One line of the head as libcurl delivers it (the status line too), with or without its CR LF.
    void addLine(std::string_view line);

    int status() const { return status_; }
    // Lower case, without parameters ("audio/mpeg" for "Audio/MPEG; charset=x"); empty when absent.
    const std::string& contentType() const { return contentType_; }
    // 0 when the response announces no metadata (or an unusable interval).
    std::size_t metaInterval() const { return metaInterval_; }
    // -1 when absent or invalid.
    std::int64_t contentLength() const { return contentLength_; }

private:
    int status_ = 0;
    std::string contentType_;
    std::size_t metaInterval_ = 0;
    std::int64_t contentLength_ = -1;
};

// True for the MPEG audio types (and for a missing or generic type, which the decoder then has to
// prove); false for AAC, Ogg, playlists, HLS and HTML pages, which must not reach an MP3 decoder.
bool isMpegAudioType(std::string_view contentType);

} // namespace audio
