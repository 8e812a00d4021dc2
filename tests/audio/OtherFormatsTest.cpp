// Network streams in formats other than MP3 through the real engine (FFmpeg loaded at run time,
// SDL's dummy driver), served by an HTTP server on 127.0.0.1: each plays at the level it was made
// with and shows its own titles; a stream no decoder takes is refused at once with a reason.

#include "AudioTestSupport.h"
#include "audio/Engine.h"
#include "audio/FfmpegLibrary.h"
#include "support/FolderHttpServer.h"
#include "support/LoopbackServer.h"
#include "support/Mp3Fixtures.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace audiotest;
using namespace std::chrono_literals;
using audio::Engine;

namespace {

// A 550 Hz sine at half of full scale on both channels (peak level 16384).
const std::string kSource = "aevalsrc=0.5*sin(2*PI*550*t)|0.5*sin(2*PI*550*t):s=44100:d=4";

// Serves the file's bytes under the type, as fast as the client takes them, then closes.
class FileServer {
public:
    FileServer(const std::string& path, std::string contentType)
        : bytes_(fixtures::readFile(path).size(), '\0'),
          server_([this, type = std::move(contentType)](LoopbackServer::Connection& c) {
              if (!c.readRequestHead()) return;
              c.send(httpResponseHead(200, "OK", {{"Content-Type", type}}));
              c.send(bytes_);
          }) {
        const auto file = fixtures::readFile(path);
        std::copy(file.begin(), file.end(), bytes_.begin());
    }
    std::string url() const { return server_.url("/stream"); }

private:
    std::string bytes_;
    LoopbackServer server_;
};

class OtherFormatsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (fixtures::ffmpegPath().empty()) GTEST_SKIP() << fixtures::missingFfmpegMessage();
        ASSERT_TRUE(engine.openOutput(-1, 44100));
    }
    std::string make(const std::string& name, const std::vector<std::string>& arguments) {
        const std::string path = dir.file(name);
        std::string error;
        EXPECT_TRUE(fixtures::makeWithFfmpeg(path, kSource, arguments, &error)) << error;
        return path;
    }

    fixtures::TempDir dir;
    Engine engine;
};

} // namespace

// AAC, Vorbis, Opus (48 kHz) and FLAC, mono and stereo: each opens, plays at the level it was made
// with on both sides, and an Ogg stream's comments give its title.
TEST_F(OtherFormatsTest, EachFormatPlaysAtItsLevelWithItsTitle) {
    struct Case {
        std::string name, type;
        std::vector<std::string> arguments;
        std::string title;
    };
    const std::vector<std::string> tags = {"-metadata", "title=Grüße", "-metadata", "artist=Bänd"};
    auto with = [&](std::vector<std::string> a) {
        a.insert(a.end(), tags.begin(), tags.end());
        return a;
    };
    const std::vector<Case> cases = {
        {"aac", "audio/aac", {"-ac", "2", "-c:a", "aac", "-b:a", "96k", "-f", "adts"}, ""},
        // Mislabelled: the bytes decide.
        {"aac-as-mpeg", "audio/mpeg", {"-ac", "1", "-c:a", "aac", "-b:a", "64k", "-f", "adts"}, ""},
        {"vorbis", "application/ogg", with({"-ac", "2", "-c:a", "libvorbis", "-f", "ogg"}), "Bänd - Grüße"},
        {"opus", "audio/ogg", with({"-ac", "1", "-c:a", "libopus", "-ar", "48000", "-f", "ogg"}),
         "Bänd - Grüße"},
        {"flac", "audio/ogg", {"-ac", "2", "-c:a", "flac", "-f", "ogg"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileServer server(make(c.name, c.arguments), c.type);
        const ChannelHandle h = engine.openUrl(server.url(), OpenOptions{});
        ASSERT_TRUE(h);
        ASSERT_TRUE(engine.play(h, false));
        int left = 0, right = 0;
        EXPECT_TRUE(waitUntil(
            [&] {
                auto level = engine.level(h);
                left = std::max(left, level ? level->left : 0);
                right = std::max(right, level ? level->right : 0);
                return left > 15000 && right > 15000;
            },
            3s))
            << left << " " << right;
        EXPECT_LT(left, 18000);
        EXPECT_LT(right, 18000);
        if (!c.title.empty()) EXPECT_EQ(engine.metadata(h).value_or(""), "StreamTitle='" + c.title + "';");
        engine.release(h);
    }
    EXPECT_TRUE(audio::FfmpegLibrary::loaded());
}

// A stream of a kind no decoder takes fails within 2 s and says what it was; so does a web page
// and an AAC label on bytes that are no AAC.
TEST_F(OtherFormatsTest, UnsupportedStreamsAreRefusedAtOnceWithTheirType) {
    // An ASF header's GUID, then noise.
    const std::string wma = dir.file("noise.wma");
    ASSERT_TRUE(fixtures::writeRandomFile(wma, 200000));
    std::string bytes("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
    const auto noise = fixtures::readFile(wma);
    bytes.append(noise.begin(), noise.end());
    std::ofstream(wma, std::ios::binary | std::ios::trunc) << bytes;
    struct Case {
        std::string type, refusal;
    };
    for (const Case& c : {Case{"audio/x-ms-wma", "Format nicht unterstützt: audio/x-ms-wma"},
                          Case{"text/html; charset=utf-8", "Format nicht unterstützt: text/html"},
                          Case{"audio/aacp", "Format nicht unterstützt: audio/aacp"}}) {
        SCOPED_TRACE(c.type);
        FileServer server(wma, c.type);
        const auto start = std::chrono::steady_clock::now();
        const UrlOpenResult result = engine.openUrlWithRefusal(server.url(), OpenOptions{});
        EXPECT_FALSE(result.handle);
        EXPECT_EQ(result.refusal, c.refusal);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    }
}

// HLS: a media playlist plays through libavformat's HLS demuxer; a master playlist plays the variant
// of the highest rate up to 320 kbit/s (the other variant's address leads nowhere).
TEST_F(OtherFormatsTest, HlsMediaAndMasterPlaylistsPlay) {
    std::string error;
    ASSERT_TRUE(fixtures::makeWithFfmpeg(
        dir.file("live.m3u8"), kSource,
        {"-c:a", "aac", "-b:a", "96k", "-f", "hls", "-hls_time", "1", "-hls_list_size", "0"}, &error))
        << error;
    std::ofstream(dir.file("master.m3u8"), std::ios::binary)
        << "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=512000\nmissing.m3u8\n"
           "#EXT-X-STREAM-INF:BANDWIDTH=128000,CODECS=\"mp4a.40.2\"\nlive.m3u8\n";
    const FolderHttpServer server(dir.path());
    for (const char* playlist : {"/live.m3u8", "/master.m3u8"}) {
        SCOPED_TRACE(playlist);
        const ChannelHandle h = engine.openUrl(server.url(playlist), OpenOptions{});
        ASSERT_TRUE(h);
        ASSERT_TRUE(engine.play(h, false));
        int left = 0;
        EXPECT_TRUE(waitUntil(
            [&] {
                auto level = engine.level(h);
                left = std::max(left, level ? level->left : 0);
                return left > 15000;
            },
            3s))
            << left;
        EXPECT_EQ(engine.downloadedBytes(h), -1);
        engine.release(h);
    }
}
