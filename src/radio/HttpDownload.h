#pragma once
// The download component: fetches one URL into a file, or into memory, on a worker thread of its own
// and reports the outcome on the GUI thread through its signals. The radio owns one (a station's
// playlist) and the station list update another; both keep what they fetch in memory.

#include "platform/HttpTransport.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Scheme, host, port and object path of a URL. "http://" and "https://" are taken off in any letter
// case; a URL without a scheme is read the same way from its start. The object path begins at the
// first "/" after the host; without one the host is empty and the whole rest is the path. A port
// after the host ("host:8000", "[::1]:8000") is taken as the port; otherwise 80, or 443 for https.
struct UrlParts {
    bool secure = false;
    QString host;
    int port = 80;
    QString path;
    bool operator==(const UrlParts&) const = default;
};

// A Content-Length the download can be measured against: decimal digits only, else nothing.
std::optional<qint64> parseContentLength(const QByteArray& value);

UrlParts splitUrl(const QString& url);

using HttpTransportFactory = std::function<std::unique_ptr<IHttpTransport>()>;

class HttpDownloadThread;

class HttpDownload : public QObject {
    Q_OBJECT
public:
    // Downloads through libcurl.
    explicit HttpDownload(QObject* parent = nullptr);
    // Downloads through the transports that factory makes, one per download.
    explicit HttpDownload(HttpTransportFactory factory, QObject* parent = nullptr);
    // Cancels a running download and waits for its thread; no event fires any more.
    ~HttpDownload() override;

    // What a download fetches, and the file downloadToFile writes (a relative name is taken in the
    // current folder as it is when the download starts).
    void setUrl(const QString& url) { url_ = url; }
    void setFileName(const QString& fileName) { fileName_ = fileName; }
    // The User-Agent sent; empty sends none.
    void setUserAgent(const QString& agent) { request_.agent = agent; }
    // Fails a response without a Content-Length, unread.
    void setLengthRequired(bool required) { lengthRequired_ = required; }
    // The request's other parts, as HttpRequest describes them.
    void setUseCache(bool useCache) { request_.useCache = useCache; }
    void setUserName(const QString& userName) { request_.userName = userName; }
    void setPassword(const QString& password) { request_.password = password; }
    void setPostQuery(const QString& postQuery) { request_.postQuery = postQuery; }
    void setReferer(const QString& referer) { request_.referer = referer; }
    // A start returns only after the download's event has run (the event loop runs meanwhile).
    void setWaitUntilDone(bool wait) { waitUntilDone_ = wait; }
    // Longest wait for a connection, and longest silence of a connected server, in milliseconds.
    void setConnectTimeoutMs(int ms) { request_.connectTimeoutMs = ms; }
    void setStallTimeoutMs(int ms) { request_.stallTimeoutMs = ms; }
    // The largest body taken, in bytes (0: any); a longer one, announced or received, fails the
    // download once the limit is passed, so a wrong or hostile server cannot fill the disk or the memory.
    void setMaxBytes(qint64 bytes) { maxBytes_ = bytes; }

    // Starts downloading the URL into the file. Does nothing while a download runs. Returns at once,
    // or with setWaitUntilDone after the download's event has run.
    void downloadToFile();
    // The same into memory: the body comes with memoryDone, and no file is written.
    void downloadToMemory();
    // Stops a running download; it ends with failed.
    void cancel();
    // Stops a running download without any event: the component is idle at once, so a new download
    // can start, and the old one's outcome is never heard of.
    void abandon();
    // Whether the last finished download succeeded.
    bool succeeded() const { return succeeded_; }
    // Whether a download runs (from its start until its event has run).
    bool isDownloading() const { return busy_; }

signals:
    // After each piece of the body; source is the worker. totalSize is the Content-Length (0 when
    // there is none), received the bytes received so far.
    void progressed(QObject* source, qint64 totalSize, qint64 received);
    // A download into a file succeeded: fileName as set at its start, fileSize its length in bytes.
    void fileDone(QObject* source, const QString& fileName, qint64 fileSize);
    // A download into memory succeeded: body holds its bytes as received.
    void memoryDone(QObject* source, const QByteArray& body);
    // A download failed or was cancelled.
    void failed(QObject* source);

private:
    friend class HttpDownloadThread;
    void reportProgress(HttpDownloadThread* worker, qint64 totalSize, qint64 received);
    void reportFinished(HttpDownloadThread* worker);
    void start(bool toFile);
    void reap(HttpDownloadThread* worker);

    HttpTransportFactory makeTransport_;
    // Everything of the request but the address, which comes from url_ at each start.
    HttpRequest request_;
    QString url_;
    QString fileName_;
    bool lengthRequired_ = false;
    bool waitUntilDone_ = false;
    qint64 maxBytes_ = 0;

    std::unique_ptr<HttpDownloadThread> worker_; // the running or last worker
    // Abandoned workers, cancelled and silent, until their threads have ended.
    std::vector<std::unique_ptr<HttpDownloadThread>> abandoned_;
    bool busy_ = false;
    bool succeeded_ = false;
    quint64 started_ = 0;  // downloads started
    quint64 finished_ = 0; // downloads whose event has run
};

// What one download does, fixed at its start: changing the component's settings during a download
// changes nothing.
struct HttpDownloadJob {
    HttpRequest request;
    QString url;
    QString fileName; // as set, for the event
    QString filePath; // fileName made absolute at the start, so a change of the current folder cannot move it
    bool toFile = true;
    bool lengthRequired = false;
    bool progressWanted = false; // progressed was connected at the start
    qint64 maxBytes = 0;
};

// The worker of one download. It hands progress and its outcome to the GUI thread, waiting each time
// until the GUI thread has taken them.
class HttpDownloadThread : public QThread {
    Q_OBJECT
public:
    HttpDownloadThread(HttpDownload* owner, std::unique_ptr<IHttpTransport> transport, HttpDownloadJob job);
    ~HttpDownloadThread() override;

    // Asks the download to stop; it ends as failed. Any thread.
    void cancel();
    bool isCancelled() const;

private:
    friend class HttpDownload;
    class Sink;
    struct Handoff;

    void run() override;
    // Runs call on the GUI thread and waits for it. Gives up, without running it, once the owner is
    // going away, or (unless always) once the download is cancelled. False when given up.
    bool onGuiThread(std::function<void()> call, bool always);
    // The owner is being destroyed: nothing may run on the GUI thread any more.
    void detach();

    HttpDownload* owner_;
    std::unique_ptr<IHttpTransport> transport_;
    std::shared_ptr<Handoff> handoff_;
    const HttpDownloadJob job_;
    // The outcome, read by the owner once the worker has handed it over.
    QByteArray body_; // the body of a download into memory
    bool succeeded_ = false;
    qint64 contentLength_ = 0;
    qint64 receivedTotal_ = 0;
};
