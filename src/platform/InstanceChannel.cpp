#include "platform/InstanceChannel.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <cerrno>
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

InstanceChannel::~InstanceChannel() = default;

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
    // listen() would silently take the name over from a live instance, so callers test findRunning()
    // first; what is left here is a stale socket file, which only a crash leaves behind.
    QLocalServer::removeServer(path_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path_)) return false;
    connect(server_, &QLocalServer::newConnection, this, &InstanceChannel::accept);
    return true;
}

void InstanceChannel::accept() {
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
    // The receiver may let the event loop run; the sender may have given up and gone meanwhile.
    const QPointer<QLocalSocket> guard(socket);
    if (receiver_) receiver_(buffered.left(end));
    if (guard && socket->state() == QLocalSocket::ConnectedState) {
        socket->write("\1", 1);
        socket->flush();
        socket->disconnectFromServer();
    }
}
