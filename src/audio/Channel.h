#pragma once
// One stream of the engine: a file range or a network stream, either played through the output or
// read by the caller (a decoding channel). Lengths and positions are counted in bytes of the
// channel's decoded format: the source's rate, one channel when opened mono, 32-bit float samples
// when opened with floatSamples and 16-bit ones without.
//
// Threads: a played channel decodes on a thread of its own into its voice's ring; a network stream
// also has the network thread of its HttpStream; a file stream builds its frame index on a third,
// short-lived one. The public calls may come from any thread.
//
// Locks, always taken in this order: syncMutex_ is never held together with the others by a public
// call; controlMutex_ serialises the public calls that change the channel; decodeMutex_ is held by
// the decoding thread for one decoding round at a time; Output::Lock keeps the audio callback out
// for a few instructions.

#include "audio/AudioEngine.h"
#include "audio/PcmSource.h"
#include "audio/Wakeup.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace audio {

class ByteQueue;
class Converter;
class EngineWorker;
class FileDecoder;
class FrameIndexer;
class HttpStream;
class Output;
class Voice;

struct ChannelContext {
    std::shared_ptr<Output> output; // nullptr for a decoding channel
    EngineWorker* worker = nullptr;
};

struct FileOptions {
    // How long opening a played file may wait for its background scan, so that most files report
    // their exact length from the start while a very long one never holds the caller up.
    std::chrono::milliseconds exactLengthWait{20};
};

struct UrlOptions {
    std::chrono::milliseconds openTimeout{5000};
    std::chrono::milliseconds connectTimeout{5000};
    std::chrono::milliseconds stallTimeout{10000};
    std::size_t networkBufferBytes = 64 * 1024;
    // Decoded audio buffered before the stream counts as opened.
    std::chrono::milliseconds prebuffer{250};
    long maxRedirects = 5;
    std::string userAgent;
};

class Channel : public std::enable_shared_from_this<Channel> {
public:
    // nullptr when the file cannot be opened or the range holds no MP3 frame.
    static std::shared_ptr<Channel> openFile(const std::string& path, const OpenOptions& open,
                                             const FileOptions& options, ChannelContext context);
    // Starts connecting and returns at once; nullptr when the stream cannot be set up. Whether it
    // opened is for waitOpened() to tell.
    static std::shared_ptr<Channel> connectUrl(const std::string& url, const OpenOptions& open,
                                               const UrlOptions& options, ChannelContext context);
    // Blocks until a network stream is connected and its first audio decoded: false on failure, when
    // the time passes first, or once abandonOpen() was called.
    bool waitOpened(std::chrono::milliseconds timeout);
    // Ends a wait of waitOpened() (or the next one) with false. Any thread.
    void abandonOpen() { signalOpened(false); }
    // Why the stream was refused for good (no decoder takes it), for the user; empty otherwise.
    std::string refusal() const;
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // Played through the output (not a decoding channel).
    bool isPlayed() const { return !decodeOnly_; }

    bool play(bool restart);
    bool pause();
    bool stop();
    ChannelState activity() const;
    // Bytes; -1 when unknown or shut down.
    std::int64_t length();
    std::int64_t position() const;
    bool setPosition(std::int64_t bytes);
    double bytesToSeconds(std::int64_t bytes) const;
    std::int64_t downloadedBytes() const;
    std::int64_t getData(void* buffer, std::size_t bytes);
    std::optional<ChannelLevel> level() const;
    std::optional<std::string> metadata() const;
    // The handler's id, to remove it by; nothing once the channel stopped or was shut down.
    std::optional<std::uint64_t> addMetadataHandler(MetadataHandler handler);
    // Waits for a call of the handler in progress on another thread.
    void removeMetadataHandler(std::uint64_t id);

    // Joining (see AudioEngine::queue): next, a played channel of the same output, starts where this
    // one ends, at the given output volume (-1: unchanged).
    bool setFollower(Channel& next, int volume);
    // Out of the join it waits for; true when it was still waiting.
    bool leaveQueue();
    // True once after a join started this channel.
    bool takeJoined();

