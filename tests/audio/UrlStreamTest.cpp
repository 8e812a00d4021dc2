// Network streams through the real engine (libcurl, libmpg123, SDL's dummy driver) against ICY and
// HTTP servers on 127.0.0.1 that the tests run themselves.

#include "AudioTestSupport.h"
#include "IcyServer.h"
#include "audio/Engine.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <random>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace audiotest;
using namespace std::chrono_literals;
using audio::Engine;

namespace {

// Records the metadata handler's calls: which texts, on which thread.
struct MetadataLog {
    std::mutex mutex;
    std::vector<std::string> texts;
    std::vector<std::thread::id> threads;

    MetadataHandler handler() {
        return [this](const std::string& text) {
            std::lock_guard lock(mutex);
            texts.push_back(text);
            threads.push_back(std::this_thread::get_id());
        };
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return texts.size();
    }
    std::vector<std::string> snapshot() {
        std::lock_guard lock(mutex);
        return texts;
    }
};

std::string tags(Engine& engine, ChannelHandle h) {
    return engine.metadata(h).value_or("<null>");
}

// A child process of the test, ended by its pid when the test ends.
class Child {
public:
    explicit Child(std::vector<std::string> argv) {
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // Its input stays open and silent: openssl s_server ends a connection when its input ends.
        if (::pipe(input_) != 0) input_[0] = input_[1] = -1;
        posix_spawn_file_actions_adddup2(&actions, input_[0], STDIN_FILENO);
        posix_spawn_file_actions_addclose(&actions, input_[1]);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(input_[0]);
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(input_[1]);
    }
    bool started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
    int input_[2] = {-1, -1};
};

int runQuietly(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) ::waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return status;
}

bool portAccepts(std::uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class UrlStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
        // Frames without an Info frame, so the looped file is one continuous stream.
        mp3 = sharedMp3(
            "radio.mp3",
            {.waveform = fixtures::Waveform::Sine, .frequency = 440, .amplitude = 0.5, .seconds = 3.0},
            {.infoTag = false});
        ASSERT_FALSE(mp3.empty());
        ASSERT_TRUE(engine.openOutput(-1, 44100));
    }

    std::string mp3;
    Engine engine;
};

} // namespace

// Titles arrive as GetTags text and through the sync, once per change, on the engine's thread; the
// request asked for metadata and the "ICY 200 OK" status line was accepted.
TEST_F(UrlStreamTest, TitlesReachTagsAndSyncOncePerChange) {
    const std::string first = "StreamTitle='It''s \"A\"; or B';StreamUrl='';";
    const std::string second = "StreamTitle='Second title';StreamUrl='http://x/';";
    std::atomic<bool> go{false};
    std::atomic<int> titled{0};
    IcyPlan plan;
    plan.metadataBlock = [&](int) {
        if (!go.load()) return icyBlock("");
        return icyBlock(titled++ < 3 ? first : second);
    };
    IcyServer server(mp3, plan);

    ChannelHandle h = engine.openUrl(server.url(), OpenOptions{});
    ASSERT_TRUE(h);
    EXPECT_TRUE(server.askedForMetadata());
    EXPECT_EQ(tags(engine, h), "<null>") << "no title sent yet";
    MetadataLog log;
    const MetadataSubscription subscription = engine.onMetadata(h, log.handler());
    ASSERT_TRUE(subscription);
    ASSERT_TRUE(engine.play(h, false));
    EXPECT_EQ(engine.state(h), ChannelState::Playing);
    go = true;

    ASSERT_TRUE(waitUntil([&] { return log.count() >= 2; }, 15s));
    ASSERT_TRUE(waitUntil([&] { return titled.load() >= 6; }, 15s)) << "the server repeats the second title";
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(log.snapshot(), (std::vector<std::string>{first, second}));
    EXPECT_EQ(tags(engine, h), second);
    EXPECT_NE(log.threads[0], std::this_thread::get_id());
    EXPECT_EQ(engine.state(h), ChannelState::Playing);
    const std::optional<ChannelLevel> level = engine.level(h);
    ASSERT_TRUE(level);
    EXPECT_GT(level->left, 10000) << "a 0.5 sine is playing";
    EXPECT_GT(engine.position(h), 0);
    EXPECT_EQ(engine.length(h), -1) << "a live stream has no length";
    EXPECT_FALSE(engine.seek(h, 0)) << "nor can it seek";
}

