#pragma once
// A tiny threaded TCP server on 127.0.0.1 with an ephemeral port, for tests that need a real peer
// (HTTP downloads, radio streams). Each accepted connection runs the handler on a thread of its own
// and is closed when the handler returns (so clients never wait on a kept-alive connection);
// stop() (or the destructor) closes the listening socket and every connection and joins all threads,
// so a handler that waits or streams forever still ends with the test.
//
//     LoopbackServer server([](LoopbackServer::Connection& c) {
//         if (!c.readRequestHead()) return;
//         c.send(httpResponseHead(200, "OK", {{"Content-Type", "text/plain"}, {"Content-Length", "2"}}) +
//         "hi");
//     });
//     download(server.url("/file.txt"));

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

class LoopbackServer {
public:
    class Connection {
    public:
        // The request head up to and including the blank line (at most 64 KiB); nullopt when the peer
        // closes, the time-out passes or the server stops first. Bytes after the head stay readable.
        std::optional<std::string>
        readRequestHead(std::chrono::milliseconds timeout = std::chrono::seconds(5));
        // Whatever arrives next (at most maxBytes); nullopt on close, time-out or stop.
        std::optional<std::string> readSome(std::size_t maxBytes, std::chrono::milliseconds timeout);
        // Sends everything (each call goes out as its own TCP segment: Nagle is off). False when the
        // peer is gone or the server stops.
        bool send(std::string_view bytes);
        // Waits, returning early (false) when the server stops.
        bool sleepFor(std::chrono::milliseconds duration);
        // Holds the connection, reading and dropping what comes, until the peer closes it or the
        // server stops.
        void waitUntilPeerCloses();
        // Sends FIN now; further sends fail.
        void close();
        bool stopping() const;

    private:
        friend class LoopbackServer;
        Connection(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}
        bool waitFor(short events, std::chrono::milliseconds timeout);

        int fd_;
        const std::atomic<bool>& stopping_;
        std::string pending_; // read past the request head
        std::mutex fdMutex_;
        std::atomic<bool> closed_{false};
    };
    using Handler = std::function<void(Connection&)>;

    explicit LoopbackServer(Handler handler);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t port() const { return port_; }
    // "http://127.0.0.1:<port>" + path
    std::string url(std::string_view path = "/") const;
    // Connections accepted so far.
    int connectionCount() const { return accepted_.load(); }
    void stop();

private:
    void acceptLoop();

    Handler handler_;
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    std::mutex mutex_;
    std::list<std::pair<std::unique_ptr<Connection>, std::thread>> connections_;
    std::thread acceptThread_;
};

// A parsed request head; header names in lower case.
struct RequestHead {
    std::string method;
    std::string target;
    std::string version;
    std::map<std::string, std::string> headers;
};
std::optional<RequestHead> parseHttpRequest(std::string_view head);

// "HTTP/1.1 <status> <reason>\r\n" + the headers + "\r\n". Use statusLine to send another first line,
// e.g. "ICY 200 OK".
std::string httpResponseHead(int status, std::string_view reason,
                             const std::vector<std::pair<std::string, std::string>>& headers);
std::string responseHead(std::string_view statusLine,
                         const std::vector<std::pair<std::string, std::string>>& headers);
