#include "support/LoopbackServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr std::chrono::milliseconds kPollSlice{50};
constexpr std::size_t kMaxHead = 64 * 1024;

std::string lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}
} // namespace

LoopbackServer::LoopbackServer(Handler handler) : handler_(std::move(handler)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) throw std::runtime_error("socket() failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
    stop();
}

std::string LoopbackServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void LoopbackServer::stop() {
    if (stopping_.exchange(true)) return;
    if (acceptThread_.joinable()) acceptThread_.join();
    ::close(listenFd_);
    std::list<std::pair<std::unique_ptr<Connection>, std::thread>> connections;
    {
        std::lock_guard lock(mutex_);
        connections.swap(connections_);
    }
    for (auto& [connection, thread] : connections) {
        {
            std::lock_guard lock(connection->fdMutex_);
            ::shutdown(connection->fd_, SHUT_RDWR); // wakes a handler blocked on the socket
        }
        thread.join();
        ::close(connection->fd_);
    }
}

void LoopbackServer::acceptLoop() {
    while (!stopping_.load()) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(kPollSlice.count())) <= 0) continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ++accepted_;
        std::lock_guard lock(mutex_);
        auto connection = std::unique_ptr<Connection>(new Connection(fd, stopping_));
        Connection* raw = connection.get();
        connections_.emplace_back(std::move(connection), std::thread([this, raw] {
                                      handler_(*raw);
                                      raw->close(); // a handler that returns has said everything
                                  }));
    }
}

bool LoopbackServer::Connection::stopping() const {
    return stopping_.load();
}

bool LoopbackServer::Connection::waitFor(short events, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!stopping_.load()) {
        pollfd p{fd_, events, 0};
        int ready = ::poll(&p, 1, static_cast<int>(kPollSlice.count()));
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) return false;
    }
    return false;
}

std::optional<std::string> LoopbackServer::Connection::readSome(std::size_t maxBytes,
                                                                std::chrono::milliseconds timeout) {
    if (!pending_.empty()) {
        std::string out = pending_.substr(0, maxBytes);
        pending_.erase(0, out.size());
        return out;
    }
    if (!waitFor(POLLIN, timeout)) return std::nullopt;
    std::string buffer(maxBytes, '\0');
    ssize_t got = ::recv(fd_, buffer.data(), buffer.size(), 0);
    if (got <= 0) return std::nullopt;
    buffer.resize(static_cast<std::size_t>(got));
    return buffer;
}

std::optional<std::string> LoopbackServer::Connection::readRequestHead(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string head = std::move(pending_);
    pending_.clear();
    for (;;) {
        auto end = head.find("\r\n\r\n");
        if (end != std::string::npos) {
            pending_ = head.substr(end + 4);
            head.resize(end + 4);
            return head;
        }
        if (head.size() > kMaxHead) return std::nullopt;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        auto more = readSome(4096, left);
        if (!more) return std::nullopt;
        head += *more;
    }
}

bool LoopbackServer::Connection::send(std::string_view bytes) {
    while (!bytes.empty()) {
        if (closed_ || !waitFor(POLLOUT, std::chrono::seconds(30))) return false;
        ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EAGAIN || errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool LoopbackServer::Connection::sleepFor(std::chrono::milliseconds duration) {
    auto deadline = std::chrono::steady_clock::now() + duration;
    while (!stopping_.load()) {
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return true;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(deadline - now, kPollSlice));
    }
    return false;
}

void LoopbackServer::Connection::waitUntilPeerCloses() {
    pending_.clear();
    char buffer[256];
    while (!closed_) {
        if (!waitFor(POLLIN, std::chrono::hours(1))) return; // only the server's stop ends this wait
        if (::recv(fd_, buffer, sizeof buffer, 0) <= 0) return;
    }
}

void LoopbackServer::Connection::close() {
    std::lock_guard lock(fdMutex_);
    closed_ = true;
    ::shutdown(fd_, SHUT_RDWR);
}

std::optional<RequestHead> parseHttpRequest(std::string_view head) {
    RequestHead request;
    auto lineEnd = head.find("\r\n");
    if (lineEnd == std::string_view::npos) return std::nullopt;
    std::string_view line = head.substr(0, lineEnd);
    auto first = line.find(' ');
    auto second = line.rfind(' ');
    if (first == std::string_view::npos || second == first) return std::nullopt;
    request.method = std::string(line.substr(0, first));
    request.target = std::string(line.substr(first + 1, second - first - 1));
    request.version = std::string(line.substr(second + 1));
    head.remove_prefix(lineEnd + 2);
    while ((lineEnd = head.find("\r\n")) != std::string_view::npos && lineEnd > 0) {
        line = head.substr(0, lineEnd);
        auto colon = line.find(':');
        if (colon != std::string_view::npos)
            request.headers[lower(trim(line.substr(0, colon)))] = std::string(trim(line.substr(colon + 1)));
        head.remove_prefix(lineEnd + 2);
    }
    return request;
}

std::string responseHead(std::string_view statusLine,
                         const std::vector<std::pair<std::string, std::string>>& headers) {
    std::string out(statusLine);
    out += "\r\n";
    for (const auto& [name, value] : headers)
        out += name + ": " + value + "\r\n";
    out += "\r\n";
    return out;
}

std::string httpResponseHead(int status, std::string_view reason,
                             const std::vector<std::pair<std::string, std::string>>& headers) {
    return responseHead("HTTP/1.1 " + std::to_string(status) + " " + std::string(reason), headers);
}
