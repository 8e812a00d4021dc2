#include "support/IcecastStation.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>
#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int startTimeoutMs = 15000;
const char* const sourcePassword = "radio-test-source";
const char* const adminPassword = "radio-test-admin";

// A port nobody listens on right now: the system picks one for a socket that is closed again.
quint16 freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

bool writeFile(const QString& path, const QByteArray& bytes, QString* error) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size()) return true;
    *error = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
    return false;
}

// Terminates the process by its pid, and kills it if it does not end within a few seconds.
void stopProcess(std::unique_ptr<QProcess>& process) {
    if (!process) return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(2000);
        }
    }
    process.reset();
}

template <typename Pred> bool pollUntil(Pred pred, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > timeoutMs) return false;
        QThread::msleep(50);
    }
    return true;
}

QString tail(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromLocal8Bit(f.readAll().right(2000));
}

} // namespace

int httpStatus(quint16 port, const QString& path, int timeoutMs, const QByteArray& headers) {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(timeoutMs)) return 0;
    socket.write("GET " + path.toUtf8() + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" + headers + "\r\n");
    QByteArray head;
    QElapsedTimer clock;
    clock.start();
    while (!head.contains('\n') && clock.elapsed() < timeoutMs) {
        if (!socket.waitForReadyRead(100) && socket.state() != QAbstractSocket::ConnectedState) break;
        head += socket.readAll();
    }
    socket.abort();
    // "HTTP/1.0 200 OK"
    const QList<QByteArray> parts = head.left(head.indexOf('\n')).split(' ');
    return parts.size() >= 2 ? parts[1].toInt() : 0;
}

QString IcecastStation::missingTools() {
    QStringList missing;
    for (const char* tool : {"icecast2", "ezstream"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            missing << QString::fromLatin1(tool);
    return missing.join(QStringLiteral(", "));
}

IcecastStation::IcecastStation(const QString& folder, const QStringList& mp3Files)
    : folder_(folder), files_(mp3Files) {}

IcecastStation::~IcecastStation() {
    stopSource();
    stopServer();
}

QString IcecastStation::sourceUrl(const QString& mount) const {
    return QStringLiteral("icecast://source:%1@127.0.0.1:%2%3")
        .arg(QString::fromLatin1(sourcePassword))
        .arg(port_)
        .arg(mount);
}

bool IcecastStation::setTitle(const QString& mount, const QString& title) {
    const QByteArray query =
        "/admin/metadata?mode=updinfo&charset=UTF-8&mount=" + QUrl::toPercentEncoding(mount) +
        "&song=" + QUrl::toPercentEncoding(title);
    const QByteArray auth =
        "Authorization: Basic " + (QByteArray("admin:") + adminPassword).toBase64() + "\r\n";
    return httpStatus(port_, QString::fromLatin1(query), 2000, auth) == 200;
}

QString IcecastStation::mountUrl() const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(mountPath());
}

bool IcecastStation::writeServerConfig(QString* error) {
    const QString logs = folder_ + QStringLiteral("/icecast-log");
    QDir().mkpath(logs);
    QByteArray owner;
    if (::geteuid() == 0) {
        // icecast2 refuses to run as root; it changes to its own user, which must reach the logs.
        const passwd* user = ::getpwnam("icecast2");
        const group* grp = ::getgrnam("icecast");
        if (!user || !grp) {
            *error = QStringLiteral("running as root, but the user icecast2 or the group icecast is missing");
            return false;
        }
        if (::chown(QFile::encodeName(logs).constData(), user->pw_uid, grp->gr_gid) != 0) {
            *error = QStringLiteral("cannot hand the log folder to icecast2");
            return false;
        }
        QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                           QFile::ExeOther);
        owner = "<changeowner><user>icecast2</user><group>icecast</group></changeowner>";
    }
    const QByteArray config =
        "<icecast>\n"
        "  <limits><clients>20</clients><sources>4</sources><burst-on-connect>1</burst-on-connect></limits>\n"
        "  <authentication><source-password>" +
        QByteArray(sourcePassword) +
        "</source-password><admin-user>admin</admin-user>"
        "<admin-password>" +
        QByteArray(adminPassword) +
        "</admin-password></authentication>\n"
        "  <hostname>127.0.0.1</hostname>\n"
        "  <listen-socket><port>" +
        QByteArray::number(port_) +
        "</port><bind-address>127.0.0.1</bind-address></listen-socket>\n"
        "  <fileserve>0</fileserve>\n"
        "  <paths><logdir>" +
        QFile::encodeName(logs) + "</logdir><pidfile>" + QFile::encodeName(logs) +
        "/icecast.pid</pidfile></paths>\n"
        "  <logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog><loglevel>3</loglevel>"
        "</logging>\n"
        "  <security><chroot>0</chroot>" +
        owner +
        "</security>\n"
        "</icecast>\n";
    return writeFile(folder_ + QStringLiteral("/icecast.xml"), config, error);
}

