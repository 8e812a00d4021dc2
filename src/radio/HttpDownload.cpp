#include "radio/HttpDownload.h"

#include "platform/CurlHttpTransport.h"
#include "platform/EventLoop.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaMethod>
#include <QPointer>
#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace {

// The worker hands the body on in pieces of at most this many bytes.
constexpr std::size_t chunkBytes = 1025;

bool startsWithNoCase(const QString& s, QLatin1StringView prefix) {
    return s.startsWith(prefix, Qt::CaseInsensitive);
}

// A port is 1 to 65535 written in decimal digits; anything else leaves the host as written, which then
// names no server.
int portNumber(QStringView text) {
    if (text.isEmpty() || text.size() > 5) return 0;
    int port = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') return 0;
        port = port * 10 + (c.unicode() - u'0');
    }
    return port <= 65535 ? port : 0;
}

} // namespace

std::optional<qint64> parseContentLength(const QByteArray& value) {
    if (value.isEmpty() || value.size() > 18) return std::nullopt;
    qint64 n = 0;
    for (const char c : value) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

UrlParts splitUrl(const QString& url) {
    UrlParts parts;
    QString rest = url;
    if (startsWithNoCase(rest, QLatin1StringView("http://"))) {
        rest = rest.mid(7);
    } else if (startsWithNoCase(rest, QLatin1StringView("https://"))) {
        rest = rest.mid(8);
        parts.secure = true;
        parts.port = 443;
    }
    const qsizetype slash = rest.indexOf(u'/');
    if (slash < 0) {
        parts.path = rest;
        return parts;
    }
    parts.host = rest.left(slash);
    parts.path = rest.mid(slash);

    // The port follows the last ":", outside the brackets of an IPv6 address; a bare IPv6 address
    // (more than one ":") has no port.
    const qsizetype colon = parts.host.lastIndexOf(u':');
    const bool bracketed = parts.host.startsWith(u'[');
    const bool portPossible = bracketed ? colon > 0 && parts.host[colon - 1] == u']'
                                        : colon >= 0 && parts.host.indexOf(u':') == colon;
    if (portPossible) {
        if (const int port = portNumber(QStringView(parts.host).mid(colon + 1))) {
            parts.port = port;
            parts.host.truncate(colon);
        }
    }
    return parts;
}

// ---------------------------------------------------------------------------------------------------

// What the worker and the calls it posts to the GUI thread share. Posted calls may outlive the worker
// (a call given up stays queued), so they hold this and never the worker once given up.
struct HttpDownloadThread::Handoff {
    std::mutex mutex;
    std::condition_variable changed;
    bool cancelled = false;
    bool detached = false;
    quint64 posted = 0;
    quint64 done = 0;
};

// Takes the response from the transport: checks the head, writes the body to the file as it comes.
class HttpDownloadThread::Sink : public HttpSink {
public:
    explicit Sink(HttpDownloadThread& worker) : w_(worker), job_(worker.job_) {}

    bool onHead(const std::optional<QByteArray>& contentLength) override {
        if (w_.isCancelled()) return false;
        if (contentLength) {
            const std::optional<qint64> length = parseContentLength(*contentLength);
            if (!length) return false; // not a number to measure the body against: failed unread
            if (job_.maxBytes > 0 && *length > job_.maxBytes) return false;
            w_.contentLength_ = *length;
        } else if (job_.lengthRequired) {
            return false;
        }
        w_.receivedTotal_ = 0;
        w_.body_.clear();
        if (job_.toFile) {
            file_.setFileName(job_.filePath);
            // A file that cannot be made fails the download, so the caller never reads a stale one.
            if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) return false;
        }
        headAccepted_ = true;
        return true;
    }

    bool onBody(const char* data, std::size_t size) override {
        while (size > 0) {
            if (w_.isCancelled()) return false;
            const std::size_t piece = std::min(size, chunkBytes);
            if (job_.maxBytes > 0 && w_.receivedTotal_ + static_cast<qint64>(piece) > job_.maxBytes)
                return false;
            if (!keep(data, piece)) {
                writeFailed_ = true;
                return false;
            }
            w_.receivedTotal_ += static_cast<qint64>(piece);
            data += piece;
            size -= piece;
            if (job_.progressWanted) {
                const qint64 total = w_.contentLength_;
                const qint64 received = w_.receivedTotal_;
                HttpDownload* owner = w_.owner_;
                HttpDownloadThread* worker = &w_;
                if (!w_.onGuiThread(
                        [owner, worker, total, received] { owner->reportProgress(worker, total, received); },
                        false))
                    return false;
            }
        }
        return true;
    }

    // The body is in the file, or in memory, as the transport delivered it.
    bool stored() {
        bool ok = headAccepted_ && !writeFailed_;
        if (file_.isOpen()) {
            file_.close();
            ok = ok && file_.error() == QFileDevice::NoError;
        }
        return ok;
    }

private:
    bool keep(const char* data, std::size_t size) {
        if (!job_.toFile) {
            w_.body_.append(data, static_cast<qsizetype>(size));
            return true;
        }
        return file_.write(data, static_cast<qint64>(size)) == static_cast<qint64>(size);
    }

    HttpDownloadThread& w_;
    const HttpDownloadJob& job_;
    QFile file_;
    bool headAccepted_ = false;
    bool writeFailed_ = false;
};