// An icecast-style answer: HTTP/1.0 status line, and a server that sends no metadata at all.
TEST_F(UrlStreamTest, PlainHttpStreamWithoutMetadata) {
    IcyPlan plan;
    plan.statusLine = "HTTP/1.0 200 OK";
    plan.metaIntervalHeader = "-";
    IcyServer server(mp3, plan);
    ChannelHandle h = engine.openUrl(server.url(), OpenOptions{});
    ASSERT_TRUE(h);
    ASSERT_TRUE(engine.play(h, false));
    EXPECT_EQ(engine.state(h), ChannelState::Playing);
    EXPECT_FALSE(engine.metadata(h));
    EXPECT_NEAR(engine.seconds(h, 44100 * 4), 1.0, 1e-9);
}

// A station without a burst whose bytes come in small pieces, only as fast as they are played: it is
// recognised from its first frames, opens once a smooth start is buffered and plays on.
TEST_F(UrlStreamTest, AStationWhoseBytesTrickleInOpensAndPlaysOn) {
    IcyPlan plan;
    plan.metaInterval = 500;
    plan.burstBlocks = 0;
    IcyServer server(mp3, plan);
    ChannelHandle h = engine.openUrl(server.url(), OpenOptions{});
    ASSERT_TRUE(h);
    ASSERT_TRUE(engine.play(h, false));
    EXPECT_TRUE(waitUntil([&] { return engine.position(h) > 2 * 44100 * 4; }, 20s))
        << "the stream did not play on; it is " << static_cast<int>(engine.state(h));
}

// A server that closes the connection: the stream plays out what it has and then stops.
TEST_F(UrlStreamTest, DroppedConnectionEndsTheStream) {
    IcyPlan plan;
    plan.blocks = 6;
    IcyServer server(mp3, plan);
    ChannelHandle h = engine.openUrl(server.url(), OpenOptions{});
    ASSERT_TRUE(h);
    ASSERT_TRUE(engine.play(h, false));
    ASSERT_TRUE(waitUntil([&] { return engine.state(h) != ChannelState::Playing; }, 20s));
    ASSERT_TRUE(waitUntil([&] { return engine.state(h) == ChannelState::Stopped; }, 20s));
    EXPECT_FALSE(engine.play(h, false)) << "nothing left to play";
}

// A server that keeps the connection open but stops sending: libcurl's low-speed check would take
// many seconds, the engine notices its empty buffer and reports the stream as stalled.
TEST_F(UrlStreamTest, ServerThatStopsSendingStalls) {
    IcyPlan plan;
    plan.blocks = 5;
    plan.end = IcyPlan::End::Hang;
    IcyServer server(mp3, plan);
    ChannelHandle h = engine.openUrl(server.url(), OpenOptions{});
    ASSERT_TRUE(h);
    ASSERT_TRUE(engine.play(h, false));
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitUntil([&] { return engine.state(h) != ChannelState::Playing; }, 15s));
    EXPECT_EQ(engine.state(h), ChannelState::Stalled);
    RecordProperty("SecondsUntilStalled", std::to_string(secondsSince(start)));
    const auto silent = [&] {
        const std::optional<ChannelLevel> level = engine.level(h);
        return level && level->left == 0 && level->right == 0;
    };
    EXPECT_TRUE(waitUntil(silent, 2s)) << "silence while stalled";
}

