// The calls on a channel.

#include "audio/Channel.h"

#include "audio/ByteQueue.h"
#include "audio/Converter.h"
#include "audio/EngineWorker.h"
#include "audio/FileDecoder.h"
#include "audio/FrameIndexer.h"
#include "audio/HttpStream.h"
#include "audio/Output.h"
#include "audio/Voice.h"

#include <algorithm>

namespace audio {

bool Channel::play(bool restart) {
    std::lock_guard lock(controlMutex_);
    if (shutDown_.load() || decodeOnly_ || urlStopped_.load()) return false;
    if (voice_->state() == Voice::State::Ended || restart) {
        // A file starts over; a live stream that ended has nothing left to play.
        if (kind_ != Kind::File) return voice_->state() != Voice::State::Ended && resume();
        if (!seekLocked(0)) return false;
    }
    return resume();
}

// With controlMutex_ held.
bool Channel::resume() {
    {
        Output::Lock outputLock(*context_.output);
        voice_->setState(Voice::State::Playing);
    }
    if (!context_.output->running()) context_.output->start();
    return true;
}

bool Channel::pause() {
    std::lock_guard lock(controlMutex_);
    if (shutDown_.load() || decodeOnly_) return false;
    Output::Lock outputLock(*context_.output);
    if (voice_->state() != Voice::State::Playing) return false;
    voice_->setState(Voice::State::Paused);
    return true;
}

bool Channel::stop() {
    // A stopped channel never calls its syncs again, not even for metadata already on its way.
    disableSyncs();
    std::lock_guard lock(controlMutex_);
    if (shutDown_.load()) return false;
    if (decodeOnly_) return true;
    {
        Output::Lock outputLock(*context_.output);
        if (voice_->state() != Voice::State::Ended) voice_->setState(Voice::State::Stopped);
    }
    if (kind_ == Kind::Url) {
        // A live stream cannot continue where it stopped; drop the connection rather than keep it
        // open (and buffering) until the channel is freed.
        urlStopped_.store(true);
        http_->abort();
    }
    return true;
}

ChannelState Channel::activity() const {
    if (shutDown_.load()) return ChannelState::Stopped;
    if (decodeOnly_) return decodeEnded_.load() ? ChannelState::Stopped : ChannelState::Playing;
    switch (voice_->state()) {
    case Voice::State::Playing:
        if (!context_.output->running()) return ChannelState::Paused;
        // Without a device that plays it, a playing channel holds its place until one is back.
        return voice_->stalled() || !context_.output->audible() ? ChannelState::Stalled : ChannelState::Playing;
    case Voice::State::Paused:
        return ChannelState::Paused;
    case Voice::State::Stopped:
    case Voice::State::Ended:
        break;
    }
    return ChannelState::Stopped;
}

std::int64_t Channel::lengthFrames() const {
    if (kind_ != Kind::File) return -1;
    // A finished background scan knows the exact length before a seek installs its index.
    if (!lengthExact_.load() && indexer_) {
        if (auto index = indexer_->result()) return index->lengthFrames;
    }
    return lengthFrames_.load();
}

std::int64_t Channel::length() {
    if (shutDown_.load()) return -1;
    scanIfPending();
    std::int64_t frames = lengthFrames();
    if (frames < 0) return -1;
    return frames * bytesPerFrame();
}

std::int64_t Channel::position() const {
    if (shutDown_.load() || bytesPerFrame() == 0) return -1;
    std::int64_t frames = decodeOnly_ ? deliveredFrames_.load() : voice_->heardFrames();
    // The resampler's tail can run a few frames past the decoded length.
    if (std::int64_t length = lengthFrames(); length >= 0 && lengthExact_.load())
        frames = std::min(frames, length);
    return std::max<std::int64_t>(frames, 0) * bytesPerFrame();
}

bool Channel::setPosition(std::int64_t bytes) {
    if (kind_ != Kind::File || bytes < 0) return false;
    std::lock_guard lock(controlMutex_);
    if (shutDown_.load()) return false;
    scanIfPending();
    const std::int64_t frame = bytes / bytesPerFrame();
    if (std::int64_t length = lengthFrames(); length >= 0 && frame > length) return false;
    return seekLocked(frame);
}

// With controlMutex_ held.
bool Channel::seekLocked(std::int64_t frame) {
    {
        std::lock_guard lock(decodeMutex_);
        installIndexLocked();
        if (!file_->seek(frame)) return false;
        if (converter_) converter_->clear();
        sourceEnded_ = false;
        converterFlushed_ = false;
        producerDone_ = false;
        if (voice_) {
            Output::Lock outputLock(*context_.output);
            voice_->restartAt(frame);
        } else {
            deliveredFrames_.store(frame);
            decodeEnded_.store(false);
        }
    }
    producerWakeup_.notify();
    return true;
}

// With decodeMutex_ held (or before the decoding thread starts).
void Channel::installIndexLocked() {
    if (indexInstalled_ || !indexer_) return;
    auto index = indexer_->result();
    if (!index) return;
    file_->installIndex(*index);
    indexInstalled_ = true;
    lengthFrames_.store(file_->lengthFrames());
    lengthExact_.store(file_->lengthIsExact());
}

void Channel::scanIfPending() {
    std::lock_guard lock(decodeMutex_);
    if (!scanPending_) return;
    scanPending_ = false;
    // libmpg123's scan returns to the position it started from.
    file_->scan();
    lengthFrames_.store(file_->lengthFrames());
    lengthExact_.store(file_->lengthIsExact());
}

double Channel::bytesToSeconds(std::int64_t bytes) const {
    const long rate = rate_.load();
    if (shutDown_.load() || rate <= 0 || bytesPerFrame() == 0) return -1.0;
    return static_cast<double>(bytes) / (static_cast<double>(rate) * bytesPerFrame());
}

std::int64_t Channel::downloadedBytes() const {
    if (shutDown_.load()) return -1;
    if (kind_ == Kind::File) return static_cast<std::int64_t>(rangeSize_);
    std::int64_t length = http_ && !playlistStream_.load() ? http_->contentLength() : -1;
    return length >= 0 ? length : -1;
}

std::int64_t Channel::getData(void* buffer, std::size_t bytes) {
    if (!buffer || !decodeOnly_) return -1;
    std::lock_guard lock(controlMutex_);
    if (shutDown_.load()) return -1;
    std::lock_guard decodeLock(decodeMutex_);
    return readDecoded(buffer, bytes);
}

std::optional<ChannelLevel> Channel::level() const {
    if (shutDown_.load() || decodeOnly_ || voice_->state() != Voice::State::Playing ||
        !context_.output->running())
        return std::nullopt;
    // Nothing is heard while no device plays.
    if (!context_.output->audible()) return ChannelLevel{0, 0};
    const std::uint32_t word = voice_->levelWord();
    return ChannelLevel{static_cast<int>(word & 0xFFFFu), static_cast<int>(word >> 16)};
}

std::optional<std::string> Channel::metadata() const {
    if (shutDown_.load()) return std::nullopt;
    std::lock_guard lock(metaMutex_);
    return meta_;
}

std::optional<std::uint64_t> Channel::addMetadataHandler(MetadataHandler handler) {
    std::lock_guard lock(syncMutex_);
    if (!syncsEnabled_) return std::nullopt;
    syncs_.push_back({++lastSyncId_, std::move(handler)});
    return lastSyncId_;
}

void Channel::removeMetadataHandler(std::uint64_t id) {
    std::lock_guard lock(syncMutex_);
    std::erase_if(syncs_, [id](const Sync& sync) { return sync.id == id; });
}

bool Channel::setFollower(Channel& next, int volume) {
    std::lock_guard lock(controlMutex_);
    if (shutDown_.load() || decodeOnly_ || next.decodeOnly_ || next.context_.output != context_.output)
        return false;
    // The output checks that both voices are still there: a next channel shut down meanwhile has
    // taken its voice away.
    return context_.output->follow(voice_.get(), next.voice_.get(), volume);
}

bool Channel::leaveQueue() {
    if (shutDown_.load() || decodeOnly_) return false;
    return context_.output->unfollow(voice_.get());
}

bool Channel::takeJoined() {
    return !decodeOnly_ && voice_ && voice_->takeJoined();
}

bool Channel::finished() const {
    return autoFree_ && !decodeOnly_ && voice_ && voice_->state() == Voice::State::Ended;
}

void Channel::disableSyncs() {
    // Waits for a sync call in progress on the engine thread (unless this is that call).
    std::lock_guard lock(syncMutex_);
    syncsEnabled_ = false;
}

void Channel::onMetadata(const std::string& text) {
    {
        std::lock_guard lock(metaMutex_);
        // Servers repeat the current title in every block; only a change is news.
        if (meta_ == text) return;
        meta_ = text;
    }
    context_.worker->post([weak = weak_from_this(), text] {
        if (auto channel = weak.lock()) channel->dispatchMetadata(text);
    });
}

void Channel::dispatchMetadata(const std::string& text) {
    std::lock_guard lock(syncMutex_);
    if (!syncsEnabled_) return;
    const auto syncs = syncs_; // a handler may add or remove handlers while we call
    for (const auto& sync : syncs) {
        // One handler may have stopped the channel or removed another.
        const bool registered = std::ranges::any_of(syncs_, [&](const Sync& s) { return s.id == sync.id; });
        if (!syncsEnabled_) return;
        if (registered) sync.handler(text);
    }
}

} // namespace audio
