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

class InstanceChannel : public QObject {
    Q_OBJECT
public:
    // name: the window title the instances look for.
    explicit InstanceChannel(const QString& name, QObject* parent = nullptr);
    ~InstanceChannel() override;

    // The socket's path: in $XDG_RUNTIME_DIR when set (private to the user), else in the temporary
    // folder with the user id in its name.
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
