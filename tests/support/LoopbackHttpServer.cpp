#include "support/LoopbackHttpServer.h"

using namespace std::chrono_literals;

namespace {
constexpr auto requestWait = 30s;
constexpr auto gateSlice = 50ms;
} // namespace

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

LoopbackHttpServer::LoopbackHttpServer(Handler handler)
    : handler_(std::move(handler)), server_([this](LoopbackServer::Connection& c) { serve(c); }) {}

LoopbackHttpServer::~LoopbackHttpServer() {
    server_.stop();
}

QString LoopbackHttpServer::url(const QString& path) const {
    return QString::fromStdString(server_.url(path.toStdString()));
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

void LoopbackHttpServer::serve(LoopbackServer::Connection& connection) {
    Request request;
    if (readRequest(connection, request)) {
        {
            std::lock_guard lock(mutex_);
            requests_ << request;
        }
        const Reply reply = handler_(request);
        connection.send(reply.bytes.toStdString());
        if (generatedBody_ > 0) sendGenerated(connection, generatedBody_);
        if (reply.waitForGate && waitForGate(connection)) connection.send(reply.afterGate.toStdString());
        if (reply.holdOpen) connection.waitUntilPeerCloses();
    }
    connection.close();
    ++closed_;
}

bool LoopbackHttpServer::readRequest(LoopbackServer::Connection& connection, Request& request) {
    const auto head = connection.readRequestHead(requestWait);
    if (!head) return false;
    const auto parsed = parseHttpRequest(*head);
    if (!parsed) return false;
    request.method = QByteArray::fromStdString(parsed->method);
    request.target = QByteArray::fromStdString(parsed->target);
    request.version = QByteArray::fromStdString(parsed->version);
    // The header lines as sent, in their order and letter case.
    const QList<QByteArray> lines = QByteArray::fromStdString(*head).split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0) request.headers.append({lines[i].left(colon), lines[i].mid(colon + 1).trimmed()});
    }
    const qsizetype bodyLength = request.header("Content-Length").toLongLong();
    while (request.body.size() < bodyLength) {
        const auto more = connection.readSome(static_cast<std::size_t>(bodyLength - request.body.size()),
                                              requestWait);
        if (!more) return false;
        request.body += QByteArray::fromStdString(*more);
    }
    return true;
}

bool LoopbackHttpServer::waitForGate(const LoopbackServer::Connection& connection) {
    std::unique_lock lock(mutex_);
    while (!gateOpen_) {
        if (connection.stopping()) return false;
        gateChanged_.wait_for(lock, gateSlice);
    }
    return true;
}

void LoopbackHttpServer::sendGenerated(LoopbackServer::Connection& connection, qint64 total) {
    std::string block;
    for (int i = 0; block.size() < 64 * 1024; ++i)
        block += "Sender " + std::to_string(i % 1000) + "\r\nhttp://127.0.0.1:1/stream\r\n";
    qint64 sent = 0;
    std::size_t at = 0;
    while (sent < total) {
        const auto piece = static_cast<std::size_t>(std::min<qint64>(
            std::min<qint64>(static_cast<qint64>(block.size() - at), total - sent), 16 * 1024));
        if (!connection.send(std::string_view(block).substr(at, piece))) return; // the client has gone
        sent += static_cast<qint64>(piece);
        generatedSent_ += static_cast<qint64>(piece);
        at = (at + piece) % block.size();
    }
}
