#include "audio/Engine.h"

#include "audio/Channel.h"
#include "audio/EngineWorker.h"
#include "audio/Output.h"

#include <string_view>

namespace audio {

namespace {
constexpr DWORD kVersion = BASSVERSION << 16;

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
              freeFinishedChannels();
              lookAfterOutput();
          },
          options_.housekeepingPeriod)) {}

Engine::~Engine() {
    closeOutput();
    worker_.reset();
}

DWORD Engine::version() {
    return kVersion;
}

// Without a device to open, the engine still starts (and openOutput says it failed): streams open and
// wait, and the first play after a device appears is heard.
BOOL Engine::openOutput(int device, DWORD freq, DWORD, void*, const void*) {
    std::lock_guard lock(mutex_);
    if (output_) return !output_->connected() && output_->connect() ? 1 : 0;
    auto output = Output::create(device, freq == 0 ? 44100 : static_cast<int>(freq),
                                 {.driver = driver_, .stallLimit = options_.outputStallLimit});
    if (!output) return 0;
    output->setGain(static_cast<float>(volume_.load()) / 100.0f);
    output_ = std::move(output);
    ++generation_;
    return output_->connected() ? 1 : 0;
}

BOOL Engine::stopOutput() {
    std::lock_guard lock(mutex_);
    if (!output_) return 0;
    output_->stop();
    return 1;
}

BOOL Engine::closeOutput() {
    std::shared_ptr<Output> output;
    {
        std::lock_guard lock(mutex_);
        if (!output_) return 0;
        output = std::move(output_);
        driver_ = output->driver();
        ++generation_;
        // A server that never answers would otherwise hold its opener for the whole time-out.
        for (const auto& channel : opening_)
            channel->abandonOpen();
    }
    for (auto& [handle, channel] : channels_.removeAll())
        channel->shutdown();
    return 1; // the device closes with the last reference to output
}

DWORD Engine::gain() {
    std::lock_guard lock(mutex_);
    return output_ ? volume_.load() : BASS_ERROR_DWORD;
}

BOOL Engine::setGain(DWORD volume) {
    std::lock_guard lock(mutex_);
    if (!output_ || volume > 100) return 0;
    volume_.store(volume);
    output_->setGain(static_cast<float>(volume) / 100.0f);
    return 1;
}

ChannelHandle Engine::openFile(BOOL mem, const char* file, QWORD offset, QWORD length, DWORD flags) {
    if (mem || !file) return 0;
    ChannelContext context;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        if (!output_) return 0;
        if (!(flags & BASS_STREAM_DECODE)) context.output = output_;
        generation = generation_;
    }
    context.worker = worker_.get();
    FileOptions options;
    options.exactLengthWait = options_.exactLengthWait;
    return adopt(Channel::openFile(file, offset, length, flags, options, std::move(context)), generation);
}

ChannelHandle Engine::openUrl(const char* url, DWORD, DWORD flags, void*, void*) {
    if (!url || !isHttpUrl(url)) return 0;
    ChannelContext context;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        if (!output_) return 0;
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
    std::shared_ptr<Channel> channel = Channel::connectUrl(url, flags, options, std::move(context));
    if (!channel) return 0;
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
        return 0;
    }
    return adopt(std::move(channel), generation);
}

ChannelHandle Engine::adopt(std::shared_ptr<Channel> channel, std::uint64_t generation) {
    if (!channel) return 0;
    ChannelHandle handle = channels_.add(channel);
    if (handle == 0) {
        channel->shutdown();
        return 0;
    }
    channel->setHandle(handle);
    bool stale = false;
    {
        std::lock_guard lock(mutex_);
        // closeOutput ran while the stream was opening: it must not outlive the engine's output.
        stale = generation != generation_;
    }
    if (!stale) return handle;
    if (channels_.remove(handle)) channel->shutdown();
    return 0;
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

std::shared_ptr<Channel> Engine::channel(DWORD handle) const {
    auto channel = channels_.find(handle);
    return channel && !channel->finished() ? channel : nullptr;
}

void Engine::freeFinishedChannels() {
    for (auto& [handle, channel] : channels_.snapshot()) {
        if (channel->finished() && channels_.remove(handle)) channel->shutdown();
    }
}

BOOL Engine::release(ChannelHandle handle) {
    auto channel = channels_.remove(handle);
    if (!channel) return 0;
    bool wasLive = !channel->finished();
    channel->shutdown();
    return wasLive ? 1 : 0;
}

QWORD Engine::downloadedBytes(ChannelHandle handle, DWORD mode) {
    auto c = channel(handle);
    return c ? c->filePosition(mode) : BASS_ERROR_QWORD;
}

BOOL Engine::play(DWORD handle, BOOL restart) {
    auto c = channel(handle);
    if (!c) return 0;
    // Someone wants to hear it: a missing output is tried now, not at the next retry.
    if (auto output = currentOutput(); output && !output->connected() && c->isPlayed())
        keeper_.openNow(*output);
    return c->play(restart != 0) ? 1 : 0;
}

BOOL Engine::pause(DWORD handle) {
    auto c = channel(handle);
    return c && c->pause() ? 1 : 0;
}

BOOL Engine::stop(DWORD handle) {
    auto c = channel(handle);
    return c && c->stop() ? 1 : 0;
}

ChannelState Engine::state(DWORD handle) {
    auto c = channel(handle);
    return c ? c->activity() : ChannelState::Stopped;
}

QWORD Engine::length(DWORD handle) {
    auto c = channel(handle);
    return c ? c->length() : BASS_ERROR_QWORD;
}

QWORD Engine::position(DWORD handle) {
    auto c = channel(handle);
    return c ? c->position() : BASS_ERROR_QWORD;
}

BOOL Engine::seek(DWORD handle, QWORD pos) {
    auto c = channel(handle);
    return c && c->setPosition(pos) ? 1 : 0;
}

double Engine::seconds(DWORD handle, QWORD pos) {
    auto c = channel(handle);
    return c ? c->bytesToSeconds(pos) : -1.0;
}

DWORD Engine::read(DWORD handle, void* buffer, DWORD length) {
    auto c = channel(handle);
    return c ? c->getData(buffer, length) : BASS_ERROR_DWORD;
}

DWORD Engine::level(DWORD handle) {
    auto c = channel(handle);
    return c ? c->level() : BASS_ERROR_DWORD;
}

const char* Engine::metadata(DWORD handle, DWORD tags) {
    auto c = channel(handle);
    return c ? c->tags(tags) : nullptr;
}

HSYNC Engine::onMetadata(DWORD handle, DWORD type, QWORD, SYNCPROC proc, void* user) {
    auto c = channel(handle);
    if (!c) return 0;
    HSYNC id = lastSync_.fetch_add(1) + 1;
    if (id == 0) id = lastSync_.fetch_add(1) + 1;
    return c->addSync(type, std::move(proc), user, id);
}

} // namespace audio
