#include "audio/Engine.h"

#include "audio/Channel.h"
#include "audio/EngineWorker.h"
#include "audio/Output.h"

#include <string_view>

namespace audio {

namespace {
constexpr std::uint32_t kVersion = kEngineInterfaceVersion << 16;

bool isHttpUrl(std::string_view url) {
    auto startsWith = [&](std::string_view prefix) {
        if (url.size() < prefix.size()) return false;
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            char c = url[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
            if (c != prefix[i]) return false;
        }
        return true;
    };
    return startsWith("http://") || startsWith("https://");
}
} // namespace

Engine::Engine() : Engine(Options{}) {}

// Ended auto-free streams are freed each housekeeping round, and at once when the audio callback
// reports an end.
Engine::Engine(Options options)
    : options_(std::move(options)), keeper_({options_.outputRetryFirst, options_.outputRetryLongest}),
      worker_(std::make_unique<EngineWorker>(
          [this] {
              reportJoins();
              freeFinishedChannels();
              lookAfterOutput();
          },
          options_.housekeepingPeriod)) {}

Engine::~Engine() {
    closeOutput();
    worker_.reset();
}

std::uint32_t Engine::version() {
    return kVersion;
}

// Without a device to open, the engine still starts (and openOutput says it failed): streams open and
// wait, and the first play after a device appears is heard.
bool Engine::openOutput(int device, int rate) {
    std::lock_guard lock(mutex_);
    if (output_) return !output_->connected() && output_->connect();
    auto output = Output::create(device, rate <= 0 ? 44100 : rate,
                                 {.driver = driver_, .stallLimit = options_.outputStallLimit});
    if (!output) return false;
    output->setVolume(volume_.load());
    output_ = std::move(output);
    ++generation_;
    return output_->connected();
}

bool Engine::stopOutput() {
    std::lock_guard lock(mutex_);
    if (!output_) return false;
    output_->stop();
    return true;
}

bool Engine::closeOutput() {
    std::shared_ptr<Output> output;
    {
        std::lock_guard lock(mutex_);
        if (!output_) return false;
        output = std::move(output_);
        driver_ = output->driver();
        volume_.store(output->volume());
        ++generation_;
        // A server that never answers would otherwise hold its opener for the whole time-out.
        for (const auto& channel : opening_)
            channel->abandonOpen();
    }
    for (auto& [handle, channel] : channels_.removeAll())
        channel->shutdown();
    return true; // the device closes with the last reference to output
}

int Engine::gain() {
    std::lock_guard lock(mutex_);
    return output_ ? output_->volume() : -1;
}

bool Engine::setGain(int volume) {
    std::lock_guard lock(mutex_);
    if (!output_ || volume < 0 || volume > 100) return false;
    output_->setVolume(volume);
    return true;
}

ChannelHandle Engine::openFile(const std::string& path, const OpenOptions& options) {
    ChannelContext context;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        if (!output_) return {};
        if (!options.decodeOnly) context.output = output_;
        generation = generation_;
    }
    context.worker = worker_.get();
    FileOptions fileOptions;
    fileOptions.exactLengthWait = options_.exactLengthWait;
    return adopt(Channel::openFile(path, options, fileOptions, std::move(context)), generation);
}

ChannelHandle Engine::openUrl(const std::string& url, const OpenOptions& openOptions) {
    return openUrlWithRefusal(url, openOptions).handle;
}

UrlOpenResult Engine::openUrlWithRefusal(const std::string& url, const OpenOptions& openOptions) {
    if (!isHttpUrl(url)) return {};
    ChannelContext context;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        if (!output_) return {};
        context.output = output_;
        generation = generation_;
    }
    context.worker = worker_.get();
    UrlOptions options;
    options.openTimeout = options_.openTimeout;
    options.connectTimeout = options_.openTimeout;
    options.stallTimeout = options_.stallTimeout;
    options.networkBufferBytes = options_.networkBufferBytes;
    options.prebuffer = options_.prebuffer;
    options.userAgent = options_.userAgent;
    std::shared_ptr<Channel> channel = Channel::connectUrl(url, openOptions, options, std::move(context));
    if (!channel) return {};
    {
        std::lock_guard lock(mutex_);
        if (generation == generation_)
            opening_.push_back(channel);
        else
            channel->abandonOpen();
    }
    const bool opened = channel->waitOpened(options.openTimeout);
    {
        std::lock_guard lock(mutex_);
        std::erase(opening_, channel);
    }
    if (!opened) {
        channel->shutdown();
        return {ChannelHandle(), channel->refusal()};
    }
    return {adopt(std::move(channel), generation), {}};
}

