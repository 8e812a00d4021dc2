#include "platform/InstanceChannel.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
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

// Whether the process at the other end of a connected local socket runs as this user.
bool sameUserAtOtherEnd(int socket) {
    struct ucred peer {};
    socklen_t size = sizeof peer;
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || size != sizeof peer) return false;
    return peer.uid == ::getuid();
}

bool socketAddress(const QString& path, sockaddr_un& address) {
    const QByteArray name = QFile::encodeName(path);
    address = {};
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || static_cast<std::size_t>(name.size()) >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    return true;
}

UniqueFd unixSocket() {
    return UniqueFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
}

// Waits until the socket is ready for events (POLLIN, POLLOUT) or the deadline passes.
bool waitFor(int socket, short events, const QDeadlineTimer& deadline) {
    pollfd watched{socket, events, 0};
    for (;;) {
        const int ready = ::poll(&watched, 1, remainingMs(deadline));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

// A connection to the socket at path, or none when nobody listens there before the deadline.
UniqueFd connectTo(const QString& path, const QDeadlineTimer& deadline) {
    sockaddr_un address;
    if (!socketAddress(path, address)) return {};
    UniqueFd socket = unixSocket();
    if (!socket) return {};
    for (;;) {
        if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return socket;
        if (errno == EINTR) continue;
        if (errno != EAGAIN || deadline.hasExpired()) return {};
        // The listener's queue is full (many starts at once): it empties as the instance accepts.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool writeAll(int socket, const QByteArray& bytes, const QDeadlineTimer& deadline) {
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::send(socket, bytes.constData() + written, static_cast<std::size_t>(bytes.size() - written),
                                 MSG_NOSIGNAL);
        if (n > 0) {
            written += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            if (!waitFor(socket, POLLOUT, deadline)) return false;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

InstanceChannel::InstanceChannel(const QString& name, QObject* parent)
    : QObject(parent), path_(channelPath(name)) {}

InstanceChannel::~InstanceChannel() {
    if (!listening_ && !claim_) return;
    const Turn turn(path_);
    // Second starts still connected, or waiting in the queue, find the socket closed and hand their
    // texts to the next instance.
    for (auto& [id, connection] : connections_)
        delete connection.readable;
    connections_.clear();
    delete acceptable_;
    if (server_) ::unlink(QFile::encodeName(path_).constData());
    server_.reset();
    claim_.reset();
}

bool InstanceChannel::findRunning(int timeoutMs) const {
    const UniqueFd socket = connectTo(path_, QDeadlineTimer(timeoutMs));
    // A server of another user's under the name is no instance of ours: its path is taken, nothing more.
    return socket && sameUserAtOtherEnd(socket.get());
}

bool InstanceChannel::send(const QByteArray& text, int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    const UniqueFd socket = connectTo(path_, deadline);
    // The argument goes to no other user's program.
    if (!socket || !sameUserAtOtherEnd(socket.get())) return false;
    QByteArray message = text;
    message.append('\0');
    if (!writeAll(socket.get(), message, deadline)) return false;
    // The answer comes after the running instance has taken the text in.
    for (;;) {
        char answer = 0;
        const ssize_t n = ::recv(socket.get(), &answer, 1, 0);
        if (n == 1) return true;
        if (n == 0 || (errno != EINTR && errno != EAGAIN)) return false;
        if (errno == EAGAIN && !waitFor(socket.get(), POLLIN, deadline)) return false;
    }
}

bool InstanceChannel::listen() {
    if (listening_) return true;
    const Turn turn(path_);
    if (!claim()) return false;
    startServer();
    listening_ = true;
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
    sockaddr_un address;
    if (!socketAddress(path_, address)) return;
    // This process holds the claim, so a socket file under the name is a dead instance's.
    ::unlink(address.sun_path);
    UniqueFd socket = unixSocket();
    if (!socket || ::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return;
    // Only this user may connect (the folder is private as well, where there is one).
    ::chmod(address.sun_path, 0600);
    if (::listen(socket.get(), SOMAXCONN) != 0) {
        ::unlink(address.sun_path);
        return;
    }
    server_ = std::move(socket);
    acceptable_ = new QSocketNotifier(server_.get(), QSocketNotifier::Read, this);
    acceptable_->setEnabled(bool(receiver_));
    connect(acceptable_, &QSocketNotifier::activated, this, &InstanceChannel::accept);
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
    // Without a receiver, connections wait in the socket's queue; those that came meanwhile are taken
    // from the event loop, in the order they came.
    if (!acceptable_) return;
    acceptable_->setEnabled(bool(receiver_));
    if (receiver_) QMetaObject::invokeMethod(this, &InstanceChannel::accept, Qt::QueuedConnection);
}

void InstanceChannel::accept() {
    if (!receiver_ || !server_) return;
    for (;;) {
        UniqueFd socket(::accept4(server_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!socket) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;
        }
        // The socket file admits only this user, but root and a socket path made reachable by mistake
        // would let others in: only this user's own processes may hand a path over.
        if (!sameUserAtOtherEnd(socket.get())) continue;
        const quint64 id = nextConnection_++;
        Connection& connection = connections_[id];
        connection.readable = new QSocketNotifier(socket.get(), QSocketNotifier::Read, this);
        connection.socket = std::move(socket);
        connect(connection.readable, &QSocketNotifier::activated, this, [this, id] { readFrom(id); });
        readFrom(id);
    }
}

void InstanceChannel::readFrom(quint64 id) {
    auto found = connections_.find(id);
    if (found == connections_.end()) return;
    Connection& connection = found->second;
    constexpr qsizetype maxText = 64 * 1024;
    bool ended = false;
    for (;;) {
        char chunk[4096];
        const ssize_t n = ::recv(connection.socket.get(), chunk, sizeof chunk, 0);
        if (n > 0) {
            connection.buffered.append(chunk, n);
            if (connection.buffered.size() > maxText && !connection.buffered.contains('\0')) return drop(id);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        ended = n == 0 || errno != EAGAIN;
        break;
    }
    // A text ends at its zero byte; a connection that only looks for the instance sends nothing.
    const qsizetype end = connection.buffered.indexOf('\0');
    if (end < 0) {
        if (ended) drop(id);
        return;
    }
    // This instance is closing: the sender hands the text to the next one.
    if (!receiver_) return drop(id);
    connection.readable->setEnabled(false);
    const QByteArray text = connection.buffered.left(end);
    // The receiver may let the event loop run; this channel may stop listening meanwhile.
    receiver_(text);
    found = connections_.find(id);
    if (found == connections_.end()) return;
    ::send(found->second.socket.get(), "\1", 1, MSG_NOSIGNAL);
    drop(id);
}

void InstanceChannel::drop(quint64 id) {
    const auto found = connections_.find(id);
    if (found == connections_.end()) return;
    // The notifier may be the one whose signal runs now.
    found->second.readable->setEnabled(false);
    found->second.readable->deleteLater();
    connections_.erase(found);
}
