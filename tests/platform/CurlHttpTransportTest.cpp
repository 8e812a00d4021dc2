// The libcurl transport against sockets on 127.0.0.1 that never answer: it must give up on its own
// and at once when cancelled, so a dead server cannot hold a download.
#include "platform/CurlHttpTransport.h"

#include <arpa/inet.h>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A socket listening on 127.0.0.1 that never accepts: the kernel completes connections into its
// queue, so a client is connected and hears nothing.
class SilentListener {
public:
    explicit SilentListener(int backlog) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            ::listen(fd_, backlog) == 0 && ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port_ = ntohs(addr.sin_port);
    }
    ~SilentListener() {
        for (int fd : fillers_)
            ::close(fd);
        if (fd_ >= 0) ::close(fd_);
    }
    int port() const { return port_; }
    // Connects until a connection no longer completes: the queue is full and new ones hang.
    bool fillQueue() {
        for (int i = 0; i < 16; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            fillers_.push_back(fd);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            addr.sin_port = htons(static_cast<uint16_t>(port_));
            ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 300) == 0) return true;
        }
        return false;
    }

private:
    int fd_ = -1;
    int port_ = 0;
    std::vector<int> fillers_;
};

class NullSink : public HttpSink {
public:
    bool onHead(const std::optional<QByteArray>&) override { return true; }
    bool onBody(const char*, std::size_t) override { return true; }
};

HttpRequest requestTo(int port) {
    HttpRequest r;
    r.host = QStringLiteral("127.0.0.1");
    r.port = port;
    r.path = QStringLiteral("/");
    r.connectTimeoutMs = 300;
    r.stallTimeoutMs = 300;
    return r;
}

// perform() on a thread of its own, so the test can bound how long it takes to come back.
std::future<HttpResult> performAsync(CurlHttpTransport& transport, const HttpRequest& request) {
    return std::async(std::launch::async, [&transport, request] {
        NullSink sink;
        return transport.perform(request, sink);
    });
}

} // namespace

TEST(CurlHttpTransport, UrlFromTheParts) {
    HttpRequest r = requestTo(8000);
    r.host = "radio.example";
    r.path = "/a b/ä.m3u?x=1";
    EXPECT_EQ(curlUrlFor(r), "http://radio.example:8000/a%20b/%C3%A4.m3u?x=1");
    r.secure = true;
    r.port = 443;
    EXPECT_EQ(curlUrlFor(r), "https://radio.example:443/a%20b/%C3%A4.m3u?x=1");
    for (const char* host : {"", "user@host", "host:x:y z", "a?b"}) {
        r.host = host;
        EXPECT_EQ(curlUrlFor(r), QByteArray()) << host;
    }
}

TEST(CurlHttpTransport, NoServerOrNoHostFails) {
    CurlHttpTransport transport;
    NullSink sink;
    HttpRequest r = requestTo(0);
    EXPECT_EQ(transport.perform(r, sink), HttpResult::Failed);
    r = requestTo(1); // nothing listens on port 1 here
    r.connectTimeoutMs = 5000;
    EXPECT_EQ(transport.perform(r, sink), HttpResult::Failed);
}

TEST(CurlHttpTransport, ConnectionThatDoesNotCompleteTimesOut) {
    SilentListener server(0);
    ASSERT_NE(server.port(), 0);
    if (!server.fillQueue()) GTEST_SKIP() << "SKIPPED LOUDLY: the kernel kept accepting into a full queue";
    CurlHttpTransport transport;
    HttpRequest r = requestTo(server.port());
    r.stallTimeoutMs = 60000;
    auto result = performAsync(transport, r);
    ASSERT_EQ(result.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(result.get(), HttpResult::TimedOut);
}

TEST(CurlHttpTransport, CancelEndsAWaitingTransferAtOnce) {
    SilentListener server(16);
    ASSERT_NE(server.port(), 0);
    CurlHttpTransport transport;
    HttpRequest r = requestTo(server.port());
    r.stallTimeoutMs = 60000;
    auto result = performAsync(transport, r);
    EXPECT_EQ(result.wait_for(300ms), std::future_status::timeout);
    transport.cancel();
    ASSERT_EQ(result.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(result.get(), HttpResult::Cancelled);

    // A cancel before the start is kept.
    CurlHttpTransport early;
    early.cancel();
    NullSink sink;
    EXPECT_EQ(early.perform(r, sink), HttpResult::Cancelled);
}
