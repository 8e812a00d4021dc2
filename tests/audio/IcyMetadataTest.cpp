// The ICY metadata stripper and the response-head reader, fed the way a network delivers bytes.

#include "audio/HttpHeaders.h"
#include "audio/IcyStripper.h"

#include <gtest/gtest.h>

#include <random>

using audio::HttpHeaders;
using audio::IcyStripper;
using audio::isMpegAudioType;

namespace {

std::string block(std::string_view text) {
    std::size_t units = (text.size() + 15) / 16;
    std::string b(1, static_cast<char>(units));
    b += text;
    b.resize(1 + units * 16, '\0');
    return b;
}

std::string audioBytes(std::size_t n, char seed) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(seed + i * 7);
    return s;
}

struct Stream {
    std::string wire;  // what the server sends
    std::string audio; // what the decoder must get
};

// interval audio bytes, a block, interval audio bytes, a block, ...
Stream makeStream(std::size_t interval, const std::vector<std::string>& blocks) {
    Stream s;
    char seed = 1;
    for (const auto& b : blocks) {
        std::string a = audioBytes(interval, seed++);
        s.wire += a + b;
        s.audio += a;
    }
    std::string tail = audioBytes(interval / 2, seed);
    s.wire += tail;
    s.audio += tail;
    return s;
}

IcyStripper::Parts feedInPieces(IcyStripper& stripper, std::string_view wire,
                                const std::vector<std::size_t>& cuts) {
    IcyStripper::Parts all;
    std::size_t at = 0;
    for (std::size_t cut : cuts) {
        cut = std::min(cut, wire.size());
        auto part = stripper.feed(wire.substr(at, cut - at));
        all.audio += part.audio;
        all.metadata.insert(all.metadata.end(), part.metadata.begin(), part.metadata.end());
        at = cut;
    }
    auto part = stripper.feed(wire.substr(at));
    all.audio += part.audio;
    all.metadata.insert(all.metadata.end(), part.metadata.begin(), part.metadata.end());
    return all;
}

} // namespace

// However the network cuts the bytes (in a block, on its length byte, one byte at a time), the
// decoder gets exactly the audio and every block's text comes out once.
TEST(IcyStripper, SeparatesAudioAndMetadataAcrossAnyReadBoundary) {
    const std::string title = "StreamTitle='Artist - Song';StreamUrl='';";
    Stream s = makeStream(100, {block(title), std::string(1, '\0'), block("StreamTitle='Next';")});
    const std::vector<std::string> expected = {title, "StreamTitle='Next';"};
    for (std::size_t cut = 0; cut <= s.wire.size(); ++cut) {
        IcyStripper stripper(100);
        auto parts = feedInPieces(stripper, s.wire, {cut});
        ASSERT_EQ(parts.audio, s.audio) << "cut at " << cut;
        ASSERT_EQ(parts.metadata, expected) << "cut at " << cut;
    }
    IcyStripper bytewise(100);
    std::vector<std::size_t> everyByte;
    for (std::size_t i = 1; i < s.wire.size(); ++i)
        everyByte.push_back(i);
    auto parts = feedInPieces(bytewise, s.wire, everyByte);
    EXPECT_EQ(parts.audio, s.audio);
    EXPECT_EQ(parts.metadata, expected);
}

TEST(IcyStripper, WithoutAnIntervalEverythingIsAudio) {
    IcyStripper stripper(0);
    std::string wire = audioBytes(5000, 3) + block("StreamTitle='x';");
    auto parts = stripper.feed(wire);
    EXPECT_EQ(parts.audio, wire);
    EXPECT_TRUE(parts.metadata.empty());
}

// The text is kept as sent: quotes and ";" inside the title, bytes after the closing quote; it ends
// at the first NUL of its padding.
TEST(IcyStripper, KeepsTheTextAsSent) {
    const std::string tricky = "StreamTitle='Rock'n'Roll; \"Live\" ';';StreamUrl='';trailing";
    Stream s = makeStream(64, {block(tricky), block(std::string("StreamTitle='a';\0junk after NUL", 32))});
    IcyStripper stripper(64);
    auto parts = stripper.feed(s.wire);
    EXPECT_EQ(parts.audio, s.audio);
    EXPECT_EQ(parts.metadata, (std::vector<std::string>{tricky, "StreamTitle='a';"}));
}

