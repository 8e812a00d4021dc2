#pragma once
// The channel between a second start of the program and the running instance: a local socket only the
// same user can reach. The second start sends its argument and a zero byte and waits for a one-byte
// answer, which the running instance sends after it has taken the argument in.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QLocalSocket;

// Whether the process at the other end of a connected local socket runs as this user.
bool sameUserAtOtherEnd(const QLocalSocket& socket);

class InstanceChannel : public QObject {
    Q_OBJECT
public:
    // name: the window title the instances look for.
    explicit InstanceChannel(const QString& name, QObject* parent = nullptr);
    ~InstanceChannel() override;

    // The socket's path: in $XDG_RUNTIME_DIR when set (private to the user), else in a folder of the
    // user's own (mode 0700) in the temporary folder. Only the same user is served and served by.
    QString socketPath() const { return path_; }

    // True when a running instance answers.
    bool findRunning(int timeoutMs = 1000) const;
    // Sends text to the running instance and waits (at most timeoutMs) until it has taken it in.
    bool send(const QByteArray& text, int timeoutMs = 3000) const;

    // Becomes the instance others find. A socket left behind by a crashed instance is removed.
    bool listen();

    // Runs for every text received; the sender waits until it returns.
    void setReceiver(std::function<void(const QByteArray&)> receiver) { receiver_ = std::move(receiver); }

private:
    void accept();
    void readFrom(QLocalSocket* socket);

    QString path_;
    QLocalServer* server_ = nullptr;
    std::function<void(const QByteArray&)> receiver_;
};