HttpDownloadThread::HttpDownloadThread(HttpDownload* owner, std::unique_ptr<IHttpTransport> transport,
                                       HttpDownloadJob job)
    : owner_(owner), transport_(std::move(transport)), handoff_(std::make_shared<Handoff>()),
      job_(std::move(job)) {}

HttpDownloadThread::~HttpDownloadThread() {
    detach();
    cancel();
    wait();
}

void HttpDownloadThread::cancel() {
    {
        std::lock_guard lock(handoff_->mutex);
        handoff_->cancelled = true;
    }
    handoff_->changed.notify_all();
    transport_->cancel();
}

bool HttpDownloadThread::isCancelled() const {
    std::lock_guard lock(handoff_->mutex);
    return handoff_->cancelled;
}

void HttpDownloadThread::detach() {
    {
        std::lock_guard lock(handoff_->mutex);
        handoff_->detached = true;
    }
    handoff_->changed.notify_all();
}

bool HttpDownloadThread::onGuiThread(std::function<void()> call, bool always) {
    const std::shared_ptr<Handoff> h = handoff_;
    const auto givenUp = [h, always] { return h->detached || (!always && h->cancelled); };
    quint64 ticket = 0;
    {
        std::lock_guard lock(h->mutex);
        if (givenUp()) return false;
        ticket = ++h->posted;
    }
    QMetaObject::invokeMethod(
        owner_,
        [h, givenUp, ticket, call = std::move(call)] {
            bool run = false;
            {
                std::lock_guard lock(h->mutex);
                run = !givenUp();
            }
            // The call may destroy the component (and so this worker); only the handoff is touched after.
            if (run) call();
            {
                std::lock_guard lock(h->mutex);
                h->done = std::max(h->done, ticket);
            }
            h->changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(h->mutex);
    h->changed.wait(lock, [&] { return h->done >= ticket || givenUp(); });
    return h->done >= ticket;
}

void HttpDownloadThread::run() {
    const UrlParts parts = splitUrl(job_.url);
    if (!isCancelled()) {
        HttpRequest request = job_.request;
        request.secure = parts.secure;
        request.host = parts.host;
        request.port = parts.port;
        request.path = parts.path;
        Sink sink(*this);
        HttpResult result = HttpResult::Failed;
        try {
            result = transport_->perform(request, sink);
        } catch (...) {
            // A failure inside the transfer is an ordinary failed download; the event must still come.
            result = HttpResult::Failed;
        }
        const bool stored = sink.stored();
        succeeded_ = result == HttpResult::Completed && stored && contentLength_ == receivedTotal_;
    }
    if (isCancelled()) succeeded_ = false;
    HttpDownload* owner = owner_;
    onGuiThread([owner, this] { owner->reportFinished(this); }, true);
}

// ---------------------------------------------------------------------------------------------------

HttpDownload::HttpDownload(QObject* parent)
    : HttpDownload([] { return std::make_unique<CurlHttpTransport>(); }, parent) {}

HttpDownload::HttpDownload(HttpTransportFactory factory, QObject* parent)
    : QObject(parent), makeTransport_(std::move(factory)) {
    // Sent as it always was: a server may tell its clients apart by it.
    request_.agent = QStringLiteral("Quillnet HTTPGet");
}

HttpDownload::~HttpDownload() {
    // The worker's destructor cancels it and waits; the window is going away, so no event may run.
    worker_.reset();
    abandoned_.clear();
}

void HttpDownload::downloadToFile() {
    start(true);
}

void HttpDownload::downloadToMemory() {
    start(false);
}

void HttpDownload::start(bool toFile) {
    if (busy_) return;
    worker_.reset(); // the last worker has handed over its outcome and is ending, if not gone already
    HttpDownloadJob job;
    job.request = request_;
    job.url = url_;
    job.fileName = fileName_;
    job.filePath = fileName_.isEmpty() ? QString() : QFileInfo(fileName_).absoluteFilePath();
    job.toFile = toFile;
    job.lengthRequired = lengthRequired_;
    job.progressWanted = isSignalConnected(QMetaMethod::fromSignal(&HttpDownload::progressed));
    job.maxBytes = maxBytes_;
    auto worker = std::make_unique<HttpDownloadThread>(this, makeTransport_(), std::move(job));
    HttpDownloadThread* w = worker.get();
    connect(
        w, &QThread::finished, this, [this, w] { reap(w); }, Qt::QueuedConnection);
    worker_ = std::move(worker);
    busy_ = true;
    const quint64 serial = ++started_;
    w->start();
    if (waitUntilDone_) {
        const QPointer<HttpDownload> alive(this);
        while (alive && finished_ < serial)
            yieldToEvents(QEventLoop::WaitForMoreEvents);
    }
}

void HttpDownload::cancel() {
    if (busy_ && worker_) worker_->cancel();
}

void HttpDownload::abandon() {
    if (!busy_ || !worker_) return;
    worker_->detach();
    worker_->cancel();
    abandoned_.push_back(std::move(worker_));
    busy_ = false;
    // A start waiting for this download returns.
    finished_ = started_;
}

void HttpDownload::reap(HttpDownloadThread* worker) {
    if (!busy_ && worker_.get() == worker) worker_.reset();
    std::erase_if(abandoned_, [worker](const auto& w) { return w.get() == worker; });
}

void HttpDownload::reportProgress(HttpDownloadThread* worker, qint64 totalSize, qint64 received) {
    emit progressed(worker, totalSize, received);
}

void HttpDownload::reportFinished(HttpDownloadThread* worker) {
    // A cancel that came after the worker's last check still fails the download.
    succeeded_ = worker->succeeded_ && !worker->isCancelled();
    const bool toFile = worker->job_.toFile;
    const QString fileName = worker->job_.fileName;
    const qint64 fileSize = worker->contentLength_;
    const QByteArray body = worker->body_;
    ++finished_;
    // The worker stays referenced while the event runs, so a start from inside it is dropped.
    const QPointer<HttpDownload> alive(this);
    if (succeeded_ && toFile) {
        emit fileDone(this, fileName, fileSize);
    } else if (succeeded_) {
        emit memoryDone(this, body);
    } else {
        emit failed(this);
    }
    if (alive) busy_ = false;
}
