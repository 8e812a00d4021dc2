#pragma once
// The audio engine: libmpg123 decodes, libcurl fetches network streams, SDL2 plays the
// mix (stereo, 32-bit float). Every call is thread-safe; a call on no handle, or on a channel that
// ended (with auto-free) or was freed, fails quietly with the call's error value. closeOutput also ends the
// network opens in progress on other threads: they return no handle at once.
//
// A lost output device (a sound server that restarts, a card pulled out) is noticed and opened again
// by the engine, with every channel kept where it was heard; see OutputKeeper. A played channel shows
// as stalled while no device plays it.
//
// Metadata handlers run on the engine's own thread, one at a time. They may call the engine (even free
// their own stream or the whole engine) but must return promptly and must not wait for a thread that
// is itself calling the engine: stopping or freeing a stream, or removing a handler, waits for its
// call in progress.

#include "audio/AudioEngine.h"
#include "audio/HandleTable.h"
#include "audio/OutputKeeper.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace audio {

class Channel;
class EngineWorker;
class Output;

class Engine final : public AudioEngine {
public:
    struct Options {
        // A network stream must connect and decode its first audio within this time.
        std::chrono::milliseconds openTimeout{5000};
        // A connection that delivers nothing for this long is given up (the stream then ends once
        // its buffer has played; it shows as stalled as soon as the buffer runs dry).
        std::chrono::milliseconds stallTimeout{10000};
        std::size_t networkBufferBytes = 64 * 1024;
        std::chrono::milliseconds prebuffer{250};
        // How long opening a played file waits for its exact length (see FileOptions).
        std::chrono::milliseconds exactLengthWait{20};
        std::string userAgent; // empty: a browser-like default
        // How often ended auto-free streams are freed and the output device is looked after.
        std::chrono::milliseconds housekeepingPeriod{200};
        // A missing output device is tried again after these pauses (doubling from the first).
        std::chrono::milliseconds outputRetryFirst{500};
        std::chrono::milliseconds outputRetryLongest{5000};
        // A running device whose callback has not run for this long is not heard.
        std::chrono::milliseconds outputStallLimit{1000};
    };

    Engine();
    explicit Engine(Options options);
    ~Engine() override;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    std::uint32_t version() override;
    bool openOutput(int device, int rate) override;
    bool stopOutput() override;
    bool closeOutput() override;
    int gain() override;
    bool setGain(int volume) override;

    ChannelHandle openFile(const std::string& path, const OpenOptions& options) override;
    ChannelHandle openUrl(const std::string& url, const OpenOptions& options) override;
    UrlOpenResult openUrlWithRefusal(const std::string& url, const OpenOptions& options) override;
    bool release(ChannelHandle handle) override;
    std::int64_t downloadedBytes(ChannelHandle handle) override;

    bool play(ChannelHandle handle, bool restart) override;
    bool pause(ChannelHandle handle) override;
    bool stop(ChannelHandle handle) override;
    ChannelState state(ChannelHandle handle) override;
    std::int64_t length(ChannelHandle handle) override;
    std::int64_t position(ChannelHandle handle) override;
    bool seek(ChannelHandle handle, std::int64_t position) override;
    double seconds(ChannelHandle handle, std::int64_t bytes) override;
    std::int64_t read(ChannelHandle handle, void* buffer, std::size_t bytes) override;
    std::optional<ChannelLevel> level(ChannelHandle handle) override;
    std::optional<std::string> metadata(ChannelHandle handle) override;
    MetadataSubscription onMetadata(ChannelHandle handle, MetadataHandler handler) override;
    void setOutputReturnHandler(std::function<void()> handler) override;
    bool queue(ChannelHandle current, ChannelHandle next, int gainAtJoin) override;
    bool unqueue(ChannelHandle next) override;
    void setJoinHandler(std::function<void(ChannelHandle next)> handler) override;

private:
    std::shared_ptr<Channel> channel(ChannelHandle handle) const;
    // Puts a new channel in the table; no handle (and the channel shut down) if the engine was freed
    // meanwhile.
    ChannelHandle adopt(std::shared_ptr<Channel> channel, std::uint64_t generation);
    void freeFinishedChannels();
    void reportJoins();
    std::shared_ptr<Output> currentOutput() const;
    void lookAfterOutput();

    const Options options_;
    mutable std::mutex mutex_; // output_, driver_, generation_ and opening_
    std::shared_ptr<Output> output_;
    // The sound driver that last opened a device, kept across closeOutput.
    std::string driver_;
    std::uint64_t generation_ = 0; // counts openOutput and closeOutput
    // Network streams whose open waits for the server; closeOutput ends those waits.
    std::vector<std::shared_ptr<Channel>> opening_;
    std::atomic<int> volume_{100}; // the gain for the next output; the output's own while one is open
    std::mutex joinHandlerMutex_;
    std::function<void(ChannelHandle)> joinHandler_;
    HandleTable<Channel> channels_;
    OutputKeeper keeper_;
    std::unique_ptr<EngineWorker> worker_; // last: its housekeeping uses the members above
};

} // namespace audio
