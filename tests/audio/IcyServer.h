#pragma once
// A small ICY/HTTP radio server on 127.0.0.1 for the network stream tests: it loops the frames of an
// MP3 file, puts a metadata block after every metaInterval audio bytes and can misbehave on purpose.

#include "support/LoopbackServer.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace audiotest {

struct IcyPlan {
    std::string statusLine = "ICY 200 OK";
    std::string contentType = "audio/mpeg";
    std::size_t metaInterval = 8192;
    // The icy-metaint header as sent; empty: metaInterval; "-": no header (and no metadata blocks).
    std::string metaIntervalHeader;
    // The bytes after audio block n (length byte and text, see icyBlock); default: "no metadata".
    std::function<std::string(int block)> metadataBlock;
    int blocks = -1;            // audio blocks before the end; -1: until the server stops
    int burstBlocks = 2;        // sent at once; the rest at the stream's byte rate
    int bytesPerSecond = 16000; // 128 kbit/s
    enum class End { Close, Hang } end = End::Close;
    bool splitMetadata = false; // each metadata block goes out in two sends, 200 ms apart
};

// A metadata block: the length byte, then the text padded with NULs to a multiple of 16 bytes
// (at most 4080). An empty text gives the single byte 0.
std::string icyBlock(std::string_view text);

class IcyServer {
public:
    // mp3 is the file whose bytes the server loops.
    IcyServer(const std::string& mp3, IcyPlan plan);

    std::string url(std::string_view path = "/stream") const { return server_.url(path); }
    std::uint16_t port() const { return server_.port(); }
    // Whether the last request asked for metadata with "Icy-MetaData: 1".
    bool askedForMetadata() const { return askedForMetadata_.load(); }
    void stop() { server_.stop(); }

private:
    void serve(LoopbackServer::Connection& connection);

    std::string audio_;
    IcyPlan plan_;
    std::atomic<bool> askedForMetadata_{false};
    LoopbackServer server_; // last: its threads use the members above
};

} // namespace audiotest
