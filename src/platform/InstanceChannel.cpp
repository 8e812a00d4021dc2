#include "platform/InstanceChannel.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder only this user may enter: a directory (not a link) of this user's without access for
// group or others. Created when missing.
bool privateFolder(const QString& folder) {
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    return ::lstat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

QString channelPath(const QString& name) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) return runtime + u'/' + name;
    // The shared temporary folder: the socket goes into a folder of this user's own, so nobody else
    // can put a socket of theirs under the name first.
    const QString uid = QString::number(::getuid());
    const QString folder = QDir::tempPath() + QStringLiteral("/mp3zx-") + uid;
    if (privateFolder(folder)) return folder + u'/' + name;
    return QDir::tempPath() + u'/' + name + u'.' + uid;
}

// A lock file of this user's, open for locking; none when there is none to be had (a folder that
// cannot be written, a file of another user's under the name).
UniqueFd openLockFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    UniqueFd fd(::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd) return {};
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid()) return {};
    return fd;
}

// Held while a process claims the instance and starts listening, or stops listening and gives the
// claim up: whoever finds the claim taken finds its holder listening.
class Turn {
public:
    explicit Turn(const QString& socketPath) : fd_(openLockFile(socketPath + QStringLiteral(".turn"))) {
        if (!fd_) return;
        while (::flock(fd_.get(), LOCK_EX) != 0 && errno == EINTR) {
        }
    }

private:
    UniqueFd fd_;
};

int remainingMs(const QDeadlineTimer& deadline) {
    return static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
}

} // namespace

bool sameUserAtOtherEnd(const QLocalSocket& socket) {
    const qintptr fd = socket.socketDescriptor();
    if (fd < 0) return false;
    struct ucred peer {};
    socklen_t size = sizeof peer;
    if (::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || size != sizeof peer)
        return false;
    return peer.uid == ::getuid();
}

InstanceChannel::InstanceChannel(const QString& name, QObject* parent)
    : QObject(parent), path_(channelPath(name)) {}

InstanceChannel::~InstanceChannel() {
    if (!server_ && !claim_) return;
    const Turn turn(path_);
    delete server_;
    claim_.reset();
}

bool InstanceChannel::findRunning(int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(path_);
    // A server of another user's under the name is no instance of ours: its path is taken, nothing more.
    const bool found = socket.waitForConnected(timeoutMs) && sameUserAtOtherEnd(socket);
    socket.abort();
    return found;
}

bool InstanceChannel::send(const QByteArray& text, int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) return false;
    // The argument goes to no other user's program.
    if (!sameUserAtOtherEnd(socket)) return false;
    QByteArray message = text;
    message.append('\0');
    socket.write(message);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) return false;
    // The answer comes after the running instance has taken the text in.
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) return false;
    return true;
}

bool InstanceChannel::listen() {
    if (server_) return true;
    const Turn turn(path_);
    if (!claim()) return false;
    startServer();
    return true;
}

bool InstanceChannel::claim() {
    UniqueFd fd = openLockFile(path_ + QStringLiteral(".lock"));
    // Without a lock file, only connecting tells whether an instance runs.
    if (!fd) return !findRunning();
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;
    claim_ = std::move(fd);
    return true;
}

void InstanceChannel::startServer() {
    // This process holds the claim, so a socket file under the name is a dead instance's.
    QLocalServer::removeServer(path_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &InstanceChannel::accept);
    server_->listen(path_);
}

InstanceChannel::HandOver InstanceChannel::handOver(const QList<QByteArray>& texts, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    qsizetype next = 0;
    // An instance that is closing refuses what comes late, and its claim then passes on: a few rounds
    // are enough, and a claim held without a listener never makes this spin.
    constexpr int rounds = 3;
    for (int round = 0; round < rounds && !deadline.hasExpired(); ++round) {
        while (next < texts.size() && send(texts[next], remainingMs(deadline)))
            ++next;
        if (next == texts.size()) return HandOver::Delivered;
        if (listen()) return HandOver::Claimed;
    }
    return HandOver::Failed;
}

void InstanceChannel::setReceiver(std::function<void(const QByteArray&)> receiver) {
    receiver_ = std::move(receiver);
    // Connections that came while nobody received are taken from the event loop, in the order they came.
    if (receiver_ && server_) QMetaObject::invokeMethod(this, &InstanceChannel::accept, Qt::QueuedConnection);
}

void InstanceChannel::accept() {
    // Without a receiver, connections wait in the server's queue.
    if (!receiver_) return;
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        // The socket file admits only this user, but root and a socket path made reachable by mistake
        // would let others in: only this user's own processes may hand a path over.
        if (!sameUserAtOtherEnd(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0) readFrom(socket);
    }
}

void InstanceChannel::readFrom(QLocalSocket* socket) {
    // A text ends at its zero byte; a connection that only looks for the instance sends nothing.
    QByteArray buffered = socket->property("buffered").toByteArray() + socket->readAll();
    const qsizetype end = buffered.indexOf('\0');
    if (end < 0) {
        constexpr qsizetype maxText = 64 * 1024;
        if (buffered.size() > maxText)
            socket->abort();
        else
            socket->setProperty("buffered", buffered);
        return;
    }
    socket->setProperty("buffered", QByteArray());
    if (!receiver_) {
        // This instance is closing: the sender hands the text to the next one.
        socket->abort();
        socket->deleteLater();
        return;
    }
    // The receiver may let the event loop run; the sender may have given up and gone meanwhile.
    const QPointer<QLocalSocket> guard(socket);
    receiver_(buffered.left(end));
    if (guard && socket->state() == QLocalSocket::ConnectedState) {
        socket->write("\1", 1);
        socket->flush();
        socket->disconnectFromServer();
    }
}
