#pragma once
// A real radio station for integration tests: icecast2 on 127.0.0.1 (a free port) fed by ezstream
// with a looping playlist of MP3 files, all in a folder of the test. Server and source are separate
// processes so a test can take the server away and bring both back; every process is stopped by its
// pid, bounded in time, at the latest when this object goes away. Other sources (ffmpeg, for other
// formats) can feed mounts of their own through sourceUrl().

#include <QString>
#include <QStringList>
#include <memory>

class QProcess;

class IcecastStation {
public:
    // The tools this needs that are not installed ("" when all are there).
    static QString missingTools();

    // folder: where configuration, logs and the playlist go (must exist); mp3Files: played in order,
    // again and again.
    IcecastStation(const QString& folder, const QStringList& mp3Files);
    ~IcecastStation();
    IcecastStation(const IcecastStation&) = delete;
    IcecastStation& operator=(const IcecastStation&) = delete;

    // Starts icecast2 and waits (bounded) until it answers; a first start picks a free port, later
    // starts reuse it. False with error filled when it does not come up.
    bool startServer(QString* error);
    // Starts ezstream and waits (bounded) until the mount answers 200.
    bool startSource(QString* error);
    void stopServer();
    void stopSource();

    // Where a source client of its own (ffmpeg: "-f adts icecast://...") sends a mount.
    QString sourceUrl(const QString& mount) const;
    // Sets the title sent as StreamTitle to the listeners of a mount whose source sends none (an
    // admin request, as a playout system makes it). False when icecast2 does not take it.
    bool setTitle(const QString& mount, const QString& title);

    quint16 port() const { return port_; }
    QString mountPath() const { return QStringLiteral("/radio.mp3"); }
    QString mountUrl() const;
    // What the peers printed and logged, for failure messages.
    QString diagnostics() const;

private:
    bool startSourceOnce(QString* error);
    bool writeServerConfig(QString* error);
    bool writeSourceConfig(QString* error);

    QString folder_;
    QStringList files_;
    quint16 port_ = 0;
    std::unique_ptr<QProcess> server_;
    std::unique_ptr<QProcess> source_;
};

// The status code of a GET of path on 127.0.0.1:port (only the status line is read), or 0 when
// nothing answers within timeoutMs. headers: more request header lines, each ending in CR LF.
int httpStatus(quint16 port, const QString& path, int timeoutMs = 2000, const QByteArray& headers = {});
