#pragma once
// The calls of the audio engine, as the player uses them. The player reaches the engine only through
// this interface, so its unit tests can put a recording fake in its place.

#include "audio/ChannelHandle.h"
#include "audio/MetadataSubscription.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The interface version the player was written for; version() carries it in its high 16 bits.
constexpr std::uint32_t kEngineInterfaceVersion = 0x0203;

// What a channel is doing. Stalled: it plays, but its network buffer ran dry.
enum class ChannelState { Stopped, Playing, Stalled, Paused };

// How a stream is opened.
struct OpenOptions {
    // A file's byte range [offset, offset + length); length 0 reads to the end.
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    // The caller reads the decoded samples with read(); the stream is never played. Files only.
    bool decodeOnly = false;
    // One channel, the mix (L+R)/2.
    bool mono = false;
    // 32-bit float samples instead of 16-bit ones.
    bool floatSamples = false;
    // Scans the whole file first, so its length is exact from the start.
    bool prescan = false;
    // A played stream is freed by the engine when it ends.
    bool autoFree = false;

    friend bool operator==(const OpenOptions&, const OpenOptions&) = default;
};

// The peaks of what a channel last played, 0..32768 each.
struct ChannelLevel {
    int left = 0;
    int right = 0;
    friend bool operator==(const ChannelLevel&, const ChannelLevel&) = default;
};

// A network open's result; refusal says, for the user, why a stream can never play (no decoder
// takes its format), and is empty when it may play on another try.
struct UrlOpenResult {
    ChannelHandle handle;
    std::string refusal;
};

// Called on the engine's own thread with a stream's new metadata text (StreamTitle='…';StreamUrl='…';).
using MetadataHandler = std::function<void(const std::string& text)>;

class AudioEngine {
public:
    virtual ~AudioEngine() = default;

    virtual std::uint32_t version() = 0;
    // device -1 is the default output; false when no output device can be opened.
    virtual bool openOutput(int device, int rate) = 0;
    virtual bool stopOutput() = 0;
    // Releases every stream and closes its file.
    virtual bool closeOutput() = 0;
    // The engine's output gain, 0..100 (linear amplitude); -1 without an output.
    virtual int gain() = 0;
    virtual bool setGain(int volume) = 0;

    // No handle when the file cannot be opened or holds no MP3 frame in the range.
    virtual ChannelHandle openFile(const std::string& path, const OpenOptions& options) = 0;
    // Returns after the connection is made and audio decodes, or no handle on failure (bounded
    // time-out). The range and decodeOnly do not apply.
    virtual ChannelHandle openUrl(const std::string& url, const OpenOptions& options) = 0;
    virtual UrlOpenResult openUrlWithRefusal(const std::string& url, const OpenOptions& options) {
        return {openUrl(url, options), {}};
    }
    virtual bool release(ChannelHandle handle) = 0;
    // A file stream's range in bytes, tags included, or a network stream's announced length; -1 when
    // unknown.
    virtual std::int64_t downloadedBytes(ChannelHandle handle) = 0;

    virtual bool play(ChannelHandle handle, bool restart) = 0;
    virtual bool pause(ChannelHandle handle) = 0;
    virtual bool stop(ChannelHandle handle) = 0;
    virtual ChannelState state(ChannelHandle handle) = 0;
    // Lengths and positions are bytes of the channel's decoded format; -1 when unknown or on error.
    virtual std::int64_t length(ChannelHandle handle) = 0;
    virtual std::int64_t position(ChannelHandle handle) = 0;
    virtual bool seek(ChannelHandle handle, std::int64_t position) = 0;
    // -1 on error.
    virtual double seconds(ChannelHandle handle, std::int64_t bytes) = 0;
    // Decoding streams only: the bytes delivered into buffer, -1 on error or at the end.
    virtual std::int64_t read(ChannelHandle handle, void* buffer, std::size_t bytes) = 0;
    // Nothing while the channel does not play.
    virtual std::optional<ChannelLevel> level(ChannelHandle handle) = 0;
    // The stream's latest metadata text, nothing before the first.
    virtual std::optional<std::string> metadata(ChannelHandle handle) = 0;
    // The handler hears every change of the stream's metadata while the subscription lives; an empty
    // subscription when the channel is unknown, stopped or freed.
    [[nodiscard]] virtual MetadataSubscription onMetadata(ChannelHandle handle, MetadataHandler handler) = 0;

    // Joins two played channels without a gap: next starts at the very sample where current ends by
    // itself (not when it is stopped, paused or freed), and from that sample on the output gain is
    // gainAtJoin (0..100; -1 keeps the gain). Until then next stays stopped, its start already decoded.
    // Queueing again replaces what followed current before. False when either channel is unknown, is
    // not played, or current has already ended.
    virtual bool queue(ChannelHandle current, ChannelHandle next, int gainAtJoin) {
        (void)current, (void)next, (void)gainAtJoin;
        return false;
    }
    // Takes next out of the queue; true when it was still waiting, false when it has already started
    // (or was never queued).
    virtual bool unqueue(ChannelHandle next) {
        (void)next;
        return false;
    }
    // handler runs (on an engine thread) with the handle of each queued channel that has just started
    // at its join. An empty handler ends the calls; once this returns, the old handler is neither
    // running nor called again.
    virtual void setJoinHandler(std::function<void(ChannelHandle next)> handler) { (void)handler; }

    // The engine reopens a lost sound output by itself; handler runs (on an engine thread) each time
    // it has done so, for what lives beside the output, such as the mixer's state. An empty handler
    // ends the calls; once this returns, the old handler is neither running nor called again.
    virtual void setOutputReturnHandler(std::function<void()> handler) { (void)handler; }
};
