#pragma once
// Fetches an http or https stream with libcurl on a thread of its own: follows redirects (http and
// https only, a few hops), asks for ICY metadata, accepts "ICY 200 OK" as a status line, refuses any
// final response that is not 200 (what the body holds is for its reader to judge), strips the metadata blocks
// out of the body and queues the audio bytes. A connection that delivers nothing for the stall time-out is
// given up.

#include "audio/ByteQueue.h"
#include "audio/HttpHeaders.h"
#include "audio/IcyStripper.h"
#include "platform/CurlHandles.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace audio {

class HttpStream {
public:
    struct Options {
        std::chrono::milliseconds connectTimeout{5000};
        std::chrono::milliseconds stallTimeout{10000};
        long maxRedirects = 5;
        std::string userAgent = "Mozilla/5.0 (X11; Linux x86_64)";
    };
    // Called on the network thread with the text of each metadata block.
    using MetadataHandler = std::function<void(const std::string& text)>;

    // Starts the transfer; the audio goes into queue, which is closed when the stream ends or fails.
    HttpStream(std::string url, Options options, ByteQueue& queue, MetadataHandler onMetadata);
    // Aborts the transfer and waits for the thread.
    ~HttpStream();
    HttpStream(const HttpStream&) = delete;
    HttpStream& operator=(const HttpStream&) = delete;

    // Stops the transfer soon; returns at once.
    void abort();
    // Aborts and waits for the network thread.
    void stop();

    // Why the stream failed, empty while it has not.
    std::string error() const;
    // Content-Length of the final response, -1 if it sent none.
    std::int64_t contentLength() const { return contentLength_.load(); }
    // The final response's Content-Type and URL (after redirects); known before its first body byte
    // is queued, empty until then.
    std::string contentType() const;
    std::string effectiveUrl() const;

private:
    void run(std::string url);
    void fail(std::string reason);
    std::size_t onBody(const char* data, std::size_t size);
    static std::size_t headerCallback(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t bodyCallback(char* data, std::size_t size, std::size_t count, void* self);

    const Options options_;
    ByteQueue& queue_;
    MetadataHandler onMetadata_;
    CurlMulti multi_;      // created before the thread so abort() can wake it
    CURL* easy_ = nullptr; // used only on the thread
    std::atomic<bool> abort_{false};
    std::atomic<std::int64_t> contentLength_{-1};
    std::atomic<std::int64_t> lastDataTicks_{0};
    HttpHeaders headers_;
    std::optional<IcyStripper> stripper_; // set when the body of the final response starts
    mutable std::mutex errorMutex_;       // error_, contentType_, effectiveUrl_
    std::string error_;
    std::string contentType_;
    std::string effectiveUrl_;
    std::once_flag stopOnce_;
    std::thread thread_;
};

} // namespace audio
