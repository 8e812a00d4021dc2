#pragma once
// Decodes a network stream that is not MPEG audio with FFmpeg: AAC (ADTS, and in MPEG-TS or fMP4
// segments of HLS), Vorbis, Opus and FLAC in Ogg. Its bytes come either from our own HTTP reader
// (ICY blocks already removed, through a custom I/O context) or, for HLS, from libavformat's own
// HLS demuxer. Delivers float samples at the output rate, stereo (or the mono mix), whatever the
// stream's rate and channel layout; titles in the stream's tags (Vorbis comments, ID3) are reported.

#include "audio/ByteQueue.h"
#include "audio/PcmSource.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace audio {

struct FfmpegLibrary;

class FfmpegDecoder : public PcmSource {
public:
    struct Settings {
        int outputRate = 44100;
        bool monoMix = false;
        // Nothing read for this long ends the stream.
        std::chrono::milliseconds stallTimeout{10000};
        std::chrono::milliseconds waitPerRead{50};
        std::string userAgent;
        // Set when the channel shuts down: a read or open in progress returns soon.
        const std::atomic<bool>* quit = nullptr;
    };
    // "Artist - Title", or the title alone; called on the decoding thread at each change.
    using TitleHandler = std::function<void(const std::string& title)>;

    enum class Failure {
        None,
        Refused, // the bytes are no format FFmpeg decodes: retrying cannot help
        Failed,  // the stream ended or could not be reached while opening
    };

    // Reads prefix, then the queue's bytes; formatName is libavformat's demuxer ("aac", "ogg"),
    // nullptr to let it probe. Blocks until the stream's first packets are read.
    static std::unique_ptr<FfmpegDecoder> openBytes(const FfmpegLibrary& library, ByteQueue& queue,
                                                    std::string prefix, const char* formatName,
                                                    Settings settings, TitleHandler onTitle,
                                                    Failure* failure);
    // A URL that libavformat fetches itself with the demuxer formatName (HLS: "hls").
    static std::unique_ptr<FfmpegDecoder> openUrl(const FfmpegLibrary& library, const std::string& url,
                                                  const char* formatName, Settings settings,
                                                  TitleHandler onTitle, Failure* failure);
    ~FfmpegDecoder() override;
    FfmpegDecoder(const FfmpegDecoder&) = delete;
    FfmpegDecoder& operator=(const FfmpegDecoder&) = delete;

    PcmFormat format() const override { return format_; }
    Result read(float* out, std::size_t maxFrames) override;

private:
    struct State;
    FfmpegDecoder(const FfmpegLibrary& library, Settings settings, TitleHandler onTitle);

    Failure open(const char* url, const char* formatName);
    bool interrupted() const;
    int readInput(unsigned char* buffer, int size);
    bool convert();
    void noticeTitle(bool force);
    std::size_t takePending(float* out, std::size_t maxFrames);

    const FfmpegLibrary& ff_;
    const Settings settings_;
    TitleHandler onTitle_;
    std::unique_ptr<State> state_;
    ByteQueue* queue_ = nullptr;
    std::string prefix_;
    std::size_t prefixUsed_ = 0;
    bool inputClosed_ = false;
    std::atomic<std::int64_t> lastInputTicks_{0};
    PcmFormat format_;
    bool formatAnnounced_ = false;
    bool ended_ = false;
    std::string title_;
};

} // namespace audio