    // Ended with the auto-free flag: the engine frees it, and until then it counts as freed.
    bool finished() const;
    // Stops every thread, closes the file or connection and silences the channel for good.
    // Idempotent; the destructor calls it too.
    void shutdown();

private:
    enum class Kind { File, Url };
    Channel(Kind kind, const OpenOptions& open, ChannelContext context);

    int bytesPerFrame() const { return channels_ * bytesPerSample_; }
    std::int64_t lengthFrames() const;
    void setByteFormat(PcmFormat format);
    void disableSyncs();
    bool seekLocked(std::int64_t frame);
    bool resume();
    void installIndexLocked();
    void scanIfPending();
    // Creates the voice and starts the decoding thread; prebufferSamples > 0 makes it report the
    // stream opened once that much is buffered.
    void startPlayback(std::size_t prebufferSamples = 0);

    // Decoding (ChannelDecoding.cpp).
    void decodeLoop();
    bool pumpOnce();
    bool setUpConversion(PcmFormat format);
    void checkReady();
    void signalOpened(bool ok);
    void refuse(const std::string& text);
    std::int64_t readDecoded(void* buffer, std::size_t bytes);

    // Metadata (network thread) and its handlers (engine thread).
    void onMetadata(const std::string& text);
    void dispatchMetadata(const std::string& text);

    const Kind kind_;
    const bool floatSamples_;
    const bool decodeOnly_;
    const bool autoFree_;
    ChannelContext context_;

    // The caller's byte format; fixed once known (for a network stream, by its first frame).
    std::atomic<long> rate_{0};
    int channels_ = 0;
    int bytesPerSample_ = 0;

    std::mutex controlMutex_;
    std::atomic<bool> shutDown_{false};
    std::atomic<bool> urlStopped_{false};

    // The decoding side, under decodeMutex_.
    std::mutex decodeMutex_;
    std::unique_ptr<PcmSource> source_;
    FileDecoder* file_ = nullptr; // source_ of a file channel
    std::unique_ptr<Converter> converter_;
    std::vector<float> scratch_;
    bool sourceEnded_ = false;
    bool converterFlushed_ = false;
    bool producerDone_ = false;
    bool formatKnown_ = false;
    bool indexInstalled_ = false;
    bool scanPending_ = false;    // a decoding channel's deferred prescan
    std::uint64_t rangeSize_ = 0; // of a file channel
    std::atomic<std::int64_t> lengthFrames_{-1};
    std::atomic<bool> lengthExact_{false};
    std::atomic<std::int64_t> deliveredFrames_{0}; // decoding channels: frames handed to the caller
    std::atomic<bool> decodeEnded_{false};

    std::unique_ptr<FrameIndexer> indexer_;
    std::unique_ptr<ByteQueue> queue_;
    std::unique_ptr<HttpStream> http_;
    std::atomic<bool> playlistStream_{false}; // HLS: libavformat fetches the audio itself
    std::unique_ptr<Voice> voice_;
    Wakeup producerWakeup_;
    std::atomic<bool> quit_{false};
    std::thread decodeThread_;

    // Opening a network stream.
    mutable std::mutex openMutex_;
    std::condition_variable openCv_;
    std::string refusal_;
    bool opened_ = false;
    bool openFailed_ = false;
    std::size_t prebufferSamples_ = 0;

    mutable std::mutex metaMutex_;
    std::optional<std::string> meta_;

    struct Sync {
        std::uint64_t id;
        MetadataHandler handler;
    };
    // Recursive: a handler may stop or free its own channel, or remove itself, from inside the call.
    std::recursive_mutex syncMutex_;
    std::vector<Sync> syncs_;
    std::uint64_t lastSyncId_ = 0;
    bool syncsEnabled_ = true;
};

} // namespace audio
