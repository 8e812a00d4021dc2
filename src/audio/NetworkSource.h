#pragma once
// The decoder of a network stream, chosen by what the stream turns out to be: its first bytes (and
// the Content-Type as a hint) pick libmpg123 for MPEG audio, FFmpeg for AAC and Ogg, and for an HLS
// playlist FFmpeg's HLS demuxer, which then fetches the segments itself (from the variant we choose
// when the playlist is a master playlist). A stream no decoder takes is refused once, with a text for
// the user, so the player does not try it again and again.

#include "audio/ByteQueue.h"
#include "audio/PcmSource.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace audio {

class HttpStream;

class NetworkSource : public PcmSource {
public:
    struct Settings {
        int outputRate = 44100;
        bool monoMix = false;
        std::chrono::milliseconds waitPerRead{50};
        std::chrono::milliseconds stallTimeout{10000};
        std::string userAgent;
        const std::atomic<bool>* quit = nullptr;
    };
    struct Events {
        // A title found in the stream itself (Ogg comments, ID3 in HLS), "Artist - Title".
        std::function<void(const std::string& title)> onTitle;
        // The stream cannot be played, and retrying will not change that; text is for the user.
        std::function<void(const std::string& text)> onRefused;
        // The response was an HLS playlist: from now on libavformat fetches the stream itself.
        std::function<void()> onPlaylist;
    };

    // queue carries the body that http fetches.
    NetworkSource(ByteQueue& queue, const HttpStream& http, Settings settings, Events events);
    ~NetworkSource() override;

    PcmFormat format() const override;
    Result read(float* out, std::size_t maxFrames) override;

private:
    // Takes what has arrived, up to limit bytes in the head, waiting up to one read's time for the
    // first of it; true once no more will come.
    bool gather(std::size_t limit);
    Result start();
    Result refuse(std::string text);
    Result startFfmpeg(const char* formatName, const std::string* url);

    ByteQueue& queue_;
    const HttpStream& http_;
    const Settings settings_;
    Events events_;
    std::string head_;
    bool playlist_ = false;
    bool ended_ = false;
    std::unique_ptr<PcmSource> decoder_;
};

} // namespace audio
