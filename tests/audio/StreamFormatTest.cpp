// What a stream's first bytes and its type make of it, and which HLS variant plays.

#include "audio/StreamFormat.h"
#include "audio/HlsPlaylist.h"

#include <gtest/gtest.h>

using namespace audio;

namespace {

// n ADTS frames of 200 bytes each (44.1 kHz, stereo), then the junk given.
std::string adts(int n) {
    std::string frame("\xFF\xF1\x50\x80\x19\x1F\xFC", 7); // frame length 200
    frame.resize(200, '\x21');
    std::string bytes;
    for (int i = 0; i < n; ++i)
        bytes += frame;
    return bytes;
}

// n MPEG-1 layer III frames at 128 kbit/s, 44.1 kHz (417 bytes each).
std::string mpeg(int n) {
    std::string frame("\xFF\xFB\x90\x64", 4);
    frame.resize(417, '\0');
    std::string bytes;
    for (int i = 0; i < n; ++i)
        bytes += frame;
    return bytes;
}

} // namespace

TEST(StreamFormatTest, TheBytesDecideAndTheTypeOnlyWhenTheyTellNothing) {
    const std::string id3 = std::string("ID3\x04\x00\x00\x00\x00\x00\x05", 10) + "12345";
    // The header of an ADTS frame 2000 bytes long.
    const std::string longAdtsHeader("\xFF\xF1\x50\x80\xFA\x1F\xFC", 7);
    struct Case {
        std::string head, type;
        bool complete;
        StreamFormat format;
        std::size_t start;
    };
    const std::vector<Case> cases = {
        {"OggS\0\x02rest", "audio/mpeg", false, StreamFormat::Ogg, 0},
        {"junkOggS\0\x02", "", false, StreamFormat::Ogg, 4},
        {adts(3), "audio/mpeg", false, StreamFormat::Adts, 0},
        {"xy" + adts(3), "audio/aacp", false, StreamFormat::Adts, 2},
        {id3 + adts(2), "", false, StreamFormat::Adts, id3.size()},
        {mpeg(3), "audio/aacp", false, StreamFormat::Mpeg, 0},
        {"\xEF\xBB\xBF #EXTM3U\n#EXT-X-TARGETDURATION:2\n", "audio/mpeg", false, StreamFormat::HlsPlaylist,
         0},
        {"#EXT", "", false, StreamFormat::Undecided, 0},
        {"ID3\x04", "", false, StreamFormat::Undecided, 0},
        {std::string(100, 'x'), "audio/mpeg", false, StreamFormat::Undecided, 0},
        // Nothing recognised in a full head (or the whole body): the type decides.
        {std::string(kSniffBytes, 'x'), "audio/mpeg", false, StreamFormat::Mpeg, 0},
        {std::string(kSniffBytes, 'x'), "", false, StreamFormat::Mpeg, 0},
        {std::string(100, 'x'), "Audio/AACP; x=y", true, StreamFormat::Probe, 0},
        {std::string(100, 'x'), "application/ogg", true, StreamFormat::Probe, 0},
        {std::string(100, 'x'), "audio/x-ms-wma", true, StreamFormat::Unsupported, 0},
        // A single sync word is no frame.
        {std::string("\xFF\xF1\x50\x80\x19\x1F\xFC", 7) + std::string(kSniffBytes, 'x'), "video/x", false,
         StreamFormat::Unsupported, 0},
        // A head still coming in: the first frame decides as soon as its successor's header is in, and
        // until then no later place may, not even one that looks like a run of frames.
        {mpeg(1) + std::string("\xFF\xFB", 2), "", false, StreamFormat::Undecided, 0},
        {mpeg(1) + std::string("\xFF\xFB\x90\x64", 4), "", false, StreamFormat::Mpeg, 0},
        {longAdtsHeader + mpeg(2), "", false, StreamFormat::Undecided, 0},
        {longAdtsHeader + mpeg(2), "", true, StreamFormat::Mpeg, 0},
        // A web page is never audio.
        {mpeg(3), "text/html; charset=utf-8", false, StreamFormat::Unsupported, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type + " | " + c.head.substr(0, 12));
        const StreamSniff sniff = sniffStreamFormat(c.head, c.type, c.complete);
        EXPECT_EQ(sniff.format, c.format);
        EXPECT_EQ(sniff.start, c.start);
    }
    EXPECT_EQ(contentTypeForUser(" Audio/X-MS-WMA ; q=1"), "audio/x-ms-wma");
    EXPECT_EQ(contentTypeForUser(""), "unbekannt");
}

TEST(StreamFormatTest, TheHighestVariantUpTo320kbitPlays) {
    const std::string master = "#EXTM3U\r\n"
                               "#EXT-X-STREAM-INF:BANDWIDTH=450000,CODECS=\"mp4a.40.2\"\r\n"
                               "hi/index.m3u8\r\n"
                               "#EXT-X-STREAM-INF:AVERAGE-BANDWIDTH=128000,BANDWIDTH=330000\r\n"
                               "mid/index.m3u8\r\n"
                               "#EXT-X-STREAM-INF:CODECS=\"x,BANDWIDTH=999\",BANDWIDTH=64000\r\n"
                               "\r\n"
                               "low/index.m3u8\r\n";
    EXPECT_TRUE(isMasterPlaylist(master));
    EXPECT_EQ(chooseVariant(master), "mid/index.m3u8");
    // All above the limit: the lowest.
    EXPECT_EQ(chooseVariant(
                  "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=900000\na\n#EXT-X-STREAM-INF:BANDWIDTH=400000\nb\n"),
              "b");
    const std::string media = "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\nseg0.ts\n";
    EXPECT_FALSE(isMasterPlaylist(media));
    EXPECT_EQ(chooseVariant(media), std::nullopt);
    EXPECT_EQ(chooseVariant("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\n"), std::nullopt);

    const std::string base = "https://radio.example:8443/live/master.m3u8?token=1";
    EXPECT_EQ(resolveUrl(base, "mid/index.m3u8"), "https://radio.example:8443/live/mid/index.m3u8");
    EXPECT_EQ(resolveUrl(base, "/other/a.m3u8"), "https://radio.example:8443/other/a.m3u8");
    EXPECT_EQ(resolveUrl(base, "//cdn.example/a.m3u8"), "https://cdn.example/a.m3u8");
    EXPECT_EQ(resolveUrl(base, "http://cdn.example/a.m3u8"), "http://cdn.example/a.m3u8");
    EXPECT_EQ(resolveUrl("http://host", "a.m3u8"), "http://host/a.m3u8");
}