ChannelHandle Engine::adopt(std::shared_ptr<Channel> channel, std::uint64_t generation) {
    if (!channel) return {};
    const ChannelHandle handle(channels_.add(channel));
    if (!handle) {
        channel->shutdown();
        return {};
    }
    bool stale = false;
    {
        std::lock_guard lock(mutex_);
        // closeOutput ran while the stream was opening: it must not outlive the engine's output.
        stale = generation != generation_;
    }
    if (!stale) return handle;
    if (channels_.remove(handle.value())) channel->shutdown();
    return {};
}

std::shared_ptr<Output> Engine::currentOutput() const {
    std::lock_guard lock(mutex_);
    return output_;
}

void Engine::lookAfterOutput() {
    if (auto output = currentOutput()) keeper_.check(*output);
}

void Engine::setOutputReturnHandler(std::function<void()> handler) {
    keeper_.setReturnHandler(std::move(handler));
}

std::shared_ptr<Channel> Engine::channel(ChannelHandle handle) const {
    auto channel = channels_.find(handle.value());
    return channel && !channel->finished() ? channel : nullptr;
}

bool Engine::queue(ChannelHandle current, ChannelHandle next, int gainAtJoin) {
    if (gainAtJoin < -1 || gainAtJoin > 100) return false;
    auto c = channel(current);
    auto n = channel(next);
    return c && n && c != n && c->setFollower(*n, gainAtJoin);
}

bool Engine::unqueue(ChannelHandle next) {
    auto n = channel(next);
    return n && n->leaveQueue();
}

void Engine::setJoinHandler(std::function<void(ChannelHandle next)> handler) {
    std::lock_guard lock(joinHandlerMutex_);
    joinHandler_ = std::move(handler);
}

void Engine::reportJoins() {
    for (auto& [handle, channel] : channels_.snapshot()) {
        if (!channel->takeJoined()) continue;
        std::lock_guard lock(joinHandlerMutex_);
        if (joinHandler_) joinHandler_(ChannelHandle(handle));
    }
}

void Engine::freeFinishedChannels() {
    for (auto& [handle, channel] : channels_.snapshot()) {
        if (channel->finished() && channels_.remove(handle)) channel->shutdown();
    }
}

bool Engine::release(ChannelHandle handle) {
    auto channel = channels_.remove(handle.value());
    if (!channel) return false;
    bool wasLive = !channel->finished();
    channel->shutdown();
    return wasLive;
}

std::int64_t Engine::downloadedBytes(ChannelHandle handle) {
    auto c = channel(handle);
    return c ? c->downloadedBytes() : -1;
}

bool Engine::play(ChannelHandle handle, bool restart) {
    auto c = channel(handle);
    if (!c) return false;
    // Someone wants to hear it: a missing output is tried now, not at the next retry.
    if (auto output = currentOutput(); output && !output->connected() && c->isPlayed())
        keeper_.openNow(*output);
    return c->play(restart);
}

bool Engine::pause(ChannelHandle handle) {
    auto c = channel(handle);
    return c && c->pause();
}

bool Engine::stop(ChannelHandle handle) {
    auto c = channel(handle);
    return c && c->stop();
}

ChannelState Engine::state(ChannelHandle handle) {
    auto c = channel(handle);
    return c ? c->activity() : ChannelState::Stopped;
}

std::int64_t Engine::length(ChannelHandle handle) {
    auto c = channel(handle);
    return c ? c->length() : -1;
}

std::int64_t Engine::position(ChannelHandle handle) {
    auto c = channel(handle);
    return c ? c->position() : -1;
}

bool Engine::seek(ChannelHandle handle, std::int64_t position) {
    auto c = channel(handle);
    return c && c->setPosition(position);
}

double Engine::seconds(ChannelHandle handle, std::int64_t bytes) {
    auto c = channel(handle);
    return c ? c->bytesToSeconds(bytes) : -1.0;
}

std::int64_t Engine::read(ChannelHandle handle, void* buffer, std::size_t bytes) {
    auto c = channel(handle);
    return c ? c->getData(buffer, bytes) : -1;
}

std::optional<ChannelLevel> Engine::level(ChannelHandle handle) {
    auto c = channel(handle);
    return c ? c->level() : std::nullopt;
}

std::optional<std::string> Engine::metadata(ChannelHandle handle) {
    auto c = channel(handle);
    return c ? c->metadata() : std::nullopt;
}

MetadataSubscription Engine::onMetadata(ChannelHandle handle, MetadataHandler handler) {
    auto c = channel(handle);
    if (!c || !handler) return {};
    const auto id = c->addMetadataHandler(std::move(handler));
    if (!id) return {};
    // The channel, not the engine: a subscription may outlive both the handle and the engine.
    return MetadataSubscription([weak = std::weak_ptr<Channel>(c), id = *id] {
        if (auto channel = weak.lock()) channel->removeMetadataHandler(id);
    });
}

} // namespace audio