// The largest block (length byte 255: 4080 bytes) with no NUL at all is taken whole and no further;
// the audio right after it is intact.
TEST(IcyStripper, LargestBlockWithoutTerminator) {
    std::string title = "StreamTitle='" + std::string(4080 - 15, 'y') + "';";
    ASSERT_EQ(block(title).size(), 4081u);
    Stream s = makeStream(32, {block(title), block(title)});
    IcyStripper stripper(32);
    auto parts = feedInPieces(stripper, s.wire, {10, 100, 4000, 4100});
    EXPECT_EQ(parts.audio, s.audio);
    ASSERT_EQ(parts.metadata.size(), 2u);
    EXPECT_EQ(parts.metadata[0], title);
}

// Binary garbage in a block is dropped (it is not a title), and the framing after it holds.
TEST(IcyStripper, DropsBinaryBlocksButKeepsTheFraming) {
    std::mt19937 random(11);
    std::string junk(1, static_cast<char>(250));
    for (int i = 0; i < 250 * 16; ++i)
        junk.push_back(static_cast<char>(random() % 31 + 1));
    Stream s = makeStream(500, {junk, std::string(1, '\0'), block("StreamTitle='ok';")});
    IcyStripper stripper(500);
    auto parts = feedInPieces(stripper, s.wire, {501, 502, 1200});
    EXPECT_EQ(parts.audio, s.audio);
    EXPECT_EQ(parts.metadata, std::vector<std::string>{"StreamTitle='ok';"});

    EXPECT_FALSE(audio::icyMetadataText(std::string(16, '\0')).has_value()) << "empty";
    EXPECT_FALSE(audio::icyMetadataText("StreamTitle='a\x1b[31m';").has_value()) << "escape sequence";
    EXPECT_EQ(audio::icyMetadataText("StreamTitle='tab\tand\r\nnewline';"),
              std::optional<std::string>("StreamTitle='tab\tand\r\nnewline';"));
    EXPECT_EQ(audio::icyMetadataText("StreamTitle='Caf\xe9 \xc3\xa9';"),
              std::optional<std::string>("StreamTitle='Caf\xe9 \xc3\xa9';"))
        << "Latin-1 and UTF-8 bytes are text";
}

// Each response of a redirect chain starts from nothing: only the final head counts.
TEST(HttpHeaders, EachResponseStartsAfresh) {
    HttpHeaders h;
    for (const char* line : {"HTTP/1.1 302 Found\r\n", "Location: http://b/\r\n", "icy-metaint: 8192\r\n",
                             "Content-Length: 0\r\n", "Content-Type: text/html\r\n", "\r\n"})
        h.addLine(line);
    EXPECT_EQ(h.status(), 302);
    EXPECT_EQ(h.metaInterval(), 8192u);
    EXPECT_EQ(h.contentLength(), 0);
    for (const char* line :
         {"ICY 200 OK\r\n", "content-type:Audio/MPEG; charset=x\r\n", "icy-br:128\r\n", "\r\n"})
        h.addLine(line);
    EXPECT_EQ(h.status(), 200);
    EXPECT_EQ(h.contentType(), "audio/mpeg");
    EXPECT_EQ(h.metaInterval(), 0u) << "the redirect's interval leaked into the stream";
    EXPECT_EQ(h.contentLength(), -1);

    HttpHeaders bad;
    bad.addLine("HTTP/1.0 200 OK");
    for (const char* value : {"abc", "-5", "12abc", "99999999999999999999", "2000000", ""}) {
        bad.addLine(std::string("icy-metaint: ") + value);
        EXPECT_EQ(bad.metaInterval(), 0u) << value;
    }
    bad.addLine("ICY-METAINT:\t16000 ");
    EXPECT_EQ(bad.metaInterval(), 16000u);
    bad.addLine("HTTP/1.1 garbage");
    EXPECT_EQ(bad.status(), 0);
}

TEST(HttpHeaders, OnlyMpegAudioPassesToTheDecoder) {
    for (const char* type : {"audio/mpeg", "AUDIO/MPEG", "audio/mpeg; charset=utf-8", "audio/mp3",
                             "audio/x-mpeg", "audio/mpg", "application/octet-stream", ""})
        EXPECT_TRUE(isMpegAudioType(type)) << type;
    for (const char* type :
         {"audio/aac", "audio/aacp", "audio/x-aac", "audio/ogg", "application/ogg",
          "application/vnd.apple.mpegurl", "application/x-mpegurl", "audio/x-mpegurl", "audio/mpegurl",
          "audio/x-scpls", "text/html", "text/plain", "video/mp4", "audio/flac"})
        EXPECT_FALSE(isMpegAudioType(type)) << type;
}