bool IcecastStation::writeSourceConfig(QString* error) {
    QByteArray playlist;
    for (const QString& file : files_)
        playlist += QFile::encodeName(file) + '\n';
    const QString playlistPath = folder_ + QStringLiteral("/playlist.txt");
    if (!writeFile(playlistPath, playlist, error)) return false;
    const QByteArray config = "<ezstream>\n"
                              "  <servers><server><hostname>127.0.0.1</hostname><port>" +
                              QByteArray::number(port_) + "</port><password>" + QByteArray(sourcePassword) +
                              "</password></server></servers>\n"
                              "  <streams><stream><mountpoint>" +
                              mountPath().toUtf8() +
                              "</mountpoint><format>MP3</format></stream></streams>\n"
                              "  <intakes><intake><type>playlist</type><filename>" +
                              QFile::encodeName(playlistPath) +
                              "</filename></intake></intakes>\n"
                              "  <metadata><format_str>@a@ - @t@</format_str></metadata>\n"
                              "</ezstream>\n";
    const QString path = folder_ + QStringLiteral("/ezstream.xml");
    if (!writeFile(path, config, error)) return false;
    // ezstream refuses a configuration others can read: it holds the source password.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return true;
}

bool IcecastStation::startServer(QString* error) {
    stopServer();
    // A restart keeps the port, which stations already name; a first start that finds its port taken
    // by someone else meanwhile tries another.
    const bool restart = port_ != 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!restart)
            port_ = freePort();
        else if (attempt > 0)
            QThread::msleep(500);
        if (port_ == 0 || !writeServerConfig(error)) return false;
        server_ = std::make_unique<QProcess>();
        server_->setProcessChannelMode(QProcess::MergedChannels);
        server_->setWorkingDirectory(folder_);
        server_->start(QStringLiteral("icecast2"),
                       {QStringLiteral("-c"), folder_ + QStringLiteral("/icecast.xml")});
        if (!server_->waitForStarted(5000)) {
            *error = QStringLiteral("icecast2 does not start: ") + server_->errorString();
            server_.reset();
            return false;
        }
        // Any answer means it listens (without a source the mount is 404).
        if (pollUntil(
                [this] {
                    return server_->state() == QProcess::NotRunning ||
                           httpStatus(port_, mountPath(), 500) > 0;
                },
                startTimeoutMs) &&
            server_->state() == QProcess::Running)
            return true;
        *error = QStringLiteral("icecast2 did not answer on port %1:\n%2").arg(port_).arg(diagnostics());
        stopServer();
    }
    return false;
}

bool IcecastStation::startSource(QString* error) {
    // On a busy machine ezstream now and then never gets its mount up; a second start does.
    for (int attempt = 0; attempt < 2; ++attempt)
        if (startSourceOnce(error)) return true;
    return false;
}

bool IcecastStation::startSourceOnce(QString* error) {
    stopSource();
    if (!writeSourceConfig(error)) return false;
    source_ = std::make_unique<QProcess>();
    source_->setProcessChannelMode(QProcess::MergedChannels);
    source_->setWorkingDirectory(folder_);
    source_->start(QStringLiteral("ezstream"),
                   {QStringLiteral("-c"), folder_ + QStringLiteral("/ezstream.xml")});
    if (!source_->waitForStarted(5000)) {
        *error = QStringLiteral("ezstream does not start: ") + source_->errorString();
        source_.reset();
        return false;
    }
    if (pollUntil(
            [this] {
                return source_->state() == QProcess::NotRunning ||
                       httpStatus(port_, mountPath(), 1000) == 200;
            },
            startTimeoutMs) &&
        source_->state() == QProcess::Running)
        return true;
    *error = QStringLiteral("the mount did not come up:\n") + diagnostics();
    return false;
}

void IcecastStation::stopServer() {
    stopProcess(server_);
}

void IcecastStation::stopSource() {
    stopProcess(source_);
}

QString IcecastStation::diagnostics() const {
    QString text;
    if (server_) text += QStringLiteral("icecast2: ") + QString::fromLocal8Bit(server_->readAll()) + u'\n';
    if (source_) text += QStringLiteral("ezstream: ") + QString::fromLocal8Bit(source_->readAll()) + u'\n';
    text += QStringLiteral("error.log: ") + tail(folder_ + QStringLiteral("/icecast-log/error.log"));
    return text;
}
