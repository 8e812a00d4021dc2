#include "platform/CurlHttpTransport.h"

#include "platform/CurlHandles.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

void appendHeader(CurlList& list, const QByteArray& line) {
    appendCurlList(list, line.constData());
}

bool validHost(const QString& host) {
    if (host.isEmpty()) return false;
    for (const QChar c : host) {
        // Anything that would change how libcurl reads the URL makes a host no server can have.
        if (c.unicode() <= 0x20 || c == u'@' || c == u'/' || c == u'?' || c == u'#' || c == u'\\' ||
            c.unicode() == 0x7f)
            return false;
    }
    return true;
}

// The path is sent as given, except for bytes that cannot stand in a request line.
QByteArray escapePath(const QString& path) {
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    for (const char ch : path.toUtf8()) {
        const auto b = static_cast<unsigned char>(ch);
        if (b <= 0x20 || b >= 0x7f) {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

// What one transfer knows while libcurl calls back into it.
struct Transfer {
    explicit Transfer(HttpSink& s) : sink(s) {}
    HttpSink& sink;
    std::optional<QByteArray> contentLength;
    bool headDelivered = false;
    bool aborted = false;
    bool connected = false;
    curl_off_t uploaded = 0;
    Clock::time_point lastActivity = Clock::now();

    bool deliverHead() {
        headDelivered = true;
        if (!sink.onHead(contentLength)) aborted = true;
        return !aborted;
    }
};

size_t onHeaderLine(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const size_t n = size * count;
    t.lastActivity = Clock::now();
    const QByteArray line(data, static_cast<qsizetype>(n));
    // Every status line starts a new response (a redirect, a proxy's answer): only the last one counts.
    if (line.startsWith("HTTP/")) {
        t.contentLength.reset();
    } else if (!t.contentLength && line.size() >= 15 && line.left(15).toLower() == "content-length:") {
        t.contentLength = line.mid(15).trimmed();
    }
    return n;
}

size_t onBodyData(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const size_t n = size * count;
    if (!t.headDelivered && !t.deliverHead()) return 0;
    if (!t.sink.onBody(data, n)) {
        t.aborted = true;
        return 0;
    }
    t.lastActivity = Clock::now();
    return n;
}

int onConnected(void* user, char*, char*, int, int) {
    auto& t = *static_cast<Transfer*>(user);
    t.connected = true;
    t.lastActivity = Clock::now();
    return CURL_PREREQFUNC_OK;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
    auto& t = *static_cast<Transfer*>(user);
    if (uploaded != t.uploaded) {
        t.uploaded = uploaded;
        t.lastActivity = Clock::now();
    }
    return 0;
}

} // namespace

QByteArray curlUrlFor(const HttpRequest& request) {
    if (!validHost(request.host) || request.port <= 0 || request.port > 65535) return {};
    return (request.secure ? QByteArrayLiteral("https://") : QByteArrayLiteral("http://")) +
           request.host.toUtf8() + ':' + QByteArray::number(request.port) + escapePath(request.path);
}

CurlHttpTransport::CurlHttpTransport() : multi_(makeCurlMulti()) {
    if (!multi_) throw std::bad_alloc();
}

CurlHttpTransport::~CurlHttpTransport() = default;

void CurlHttpTransport::cancel() {
    cancelled_ = true;
    curl_multi_wakeup(multi_.get());
}

HttpResult CurlHttpTransport::perform(const HttpRequest& request, HttpSink& sink) {
    if (cancelled_) return HttpResult::Cancelled;
    const QByteArray url = curlUrlFor(request);
    if (url.isEmpty()) return HttpResult::Failed;
    const CurlEasy easy = makeCurlEasy();
    if (!easy) return HttpResult::Failed;
    CURL* h = easy.get();
    Transfer transfer(sink);

    CurlList headers;
    appendHeader(headers, "Accept: " + request.acceptTypes.toUtf8());
    if (!request.useCache) {
        appendHeader(headers, "Pragma: no-cache");
        appendHeader(headers, "Cache-Control: no-cache");
    }
    const QByteArray agent = request.agent.toUtf8();
    const QByteArray referer = request.referer.toUtf8();
    const QByteArray user = request.userName.toUtf8();
    const QByteArray password = request.password.toUtf8();
    const QByteArray post = request.postQuery.toUtf8();

    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // An error page (404, 500, ...) is never the file that was asked for.
    curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    if (!agent.isEmpty()) curl_easy_setopt(h, CURLOPT_USERAGENT, agent.constData());
    if (!referer.isEmpty()) curl_easy_setopt(h, CURLOPT_REFERER, referer.constData());
    if (!user.isEmpty() || !password.isEmpty()) {
        curl_easy_setopt(h, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(h, CURLOPT_PASSWORD, password.constData());
    }
    if (!post.isEmpty()) {
        appendHeader(headers, "Content-Type: application/x-www-form-urlencoded");
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(post.size()));
        curl_easy_setopt(h, CURLOPT_COPYPOSTFIELDS, post.constData());
    }
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connectTimeoutMs));
    // The body comes in pieces of at most 1025 bytes, as the component hands them on.
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, 1025L);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeaderLine);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onBodyData);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, onConnected);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);

    CURLM* multi = multi_.get();
    const CurlTransferSlot slot(multi, h);
    if (!slot.added()) return HttpResult::Failed;
    const auto stall = std::chrono::milliseconds(request.stallTimeoutMs);
    HttpResult result = HttpResult::Failed;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) break;
        if (running == 0) {
            int left = 0;
            CURLcode code = CURLE_FAILED_INIT;
            while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
                if (msg->msg == CURLMSG_DONE) code = msg->data.result;
            }
            if (transfer.aborted) {
                result = HttpResult::Aborted;
            } else if (code == CURLE_OK) {
                result = transfer.headDelivered || transfer.deliverHead() ? HttpResult::Completed
                                                                          : HttpResult::Aborted;
            } else if (code == CURLE_OPERATION_TIMEDOUT) {
                result = HttpResult::TimedOut;
            }
            break;
        }
        if (cancelled_) {
            result = HttpResult::Cancelled;
            break;
        }
        auto wait = std::chrono::milliseconds(200);
        if (transfer.connected) {
            const auto idle =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - transfer.lastActivity);
            if (idle >= stall) {
                result = HttpResult::TimedOut;
                break;
            }
            wait = std::min(wait, stall - idle);
        }
        curl_multi_poll(multi, nullptr, 0, static_cast<int>(wait.count()) + 1, nullptr);
    }
    return result;
}
