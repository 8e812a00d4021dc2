#pragma once
// An HTTP server on 127.0.0.1 for the download and station tests, on LoopbackServer: the request head
// (and a POST body) is read and recorded, then the handler's reply is sent byte for byte, so a test
// can send short bodies, bad headers or nothing at all.

#include "support/LoopbackServer.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

class LoopbackHttpServer {
public:
    struct Request {
        QByteArray method;
        QByteArray target;
        QByteArray version;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        // The value of the first header of that name (any letter case); empty when there is none.
        QByteArray header(const QByteArray& name) const;
        bool hasHeader(const QByteArray& name) const;
    };
    struct Reply {
        QByteArray bytes;         // sent at once
        bool waitForGate = false; // then wait for openGate() and send afterGate
        QByteArray afterGate;
        bool holdOpen = false; // keep the connection until the client leaves or the server stops
    };
    using Handler = std::function<Reply(const Request&)>;

    explicit LoopbackHttpServer(Handler handler);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    quint16 port() const { return server_.port(); }
    QString url(const QString& path) const;
    QList<Request> requests() const;
    // Connections whose handling has ended (the reply sent and the socket closed).
    int closedConnections() const { return closed_; }
    void openGate();
    // Every reply's bytes are followed by this many body bytes (station lines), made up on the fly
    // and never held whole, sent as fast as the client reads them until it leaves or the server stops.
    void setGeneratedBody(qint64 bytes) { generatedBody_ = bytes; }
    // Bytes of generated bodies the clients have taken so far.
    qint64 generatedSent() const { return generatedSent_; }

    // "HTTP/1.0 200 OK", the given header lines (each ending in CR LF), an empty line, then body.
    static QByteArray response(const QByteArray& headerLines, const QByteArray& body = {});

private:
    void serve(LoopbackServer::Connection& connection);
    static bool readRequest(LoopbackServer::Connection& connection, Request& request);
    bool waitForGate(const LoopbackServer::Connection& connection);
    void sendGenerated(LoopbackServer::Connection& connection, qint64 total);

    Handler handler_;
    std::atomic<int> closed_{0};
    std::atomic<qint64> generatedBody_{0};
    std::atomic<qint64> generatedSent_{0};
    mutable std::mutex mutex_;
    std::condition_variable gateChanged_;
    bool gateOpen_ = false;
    QList<Request> requests_;
    LoopbackServer server_; // last: its threads use the members above
};
