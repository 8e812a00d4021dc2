#include "audio/HttpStream.h"

namespace audio {

namespace {

std::int64_t nowTicks() {
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

} // namespace

HttpStream::HttpStream(std::string url, Options options, ByteQueue& queue, MetadataHandler onMetadata)
    : options_(std::move(options)), queue_(queue), onMetadata_(std::move(onMetadata)), multi_(makeCurlMulti()) {
    lastDataTicks_ = nowTicks();
    thread_ = std::thread([this, url = std::move(url)]() mutable { run(std::move(url)); });
}

HttpStream::~HttpStream() {
    stop();
}

void HttpStream::stop() {
    std::call_once(stopOnce_, [this] {
        abort();
        thread_.join();
    });
}

void HttpStream::abort() {
    abort_.store(true);
    queue_.abort(); // a body callback waiting for room returns at once
    if (multi_) curl_multi_wakeup(multi_.get());
}

std::string HttpStream::error() const {
    std::lock_guard lock(errorMutex_);
    return error_;
}

std::string HttpStream::contentType() const {
    std::lock_guard lock(errorMutex_);
    return contentType_;
}

std::string HttpStream::effectiveUrl() const {
    std::lock_guard lock(errorMutex_);
    return effectiveUrl_;
}

void HttpStream::fail(std::string reason) {
    std::lock_guard lock(errorMutex_);
    if (error_.empty()) error_ = std::move(reason);
}

void HttpStream::run(std::string url) {
    CURLM* multi = multi_.get();
    const CurlEasy easy = makeCurlEasy();
    const CurlList requestHeaders(curl_slist_append(nullptr, "Icy-MetaData: 1"));
    const CurlList aliases(curl_slist_append(nullptr, "ICY 200 OK"));
    if (!multi || !easy || !requestHeaders || !aliases) {
        fail("libcurl could not be set up");
        queue_.close(true);
        return;
    }
    easy_ = easy.get();
    CURL* e = easy.get();
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, options_.maxRedirects);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, requestHeaders.get());
    // Shoutcast-style servers answer "ICY 200 OK", which libcurl refuses unless told it means 200.
    curl_easy_setopt(e, CURLOPT_HTTP200ALIASES, aliases.get());
    curl_easy_setopt(e, CURLOPT_USERAGENT, options_.userAgent.c_str());
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options_.connectTimeout.count()));
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &HttpStream::headerCallback);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &HttpStream::bodyCallback);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    // TLS peer and host verification stay at libcurl's defaults (on, with the system's CA store).

    CURLcode result = CURLE_OK;
    bool finished = false;
    std::optional<CurlTransferSlot> slot(std::in_place, multi, e);
    while (slot->added() && !abort_.load()) {
        int running = 0;
        curl_multi_perform(multi, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                result = message->data.result;
                finished = true;
            }
        }
        if (finished || running == 0) break;
        auto idle = std::chrono::steady_clock::duration(nowTicks() - lastDataTicks_.load());
        if (idle > options_.stallTimeout) {
            fail("no data for " + std::to_string(options_.stallTimeout.count()) + " ms");
            break;
        }
        curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    }
    slot.reset();
    easy_ = nullptr;

    if (abort_.load()) {
        fail("aborted");
    } else if (finished && result != CURLE_OK && result != CURLE_WRITE_ERROR) {
        fail(curl_easy_strerror(result));
    } else if (!stripper_) {
        long status = 0;
        curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
        fail("no audio in the response (status " + std::to_string(status) + ")");
    }
    // A body that simply ends (the server closed the stream) is the normal end of a live stream.
    queue_.close(!error().empty());
}

std::size_t HttpStream::headerCallback(char* data, std::size_t size, std::size_t count, void* self) {
    static_cast<HttpStream*>(self)->headers_.addLine(std::string_view(data, size * count));
    return size * count;
}

std::size_t HttpStream::bodyCallback(char* data, std::size_t size, std::size_t count, void* self) {
    return static_cast<HttpStream*>(self)->onBody(data, size * count);
}

std::size_t HttpStream::onBody(const char* data, std::size_t size) {
    if (!stripper_) {
        long status = 0;
        curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
        if (status != 200) {
            fail("HTTP status " + std::to_string(status));
            return 0;
        }
        const char* url = nullptr;
        curl_easy_getinfo(static_cast<CURL*>(easy_), CURLINFO_EFFECTIVE_URL, &url);
        {
            std::lock_guard lock(errorMutex_);
            contentType_ = headers_.contentType();
            effectiveUrl_ = url ? url : "";
        }
        contentLength_.store(headers_.contentLength());
        stripper_.emplace(headers_.metaInterval());
    }
    auto parts = stripper_->feed(std::string_view(data, size));
    for (const auto& text : parts.metadata)
        if (onMetadata_) onMetadata_(text);
    if (!parts.audio.empty() && !queue_.push(parts.audio.data(), parts.audio.size())) return 0;
    lastDataTicks_.store(nowTicks());
    return size;
}

} // namespace audio
