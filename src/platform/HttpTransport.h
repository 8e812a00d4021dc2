#pragma once
// One HTTP request as the download component needs it, behind an interface so the component can be
// tested with a scripted fake. perform() runs on the caller's thread; cancel() may come from any
// thread, before or during perform().

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <optional>

struct HttpRequest {
    bool secure = false; // https on TLS instead of http
    QString host;
    int port = 80;
    QString path;  // the object path, beginning with "/"
    QString agent; // User-Agent; empty sends none
    QString acceptTypes = QStringLiteral("*/*");
    QString userName; // credentials are sent when either is given
    QString password;
    QString postQuery; // not empty: a POST with this form-encoded body
    QString referer;
    bool useCache = false;        // false asks every cache on the way for a fresh copy
    int connectTimeoutMs = 10000; // to establish the connection, TLS included
    int stallTimeoutMs = 20000;   // longest time without a byte once connected
};

// Receives the final response (after redirects). onHead comes once, before the first onBody, and
// also for a response without body; returning false from either ends the transfer as Aborted.
class HttpSink {
public:
    virtual ~HttpSink() = default;
    // contentLength: the raw value of the Content-Length header, or nothing when there is none.
    virtual bool onHead(const std::optional<QByteArray>& contentLength) = 0;
    virtual bool onBody(const char* data, std::size_t size) = 0;
};

enum class HttpResult {
    Completed, // the response was read to its end
    Failed,    // no connection, no answer, a bad URL or a broken transfer
    TimedOut,  // the connect or the stall time-out ran out
    Aborted,   // the sink asked to stop
    Cancelled, // cancel() was called
};

class IHttpTransport {
public:
    virtual ~IHttpTransport() = default;
    virtual HttpResult perform(const HttpRequest& request, HttpSink& sink) = 0;
    virtual void cancel() = 0;
};
