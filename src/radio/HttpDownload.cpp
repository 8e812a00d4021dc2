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

UrlParts SplitUrl(const QString& url) {
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
    explicit Sink(HttpDownloadThread& worker) : w_(worker) {}

    bool onHead(const std::optional<QByteArray>& contentLength) override {
        if (w_.isCancelled()) return false;
        if (contentLength) {
            const std::optional<qint64> length = parseContentLength(*contentLength);
            if (!length) return false; // not a number to measure the body against: failed unread
            if (w_.maxBytes_ > 0 && *length > w_.maxBytes_) return false;
            w_.ContentLength = *length;
        } else if (w_.BinaryData) {
            return false;
        }
        w_.ReceivedTotal = 0;
        w_.Body.clear();
        if (w_.SaveToFile) {
            file_.setFileName(w_.filePath_);
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
            if (w_.maxBytes_ > 0 && w_.ReceivedTotal + static_cast<qint64>(piece) > w_.maxBytes_)
                return false;
            if (!keep(data, piece)) {
                writeFailed_ = true;
                return false;
            }
            w_.ChunkSize = static_cast<quint32>(piece);
            w_.ReceivedTotal += static_cast<qint64>(piece);
            data += piece;
            size -= piece;
            if (w_.progressWanted_) {
                const qint64 total = w_.ContentLength;
                const qint64 readed = w_.ReceivedTotal;
                HttpDownload* owner = w_.owner_;
                HttpDownloadThread* worker = &w_;
                if (!w_.onGuiThread(
                        [owner, worker, total, readed] { owner->ReportProgress(worker, total, readed); },
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
        if (!w_.SaveToFile) {
            w_.Body.append(data, static_cast<qsizetype>(size));
            return true;
        }
        return file_.write(data, static_cast<qint64>(size)) == static_cast<qint64>(size);
    }

    HttpDownloadThread& w_;
    QFile file_;
    bool headAccepted_ = false;
    bool writeFailed_ = false;
};

HttpDownloadThread::HttpDownloadThread(HttpDownload* owner, std::unique_ptr<IHttpTransport> transport)
    : owner_(owner), transport_(std::move(transport)), handoff_(std::make_shared<Handoff>()) {}

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
    const UrlParts parts = SplitUrl(URL);
    if (!isCancelled()) {
        HttpRequest request;
        request.secure = parts.secure;
        request.host = parts.host;
        request.port = parts.port;
        request.path = parts.path;
        request.agent = Agent;
        request.acceptTypes = AcceptTypes;
        request.userName = UserName;
        request.password = Password;
        request.postQuery = PostQuery;
        request.referer = Referer;
        request.useCache = UseCache;
        request.connectTimeoutMs = connectTimeoutMs_;
        request.stallTimeoutMs = stallTimeoutMs_;
        Sink sink(*this);
        HttpResult result = HttpResult::Failed;
        try {
            result = transport_->perform(request, sink);
        } catch (...) {
            // A failure inside the transfer is an ordinary failed download; the event must still come.
            result = HttpResult::Failed;
        }
        const bool stored = sink.stored();
        Success = result == HttpResult::Completed && stored && ContentLength == ReceivedTotal;
    }
    if (isCancelled()) Success = false;
    HttpDownload* owner = owner_;
    onGuiThread([owner, this] { owner->DownloadFinished(this); }, true);
}

// ---------------------------------------------------------------------------------------------------

HttpDownload::HttpDownload(QObject* parent)
    : HttpDownload([] { return std::make_unique<CurlHttpTransport>(); }, parent) {}

HttpDownload::HttpDownload(HttpTransportFactory factory, QObject* parent)
    : QObject(parent), makeTransport_(std::move(factory)) {}

HttpDownload::~HttpDownload() {
    // The worker's destructor cancels it and waits; the window is going away, so no event may run.
    worker_.reset();
    abandoned_.clear();
}

void HttpDownload::DownloadFile() {
    start(true);
}

void HttpDownload::DownloadString() {
    start(false);
}

void HttpDownload::start(bool saveToFile) {
    if (busy_) return;
    worker_.reset(); // the last worker has handed over its outcome and is ending, if not gone already
    auto worker = std::make_unique<HttpDownloadThread>(this, makeTransport_());
    worker->AcceptTypes = acceptTypes_;
    worker->Agent = agent_;
    worker->URL = url_;
    worker->FileName = fileName_;
    worker->UserName = userName_;
    worker->Password = password_;
    worker->PostQuery = postQuery_;
    worker->Referer = referer_;
    worker->BinaryData = binaryData_;
    worker->UseCache = useCache_;
    worker->SaveToFile = saveToFile;
    // Fixed now, so a change of the current folder during the download cannot move the file.
    worker->filePath_ = fileName_.isEmpty() ? QString() : QFileInfo(fileName_).absoluteFilePath();
    worker->progressWanted_ = isSignalConnected(QMetaMethod::fromSignal(&HttpDownload::OnProgress));
    worker->connectTimeoutMs_ = connectTimeoutMs_;
    worker->stallTimeoutMs_ = stallTimeoutMs_;
    worker->maxBytes_ = maxBytes_;
    HttpDownloadThread* w = worker.get();
    connect(
        w, &QThread::finished, this, [this, w] { reap(w); }, Qt::QueuedConnection);
    worker_ = std::move(worker);
    busy_ = true;
    const quint64 serial = ++started_;
    w->start();
    if (waitThread_) {
        const QPointer<HttpDownload> alive(this);
        while (alive && finished_ < serial)
            yieldToEvents(QEventLoop::WaitForMoreEvents);
    }
}

void HttpDownload::CancelDownload() {
    if (busy_ && worker_) worker_->cancel();
}

void HttpDownload::abandon() {
    if (!busy_ || !worker_) return;
    worker_->detach();
    worker_->cancel();
    abandoned_.push_back(std::move(worker_));
    busy_ = false;
    // A WaitThread start waiting for this download returns.
    finished_ = started_;
}

void HttpDownload::reap(HttpDownloadThread* worker) {
    if (!busy_ && worker_.get() == worker) worker_.reset();
    std::erase_if(abandoned_, [worker](const auto& w) { return w.get() == worker; });
}

void HttpDownload::ReportProgress(HttpDownloadThread* worker, qint64 totalSize, qint64 readed) {
    emit OnProgress(worker, totalSize, readed);
}

void HttpDownload::DownloadFinished(HttpDownloadThread* worker) {
    // A cancel that came after the worker's last check still fails the download.
    success_ = worker->Success && !worker->isCancelled();
    const bool toFile = worker->SaveToFile;
    const QString fileName = worker->FileName;
    const qint64 fileSize = worker->ContentLength;
    const QByteArray body = worker->Body;
    ++finished_;
    // The worker stays referenced while the event runs, so a DownloadFile from inside it is dropped.
    const QPointer<HttpDownload> alive(this);
    if (success_ && toFile) {
        emit OnDoneFile(this, fileName, fileSize);
    } else if (success_) {
        emit OnDoneString(this, body);
    } else {
        emit OnError(this);
    }
    if (alive) busy_ = false;
}