// Creation never hangs: a server that accepts but never answers fails within the open time-out
// (5 s by default), a port nobody listens on at once.
TEST_F(UrlStreamTest, ServerThatNeverAnswersFailsWithinTheTimeOut) {
    LoopbackServer silent([](LoopbackServer::Connection& c) {
        c.readRequestHead();
        while (c.sleepFor(1s)) {
        }
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(engine.openUrl(silent.url("/"), OpenOptions{}));
    double waited = secondsSince(start);
    EXPECT_GT(waited, 3.0) << "gave up long before its time-out";
    EXPECT_LT(waited, 9.0);

    std::uint16_t freePort = 0;
    {
        LoopbackServer probe([](LoopbackServer::Connection&) {});
        freePort = probe.port();
    }
    start = std::chrono::steady_clock::now();
    std::string refused = "http://127.0.0.1:" + std::to_string(freePort) + "/";
    EXPECT_FALSE(engine.openUrl(refused, OpenOptions{}));
    EXPECT_LT(secondsSince(start), 3.0);
}

// A player that closes while a station connects: closeOutput ends the open waiting on another thread at
// once, long before its time-out; the connection is closed and the next open after openOutput works.
TEST_F(UrlStreamTest, FreeEndsAnOpenWaitingOnASilentServer) {
    std::atomic<bool> closed{false};
    LoopbackServer silent([&](LoopbackServer::Connection& c) {
        c.readRequestHead();
        // Nothing more comes from the client; the read ends when it closes (or after 30 s).
        c.readSome(1, 30s);
        closed = !c.stopping();
    });
    std::atomic<ChannelHandle> result{ChannelHandle(1)};
    std::atomic<bool> returned{false};
    std::thread opener([&] {
        result = engine.openUrl(silent.url("/"), OpenOptions{});
        returned = true;
    });
    ASSERT_TRUE(waitUntil([&] { return silent.connectionCount() == 1; }, 5s));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(engine.closeOutput());
    EXPECT_TRUE(waitUntil([&] { return returned.load(); }, 2s)) << "the open still waits for its time-out";
    opener.join();
    EXPECT_LT(secondsSince(start), 2.0);
    EXPECT_FALSE(result.load());
    EXPECT_TRUE(waitUntil([&] { return closed.load(); }, 2s)) << "the connection stays open";

    IcyServer server(mp3, IcyPlan{});
    ASSERT_TRUE(engine.openOutput(-1, 44100));
    EXPECT_TRUE(engine.openUrl(server.url(), OpenOptions{}));
}

// The bytes decide, not the label: MP3 sent under an AAC or HLS type plays; a web page or an error
// status is refused as soon as its head arrives, not after the time-out.
TEST_F(UrlStreamTest, MpegBytesPlayUnderAnyLabelAndOtherResponsesAreRefusedQuickly) {
    struct Case {
        std::string statusLine, contentType;
        bool plays;
    };
    for (const Case& c : {Case{"HTTP/1.0 200 OK", "audio/aacp", true}, Case{"ICY 200 OK", "audio/aac", true},
                          Case{"HTTP/1.1 200 OK", "application/vnd.apple.mpegurl", true},
                          Case{"HTTP/1.1 200 OK", "text/html; charset=utf-8", false},
                          Case{"HTTP/1.1 404 Not Found", "audio/mpeg", false}}) {
        SCOPED_TRACE(c.statusLine + " " + c.contentType);
        IcyPlan plan;
        plan.statusLine = c.statusLine;
        plan.contentType = c.contentType;
        IcyServer server(mp3, plan);
        auto start = std::chrono::steady_clock::now();
        const ChannelHandle h = engine.openUrl(server.url(), OpenOptions{});
        EXPECT_EQ(static_cast<bool>(h), c.plays);
        engine.release(h);
        EXPECT_LT(secondsSince(start), 3.0);
    }
    EXPECT_FALSE(engine.openUrl("ftp://127.0.0.1/stream", OpenOptions{}));
    EXPECT_FALSE(engine.openUrl("not a url", OpenOptions{}));
}

// Redirects are followed to another port; a redirect to anything but http(s), or an endless chain
// of them, fails.
TEST_F(UrlStreamTest, RedirectsToAnotherPort) {
    IcyPlan plan;
    plan.metadataBlock = [](int) { return icyBlock("StreamTitle='Behind a redirect';"); };
    IcyServer target(mp3, plan);
    auto redirector = [](std::string location) {
        return [location](LoopbackServer::Connection& c) {
            if (!c.readRequestHead()) return;
            // The redirect's own head carries metadata settings that must not leak into the target's.
            c.send(httpResponseHead(302, "Found",
                                    {{"Location", location}, {"icy-metaint", "5"}, {"Content-Length", "0"}}));
        };
    };
    LoopbackServer hop(redirector(target.url()));
    ChannelHandle h = engine.openUrl(hop.url("/listen"), OpenOptions{});
    ASSERT_TRUE(h);
    ASSERT_TRUE(engine.play(h, false));
    EXPECT_TRUE(waitUntil([&] { return tags(engine, h) == "StreamTitle='Behind a redirect';"; }, 10s))
        << tags(engine, h);

    LoopbackServer toFile(redirector("file:///etc/passwd"));
    EXPECT_FALSE(engine.openUrl(toFile.url(), OpenOptions{}));
    std::unique_ptr<LoopbackServer> loop;
    loop = std::make_unique<LoopbackServer>([&loop](LoopbackServer::Connection& c) {
        if (!c.readRequestHead()) return;
        c.send(httpResponseHead(302, "Found", {{"Location", loop->url("/again")}, {"Content-Length", "0"}}));
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(engine.openUrl(loop->url(), OpenOptions{}));
    EXPECT_LT(secondsSince(start), 3.0);
    EXPECT_LE(loop->connectionCount(), 8);
}

// A metadata block that arrives in two network reads, and a title of the greatest possible length
// (4080 bytes, no terminating NUL inside the block).
TEST_F(UrlStreamTest, SplitAndLongestMetadataBlocks) {
    {
        IcyPlan plan;
        plan.splitMetadata = true;
        plan.metadataBlock = [](int) { return icyBlock("StreamTitle='Split in two';StreamUrl='';"); };
        IcyServer server(mp3, plan);
        ChannelHandle h = engine.openUrl(server.url(), OpenOptions{});
        ASSERT_TRUE(h);
        EXPECT_TRUE(waitUntil([&] { return tags(engine, h) != "<null>"; }, 10s));
        EXPECT_EQ(tags(engine, h), "StreamTitle='Split in two';StreamUrl='';");
        engine.release(h);
    }
    {
        std::string longest = "StreamTitle='" + std::string(4080 - 15, 'x') + "';";
        ASSERT_EQ(longest.size(), 4080u);
        IcyPlan plan;
        plan.metadataBlock = [&](int) { return icyBlock(longest); };
        IcyServer server(mp3, plan);
        ChannelHandle h = engine.openUrl(server.url(), OpenOptions{});
        ASSERT_TRUE(h);
        ASSERT_TRUE(engine.play(h, false));
        EXPECT_TRUE(waitUntil([&] { return tags(engine, h) != "<null>"; }, 10s));
        EXPECT_EQ(tags(engine, h), longest);
        EXPECT_EQ(engine.state(h), ChannelState::Playing) << "the audio after the block is intact";
    }
}

// Binary garbage in a metadata block is dropped without losing the block framing, and a server whose
// metadata interval is a lie still gives a stream that plays.
TEST_F(UrlStreamTest, GarbageMetadataIsDropped) {
    std::mt19937 random(5);
    std::string junk(1, static_cast<char>(200));
    for (int i = 0; i < 200 * 16; ++i)
        junk.push_back(static_cast<char>(random() & 0xff));
    junk[5] = '\x01'; // surely binary
    IcyPlan plan;
    plan.metadataBlock = [&](int block) {
        if (block < 4) return junk;
        return icyBlock("StreamTitle='After the junk';");
    };
    IcyServer server(mp3, plan);
    ChannelHandle h = engine.openUrl(server.url(), OpenOptions{});
    ASSERT_TRUE(h);
    MetadataLog log;
    const MetadataSubscription subscription = engine.onMetadata(h, log.handler());
    ASSERT_TRUE(engine.play(h, false));
    ASSERT_TRUE(waitUntil([&] { return log.count() >= 1; }, 10s));
    EXPECT_EQ(log.snapshot(), std::vector<std::string>{"StreamTitle='After the junk';"});
    EXPECT_EQ(engine.state(h), ChannelState::Playing);

    IcyPlan liar;
    liar.metaIntervalHeader = "1000"; // blocks really come every 8192 bytes
    liar.metadataBlock = [](int) { return icyBlock("StreamTitle='Never seen as such';"); };
    IcyServer lying(mp3, liar);
    ChannelHandle l = engine.openUrl(lying.url(), OpenOptions{});
    ASSERT_TRUE(l);
    ASSERT_TRUE(engine.play(l, false));
    std::this_thread::sleep_for(1500ms);
    EXPECT_NE(engine.state(l), ChannelState::Stopped);
}

// Once a channel is stopped or freed, or its subscription removed, its handler is never called again,
// though its server keeps sending new titles. A subscription may outlive its engine.
TEST_F(UrlStreamTest, StoppedFreedOrUnsubscribedChannelsCallNoHandler) {
    std::atomic<int> counter{0};
    IcyPlan plan;
    plan.burstBlocks = 1;
    plan.metaInterval = 4096;
    plan.metadataBlock = [&](int) {
        return icyBlock("StreamTitle='Title " + std::to_string(counter++) + "';");
    };
    IcyServer server(mp3, plan);
    for (const char* how : {"stopped", "freed", "unsubscribed"}) {
        SCOPED_TRACE(how);
        const std::string_view way = how;
        ChannelHandle h = engine.openUrl(server.url(), OpenOptions{});
        ASSERT_TRUE(h);
        MetadataLog log;
        MetadataSubscription subscription = engine.onMetadata(h, log.handler());
        ASSERT_TRUE(engine.play(h, false));
        ASSERT_TRUE(waitUntil([&] { return log.count() >= 2; }, 10s));
        if (way == "unsubscribed")
            subscription.reset();
        else
            ASSERT_TRUE(way == "freed" ? engine.release(h) : engine.stop(h));
        std::size_t seen = log.count();
        std::this_thread::sleep_for(1200ms);
        EXPECT_EQ(log.count(), seen);
        EXPECT_EQ(engine.state(h) == ChannelState::Stopped, way != "unsubscribed");
        engine.release(h);
    }

    MetadataLog log;
    MetadataSubscription outliving;
    engine.closeOutput(); // the dummy driver opens one device at a time
    {
        Engine shortLived;
        ASSERT_TRUE(shortLived.openOutput(-1, 44100));
        ChannelHandle h = shortLived.openUrl(server.url(), OpenOptions{});
        ASSERT_TRUE(h);
        outliving = shortLived.onMetadata(h, log.handler());
        ASSERT_TRUE(shortLived.play(h, false));
        ASSERT_TRUE(waitUntil([&] { return log.count() >= 1; }, 10s));
    }
    outliving.reset();
}

// TLS verification stays on: a server whose certificate nobody signed is refused during the handshake
// (at once), instead of being talked to until the open time-out.
TEST_F(UrlStreamTest, HttpsWithAnUntrustedCertificateIsRefused) {
    const char* openssl = "/usr/bin/openssl";
    if (::access(openssl, X_OK) != 0)
        GTEST_SKIP() << "SKIPPED LOUDLY: openssl is not installed, no TLS server to test with";
    fixtures::TempDir dir;
    std::string key = dir.file("key.pem"), cert = dir.file("cert.pem");
    ASSERT_EQ(
        runQuietly({openssl, "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-keyout", key, "-out", cert, "-days", "1", "-subj", "/CN=127.0.0.1"}),
        0);
    std::uint16_t port = 0;
    {
        LoopbackServer probe([](LoopbackServer::Connection&) {});
        port = probe.port();
    }
    Child server({openssl, "s_server", "-quiet", "-accept", "127.0.0.1:" + std::to_string(port), "-cert",
                  cert, "-key", key});
    ASSERT_TRUE(server.started());
    ASSERT_TRUE(waitUntil([&] { return portAccepts(port); }, 10s)) << "openssl s_server did not come up";
    auto start = std::chrono::steady_clock::now();
    std::string url = "https://127.0.0.1:" + std::to_string(port) + "/stream";
    EXPECT_FALSE(engine.openUrl(url, OpenOptions{}));
    EXPECT_LT(secondsSince(start), 2.5) << "the handshake went through: certificate not verified";
}
