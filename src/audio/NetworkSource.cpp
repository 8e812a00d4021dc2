#include "audio/NetworkSource.h"

#include "audio/FfmpegDecoder.h"
#include "audio/FfmpegLibrary.h"
#include "audio/HlsPlaylist.h"
#include "audio/HttpStream.h"
#include "audio/StreamDecoder.h"
#include "audio/StreamFormat.h"

namespace audio {

namespace {
// A playlist longer than this is no station's.
constexpr std::size_t kMaxPlaylistBytes = 1024 * 1024;
} // namespace

NetworkSource::NetworkSource(ByteQueue& queue, const HttpStream& http, Settings settings, Events events)
    : queue_(queue), http_(http), settings_(std::move(settings)), events_(std::move(events)) {}

NetworkSource::~NetworkSource() = default;

PcmFormat NetworkSource::format() const {
    return decoder_ ? decoder_->format() : PcmFormat{};
}

PcmSource::Result NetworkSource::read(float* out, std::size_t maxFrames) {
    if (decoder_) return decoder_->read(out, maxFrames);
    if (ended_) return {Status::End};
    if (playlist_) {
        // An HLS playlist is read whole before libavformat gets its address.
        const bool complete = gather(kMaxPlaylistBytes + 1);
        if (head_.size() > kMaxPlaylistBytes) return refuse("Playlist zu groß");
        if (!complete) return {Status::Wait};
        if (queue_.failed()) {
            ended_ = true;
            return {Status::End};
        }
        return start();
    }
    const bool complete = gather(kSniffBytes);
    if (complete && queue_.failed()) {
        ended_ = true;
        return {Status::End};
    }
    const StreamSniff sniff = sniffStreamFormat(head_, http_.contentType(), complete);
    switch (sniff.format) {
    case StreamFormat::Undecided:
        return {Status::Wait};
    case StreamFormat::HlsPlaylist:
        playlist_ = true;
        if (events_.onPlaylist) events_.onPlaylist();
        return {Status::Wait};
    case StreamFormat::Mpeg:
        decoder_ = StreamDecoder::create(queue_, settings_.monoMix, settings_.waitPerRead, std::move(head_));
        if (!decoder_) ended_ = true;
        return {Status::Wait};
    case StreamFormat::Adts:
        head_.erase(0, sniff.start);
        return startFfmpeg("aac", nullptr);
    case StreamFormat::Ogg:
        head_.erase(0, sniff.start);
        return startFfmpeg("ogg", nullptr);
    case StreamFormat::Probe:
        return startFfmpeg(nullptr, nullptr);
    case StreamFormat::Unsupported:
        break;
    }
    return refuse("Format nicht unterstützt: " + contentTypeForUser(http_.contentType()));
}

bool NetworkSource::gather(std::size_t limit) {
    // Only the first bytes are waited for: what has come is judged at once, so a stream whose bytes
    // trickle in is recognised as soon as they tell what it is.
    std::chrono::milliseconds wait = settings_.waitPerRead;
    while (head_.size() < limit) {
        char buffer[4096];
        std::size_t got = 0;
        const std::size_t want = std::min(sizeof buffer, limit - head_.size());
        switch (queue_.pop(buffer, want, got, wait)) {
        case ByteQueue::PopStatus::Data:
            head_.append(buffer, got);
            wait = std::chrono::milliseconds{0};
            break;
        case ByteQueue::PopStatus::Timeout:
            return false;
        case ByteQueue::PopStatus::Closed:
            return true;
        }
    }
    return false;
}

PcmSource::Result NetworkSource::start() {
    std::string url = http_.effectiveUrl();
    if (isMasterPlaylist(head_)) {
        const std::optional<std::string> variant = chooseVariant(head_);
        if (!variant) return refuse("Playlist ohne Sender");
        url = resolveUrl(url, *variant);
    }
    return startFfmpeg("hls", &url);
}

PcmSource::Result NetworkSource::startFfmpeg(const char* formatName, const std::string* url) {
    std::string missing;
    const FfmpegLibrary* library = FfmpegLibrary::get(&missing);
    if (!library) return refuse("FFmpeg fehlt (" + missing + "): " + contentTypeForUser(http_.contentType()));
    FfmpegDecoder::Settings settings;
    settings.outputRate = settings_.outputRate;
    settings.monoMix = settings_.monoMix;
    settings.stallTimeout = settings_.stallTimeout;
    settings.waitPerRead = settings_.waitPerRead;
    settings.userAgent = settings_.userAgent;
    settings.quit = settings_.quit;
    FfmpegDecoder::Failure failure = FfmpegDecoder::Failure::None;
    if (url)
        decoder_ = FfmpegDecoder::openUrl(*library, *url, formatName, settings, events_.onTitle, &failure);
    else
        decoder_ = FfmpegDecoder::openBytes(*library, queue_, std::move(head_), formatName, settings,
                                            events_.onTitle, &failure);
    if (failure == FfmpegDecoder::Failure::Refused)
        return refuse("Format nicht unterstützt: " + contentTypeForUser(http_.contentType()));
    if (!decoder_) ended_ = true;
    return {Status::Wait};
}

PcmSource::Result NetworkSource::refuse(std::string text) {
    ended_ = true;
    if (events_.onRefused) events_.onRefused(text);
    return {Status::End};
}

} // namespace audio
