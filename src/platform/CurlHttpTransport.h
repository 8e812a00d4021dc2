#pragma once
// The HTTP transport on libcurl: HTTP/1.0, the system proxy from libcurl's environment variables,
// redirects followed (http and https only), a connect and a stall time-out of its own.

#include "platform/CurlHandles.h"
#include "platform/HttpTransport.h"

#include <atomic>

class CurlHttpTransport : public IHttpTransport {
public:
    CurlHttpTransport();
    ~CurlHttpTransport() override;
    CurlHttpTransport(const CurlHttpTransport&) = delete;
    CurlHttpTransport& operator=(const CurlHttpTransport&) = delete;

    HttpResult perform(const HttpRequest& request, HttpSink& sink) override;
    void cancel() override;

private:
    CurlMulti multi_; // made at construction so cancel() can wake a running perform()
    std::atomic<bool> cancelled_{false};
};

// The URL libcurl is given for a request, or an empty text when the host cannot be one.
QByteArray curlUrlFor(const HttpRequest& request);
