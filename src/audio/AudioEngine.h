#pragma once
// The calls of the audio engine, as the player uses them. The player reaches the engine only through
// this interface, so its unit tests can put a recording fake in its place.

#include <cstdint>
#include <functional>

using DWORD = std::uint32_t;
using QWORD = std::uint64_t;
using BOOL = int;
using ChannelHandle = DWORD;
using HSYNC = DWORD;

// version: the high word is the interface version the player was written for.
constexpr DWORD BASSVERSION = 0x0203;

// Stream and sample flags.
constexpr DWORD BASS_SAMPLE_MONO = 2;
constexpr DWORD BASS_SAMPLE_FLOAT = 0x100;
constexpr DWORD BASS_STREAM_PRESCAN = 0x20000;
constexpr DWORD BASS_STREAM_AUTOFREE = 0x40000;
constexpr DWORD BASS_STREAM_DECODE = 0x200000;
constexpr DWORD BASS_STREAM_STATUS = 0x800000;

// What a channel is doing. Stalled: it plays, but its network buffer ran dry.
enum class ChannelState { Stopped, Playing, Stalled, Paused };

constexpr DWORD BASS_TAG_META = 5;
constexpr DWORD BASS_SYNC_META = 4;
constexpr DWORD BASS_FILEPOS_END = 2;

// Error results of the calls that return a count or a level.
constexpr DWORD BASS_ERROR_DWORD = 0xFFFFFFFFu;
constexpr QWORD BASS_ERROR_QWORD = ~QWORD{0};

// Called on the engine's own thread with the new metadata text (StreamTitle='…';StreamUrl='…';).
using SYNCPROC = std::function<void(HSYNC sync, DWORD channel, const char* data, void* user)>;

class AudioEngine {
public:
    virtual ~AudioEngine() = default;

    virtual DWORD version() = 0;
    // device -1 is the default output; 0 (false) when no output device can be opened.
    virtual BOOL openOutput(int device, DWORD freq, DWORD flags, void* win, const void* clsid) = 0;
    virtual BOOL stopOutput() = 0;
    // Releases every stream and closes its file.
    virtual BOOL closeOutput() = 0;
    // The engine's output gain, 0..100 (linear amplitude); BASS_ERROR_DWORD on error.
    virtual DWORD gain() = 0;
    virtual BOOL setGain(DWORD volume) = 0;

    // A stream over the byte range [offset, offset + length) of the file; length 0 reads to the end.
    // 0 when the file cannot be opened or holds no MP3 frame in the range. mem must be false.
    virtual ChannelHandle openFile(BOOL mem, const char* file, QWORD offset, QWORD length, DWORD flags) = 0;
    // Returns after the connection is made and audio decodes, or 0 on failure (bounded time-out).
    virtual ChannelHandle openUrl(const char* url, DWORD offset, DWORD flags, void* proc, void* user) = 0;
    virtual BOOL release(ChannelHandle handle) = 0;
    virtual QWORD downloadedBytes(ChannelHandle handle, DWORD mode) = 0;

    virtual BOOL play(DWORD handle, BOOL restart) = 0;
    virtual BOOL pause(DWORD handle) = 0;
    virtual BOOL stop(DWORD handle) = 0;
    virtual ChannelState state(DWORD handle) = 0;
    // Lengths and positions are bytes of the channel's decoded format; BASS_ERROR_QWORD on error.
    virtual QWORD length(DWORD handle) = 0;
    virtual QWORD position(DWORD handle) = 0;
    virtual BOOL seek(DWORD handle, QWORD pos) = 0;
    virtual double seconds(DWORD handle, QWORD pos) = 0;
    // Decoding streams only: bytes delivered into buffer, BASS_ERROR_DWORD on error.
    virtual DWORD read(DWORD handle, void* buffer, DWORD length) = 0;
    // Left peak in the low 16 bits, right in the high 16 bits (0..32768); BASS_ERROR_DWORD on error.
    virtual DWORD level(DWORD handle) = 0;
    // Zero-terminated text valid until the next call on this channel, or nullptr.
    virtual const char* metadata(DWORD handle, DWORD tags) = 0;
    virtual HSYNC onMetadata(DWORD handle, DWORD type, QWORD param, SYNCPROC proc, void* user) = 0;

    // The engine reopens a lost sound output by itself; handler runs (on an engine thread) each time
    // it has done so, for what lives beside the output, such as the mixer's state. An empty handler
    // ends the calls; once this returns, the old handler is neither running nor called again.
    virtual void setOutputReturnHandler(std::function<void()> handler) { (void)handler; }
};
