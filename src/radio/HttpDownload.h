#pragma once
// The download component: fetches one URL into a file, or into memory, on a worker thread of its own
// and reports the outcome on the GUI thread through its events. The window owns two of them (the
// station playlist and the station list update), which keep what they fetch in memory.

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

UrlParts SplitUrl(const QString& url);

using HttpTransportFactory = std::function<std::unique_ptr<IHttpTransport>()>;

class HttpDownloadThread;

class HttpDownload : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString AcceptTypes READ AcceptTypes WRITE setAcceptTypes)
    Q_PROPERTY(QString Agent READ Agent WRITE setAgent)
    Q_PROPERTY(bool BinaryData READ BinaryData WRITE setBinaryData)
    Q_PROPERTY(QString URL READ URL WRITE setURL)
    Q_PROPERTY(bool UseCache READ UseCache WRITE setUseCache)
    Q_PROPERTY(QString FileName READ FileName WRITE setFileName)
    Q_PROPERTY(QString UserName READ UserName WRITE setUserName)
    Q_PROPERTY(QString Password READ Password WRITE setPassword)
    Q_PROPERTY(QString PostQuery READ PostQuery WRITE setPostQuery)
    Q_PROPERTY(QString Referer READ Referer WRITE setReferer)
    Q_PROPERTY(bool WaitThread READ WaitThread WRITE setWaitThread)
    Q_PROPERTY(int connectTimeoutMs READ connectTimeoutMs WRITE setConnectTimeoutMs)
    Q_PROPERTY(int stallTimeoutMs READ stallTimeoutMs WRITE setStallTimeoutMs)
    Q_PROPERTY(qint64 maxBytes READ maxBytes WRITE setMaxBytes)

public:
    // Downloads through libcurl.
    explicit HttpDownload(QObject* parent = nullptr);
    // Downloads through the transports that factory makes, one per download.
    explicit HttpDownload(HttpTransportFactory factory, QObject* parent = nullptr);
    // Cancels a running download and waits for its thread; no event fires any more.
    ~HttpDownload() override;

    QString AcceptTypes() const { return acceptTypes_; }
    void setAcceptTypes(const QString& v) { acceptTypes_ = v; }
    QString Agent() const { return agent_; }
    void setAgent(const QString& v) { agent_ = v; }
    bool BinaryData() const { return binaryData_; }
    void setBinaryData(bool v) { binaryData_ = v; }
    QString URL() const { return url_; }
    void setURL(const QString& v) { url_ = v; }
    bool UseCache() const { return useCache_; }
    void setUseCache(bool v) { useCache_ = v; }
    QString FileName() const { return fileName_; }
    void setFileName(const QString& v) { fileName_ = v; }
    QString UserName() const { return userName_; }
    void setUserName(const QString& v) { userName_ = v; }
    QString Password() const { return password_; }
    void setPassword(const QString& v) { password_ = v; }
    QString PostQuery() const { return postQuery_; }
    void setPostQuery(const QString& v) { postQuery_ = v; }
    QString Referer() const { return referer_; }
    void setReferer(const QString& v) { referer_ = v; }
    bool WaitThread() const { return waitThread_; }
    void setWaitThread(bool v) { waitThread_ = v; }
    // Longest wait for a connection, and longest silence of a connected server, in milliseconds.
    int connectTimeoutMs() const { return connectTimeoutMs_; }
    void setConnectTimeoutMs(int v) { connectTimeoutMs_ = v; }
    int stallTimeoutMs() const { return stallTimeoutMs_; }
    void setStallTimeoutMs(int v) { stallTimeoutMs_ = v; }
    // The largest body taken, in bytes (0: any); a longer one, announced or received, fails the
    // download once the limit is passed, so a wrong or hostile server cannot fill the disk or the memory.
    qint64 maxBytes() const { return maxBytes_; }
    void setMaxBytes(qint64 v) { maxBytes_ = v; }

    // Starts downloading URL into FileName. Does nothing while a download runs. Returns at once, or
    // with WaitThread after the download's event has run (the event loop runs meanwhile).
    void DownloadFile();
    // The same into memory: the body comes with OnDoneString, and no file is written.
    void DownloadString();
    // Stops a running download; it ends with OnError.
    void CancelDownload();
    // Stops a running download without any event: the component is idle at once, so a new download
    // can start, and the old one's outcome is never heard of.
    void abandon();
    // Whether the last finished download succeeded.
    bool Success() const { return success_; }
    // Whether a download runs (from DownloadFile until its event has run).
    bool isDownloading() const { return busy_; }

signals:
    // After each piece of the body; Sender is the worker. TotalSize is the Content-Length (0 when
    // there is none), Readed the bytes received so far.
    void OnProgress(QObject* Sender, qint64 TotalSize, qint64 Readed);
    // A download succeeded: FileName as set at its start, FileSize its length in bytes.
    void OnDoneFile(QObject* Sender, const QString& FileName, qint64 FileSize);
    // A download into memory succeeded: Result holds the body's bytes as received.
    void OnDoneString(QObject* Sender, const QByteArray& Result);
    // A download failed or was cancelled.
    void OnError(QObject* Sender);

private:
    friend class HttpDownloadThread;
    void ReportProgress(HttpDownloadThread* worker, qint64 totalSize, qint64 readed);
    void DownloadFinished(HttpDownloadThread* worker);
    void start(bool saveToFile);
    void reap(HttpDownloadThread* worker);

    HttpTransportFactory makeTransport_;
    QString acceptTypes_ = QStringLiteral("*/*");
    QString agent_ = QStringLiteral("Quillnet HTTPGet");
    bool binaryData_ = false;
    QString url_;
    bool useCache_ = false;
    QString fileName_;
    QString userName_;
    QString password_;
    QString postQuery_;
    QString referer_;
    bool waitThread_ = false;
    int connectTimeoutMs_ = 10000;
    int stallTimeoutMs_ = 20000;
    qint64 maxBytes_ = 0;

    std::unique_ptr<HttpDownloadThread> worker_; // the running or last worker
    // Abandoned workers, cancelled and silent, until their threads have ended.
    std::vector<std::unique_ptr<HttpDownloadThread>> abandoned_;
    bool busy_ = false;
    bool success_ = false;
    quint64 started_ = 0;  // downloads started
    quint64 finished_ = 0; // downloads whose event has run
};

// The worker of one download. It works on copies of the component's properties, so changing them
// during a download changes nothing, and hands progress and its outcome to the GUI thread, waiting
// each time until the GUI thread has taken them.
class HttpDownloadThread : public QThread {
    Q_OBJECT
public:
    HttpDownloadThread(HttpDownload* owner, std::unique_ptr<IHttpTransport> transport);
    ~HttpDownloadThread() override;

    // Asks the download to stop; it ends as failed. Any thread.
    void cancel();
    bool isCancelled() const;

    QString AcceptTypes, Agent, URL, FileName;
    QByteArray Body; // the body of a download into memory
    QString UserName, Password, PostQuery, Referer;
    bool BinaryData = false;
    bool UseCache = false;
    bool SaveToFile = true;
    bool Success = false;
    qint64 ContentLength = 0;
    quint32 ChunkSize = 0;
    qint64 ReceivedTotal = 0;

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
    QString filePath_;            // FileName made absolute at the start
    bool progressWanted_ = false; // OnProgress was connected at the start
    int connectTimeoutMs_ = 0;
    int stallTimeoutMs_ = 0;
    qint64 maxBytes_ = 0;
};
