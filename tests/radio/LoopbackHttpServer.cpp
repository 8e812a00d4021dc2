#include "radio/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int pollMs = 100;
}

QByteArray LoopbackHttpServer::Request::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) return value;
    }
    return {};
}

bool LoopbackHttpServer::Request::hasHeader(const QByteArray& name) const {
    for (const auto& entry : headers) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

QByteArray LoopbackHttpServer::response(const QByteArray& headerLines, const QByteArray& body) {
    return "HTTP/1.0 200 OK\r\n" + headerLines + "\r\n" + body;
}

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : handler_(std::move(handler)) {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (wakeFd_ < 0 || listenFd_ < 0) return;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return;
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    gateChanged_.notify_all();
    if (wakeFd_ >= 0) {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
    if (acceptor_.joinable()) acceptor_.join();
    for (std::thread& t : connections_)
        t.join();
    if (listenFd_ >= 0) ::close(listenFd_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

QString LoopbackHttpServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path);
}

QList<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void LoopbackHttpServer::openGate() {
    {
        std::lock_guard lock(mutex_);
        gateOpen_ = true;
    }
    gateChanged_.notify_all();
}

void LoopbackHttpServer::acceptLoop() {
    while (!stopping_) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(fds, 2, pollMs) <= 0 || !(fds[0].revents & POLLIN)) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        // Only this thread adds threads, and the destructor joins them after this thread ended.
        connections_.emplace_back([this, fd] { serve(fd); });
    }
}

void LoopbackHttpServer::serve(int fd) {
    Request request;
    if (readRequest(fd, request)) {
        {
            std::lock_guard lock(mutex_);
            requests_ << request;
        }
        const Reply reply = handler_(request);
        sendAll(fd, reply.bytes);
        if (generatedBody_ > 0) sendGenerated(fd, generatedBody_);
        if (reply.waitForGate) {
            std::unique_lock lock(mutex_);
            gateChanged_.wait(lock, [this] { return gateOpen_ || stopping_; });
            lock.unlock();
            sendAll(fd, reply.afterGate);
        }
        if (reply.holdOpen) holdUntilGone(fd);
    }
    ::close(fd);
    ++closed_;
}

bool LoopbackHttpServer::readRequest(int fd, Request& request) {
    QByteArray data;
    qsizetype headEnd = -1;
    qsizetype bodyLength = 0;
    while (!stopping_) {
        if (headEnd >= 0 && data.size() >= headEnd + 4 + bodyLength) break;
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(fds, 2, pollMs) <= 0 || !(fds[0].revents & (POLLIN | POLLHUP))) continue;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        data.append(buffer, n);
        if (headEnd < 0 && (headEnd = data.indexOf("\r\n\r\n")) >= 0) {
            const QList<QByteArray> lines = data.left(headEnd).split('\n');
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            request.method = first.value(0);
            request.target = first.value(1);
            request.version = first.value(2);
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    request.headers.append({lines[i].left(colon), lines[i].mid(colon + 1).trimmed()});
            }
            bodyLength = request.header("Content-Length").toLongLong();
        }
    }
    if (headEnd < 0) return false;
    request.body = data.mid(headEnd + 4, bodyLength);
    return true;
}

void LoopbackHttpServer::sendAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done), MSG_NOSIGNAL);
        if (n <= 0) return; // the client has gone; nothing more to send
        done += n;
    }
}

void LoopbackHttpServer::holdUntilGone(int fd) {
    while (!stopping_) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(fds, 2, pollMs) <= 0 || !(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char buffer[256];
        if (::recv(fd, buffer, sizeof buffer, 0) <= 0) return;
    }
}

void LoopbackHttpServer::sendGenerated(int fd, qint64 total) {
    QByteArray block;
    for (int i = 0; block.size() < 64 * 1024; ++i)
        block += "Sender " + QByteArray::number(i % 1000) + "\r\nhttp://127.0.0.1:1/stream\r\n";
    qint64 sent = 0;
    qsizetype at = 0;
    while (sent < total && !stopping_) {
        pollfd fds[2] = {{fd, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(fds, 2, pollMs) <= 0) continue;
        if (fds[0].revents & (POLLERR | POLLHUP)) return;
        if (!(fds[0].revents & POLLOUT)) continue;
        const std::size_t want = static_cast<std::size_t>(std::min<qint64>(block.size() - at, total - sent));
        const ssize_t n = ::send(fd, block.constData() + at, want, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return; // the client has gone
        sent += n;
        generatedSent_ += n;
        at = (at + n) % block.size();
    }
}
