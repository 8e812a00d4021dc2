// Opening file and network channels.

#include "audio/ByteQueue.h"
#include "audio/Channel.h"
#include "audio/Converter.h"
#include "audio/EngineWorker.h"
#include "audio/FileDecoder.h"
#include "audio/FrameIndexer.h"
#include "audio/HttpStream.h"
#include "audio/NetworkSource.h"
#include "audio/Output.h"
#include "audio/Voice.h"

#include <algorithm>

namespace audio {

namespace {
// How long the network stream's decoding thread waits for bytes in one round, so it notices a quit.
constexpr std::chrono::milliseconds kNetworkReadWait{50};
} // namespace

std::shared_ptr<Channel> Channel::openFile(const std::string& path, const OpenOptions& open,
                                           const FileOptions& options, ChannelContext context) {
    auto decoder = FileDecoder::open(path, open.offset, open.length, open.mono);
    if (!decoder) return nullptr;
    const bool decodeOnly = open.decodeOnly;
    if (!decodeOnly && !context.output) return nullptr;
    // A decoding channel is often read only briefly (the loudness excerpts); its scan waits until its
    // length or a seek is asked for, which gives the same answers without reading the whole range.
    const bool prescan = open.prescan;
    if (prescan && !decodeOnly) decoder->scan();

    std::shared_ptr<Channel> channel(new Channel(Kind::File, open, std::move(context)));
    channel->setByteFormat(decoder->format());
    channel->file_ = decoder.get();
    channel->rangeSize_ = decoder->rangeSize();
    channel->source_ = std::move(decoder);
    channel->formatKnown_ = true;
    channel->scanPending_ = prescan && decodeOnly;

    if (!decodeOnly) {
        if (!channel->file_->lengthIsExact()) {
            channel->indexer_ = std::make_unique<FrameIndexer>(path, channel->file_->audioOffset(),
                                                               channel->file_->audioSize());
            if (channel->indexer_->waitFor(options.exactLengthWait)) channel->installIndexLocked();
        }
    }
    channel->lengthFrames_.store(channel->file_->lengthFrames());
    channel->lengthExact_.store(channel->file_->lengthIsExact());
    if (!decodeOnly) {
        if (!channel->setUpConversion(channel->file_->format())) return nullptr;
        channel->startPlayback();
    }
    return channel;
}

std::shared_ptr<Channel> Channel::connectUrl(const std::string& url, const OpenOptions& open,
                                             const UrlOptions& options, ChannelContext context) {
    if (!context.output || open.decodeOnly) return nullptr;
    const int outputRate = context.output->rate();
    std::shared_ptr<Channel> channel(new Channel(Kind::Url, open, std::move(context)));
    channel->queue_ = std::make_unique<ByteQueue>(options.networkBufferBytes);

    HttpStream::Options http;
    http.connectTimeout = options.connectTimeout;
    http.stallTimeout = options.stallTimeout;
    http.maxRedirects = options.maxRedirects;
    if (!options.userAgent.empty()) http.userAgent = options.userAgent;
    // The network and decoding threads end before the channel goes (shutdown() joins them), so `this`
    // is safe in their handlers.
    Channel* self = channel.get();
    channel->http_ = std::make_unique<HttpStream>(
        url, http, *channel->queue_, [self](const std::string& text) { self->onMetadata(text); });

    NetworkSource::Settings settings;
    settings.outputRate = outputRate;
    settings.monoMix = open.mono;
    settings.waitPerRead = kNetworkReadWait;
    settings.stallTimeout = options.stallTimeout;
    settings.userAgent = http.userAgent;
    settings.quit = &channel->quit_;
    NetworkSource::Events events;
    // A title from the stream's own tags is shown the way an ICY title is.
    events.onTitle = [self](const std::string& title) { self->onMetadata("StreamTitle='" + title + "';"); };
    events.onRefused = [self](const std::string& text) { self->refuse(text); };
    // The playlist's length is not the stream's.
    events.onPlaylist = [self] { self->playlistStream_.store(true); };
    channel->source_ = std::make_unique<NetworkSource>(*channel->queue_, *channel->http_, std::move(settings),
                                                       std::move(events));

    channel->startPlayback(static_cast<std::size_t>(options.prebuffer.count()) *
                           static_cast<std::size_t>(outputRate) / 1000 * 2);
    return channel;
}

void Channel::refuse(const std::string& text) {
    {
        std::lock_guard lock(openMutex_);
        refusal_ = text;
    }
    signalOpened(false);
}

std::string Channel::refusal() const {
    std::lock_guard lock(openMutex_);
    return refusal_;
}

bool Channel::waitOpened(std::chrono::milliseconds timeout) {
    std::unique_lock lock(openMutex_);
    return openCv_.wait_for(lock, timeout, [this] { return opened_ || openFailed_; }) && opened_;
}

Channel::Channel(Kind kind, const OpenOptions& open, ChannelContext context)
    : kind_(kind), floatSamples_(open.floatSamples), decodeOnly_(open.decodeOnly), autoFree_(open.autoFree),
      context_(std::move(context)) {}

Channel::~Channel() {
    shutdown();
}

void Channel::setByteFormat(PcmFormat format) {
    channels_ = format.channels;
    bytesPerSample_ = floatSamples_ ? 4 : 2;
    rate_.store(format.rate);
}

void Channel::startPlayback(std::size_t prebufferSamples) {
    voice_ = std::make_unique<Voice>(context_.output->rate(), kind_ == Kind::Url, producerWakeup_,
                                     context_.worker->wakeup());
    prebufferSamples_ = std::min(prebufferSamples, voice_->ring().capacity() / 2);
    if (formatKnown_) voice_->setSourceRate(rate_.load());
    context_.output->addVoice(voice_.get());
    decodeThread_ = std::thread([this] { decodeLoop(); });
}

void Channel::shutdown() {
    disableSyncs();
    {
        std::lock_guard lock(controlMutex_);
        if (shutDown_.exchange(true)) return;
    }
    quit_.store(true);
    producerWakeup_.notify();
    if (http_) http_->abort();
    if (queue_) queue_->abort();
    if (decodeThread_.joinable()) decodeThread_.join();
    // The output itself stays referenced until the channel goes: calls that only read the state
    // may still look at it.
    if (voice_ && context_.output) context_.output->removeVoice(voice_.get());
    // Stopped but kept: calls racing with this one may still ask them for what they know.
    if (http_) http_->stop();
    if (indexer_) indexer_->stop();
    std::lock_guard lock(decodeMutex_);
    converter_.reset();
    file_ = nullptr;
    source_.reset();
}

} // namespace audio
