#pragma once
// The channel between a second start of the program and the running instance: a local socket only the
// same user can reach. The second start sends its argument and a zero byte and waits for a one-byte
// answer, which the running instance sends after it has taken the argument in.
//
// Which process is the running instance is decided by a claim: an exclusive lock on a file beside the
// socket, held for the instance's life. Of any number of processes starting at once exactly one gets
// it; a socket file is removed only by the process that holds the claim.

#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;

class InstanceChannel : public QObject {
    Q_OBJECT
public:
    // name: the window title the instances look for.
    explicit InstanceChannel(const QString& name, QObject* parent = nullptr);
    // Stops listening and gives the claim up.
    ~InstanceChannel() override;

    // The socket's path: in $XDG_RUNTIME_DIR when set (private to the user), else in a folder of the
    // user's own (mode 0700) in the temporary folder. Only the same user is served and served by.
    QString socketPath() const { return path_; }

    // True when a running instance answers.
    bool findRunning(int timeoutMs = 1000) const;
    // Sends text to the running instance and waits (at most timeoutMs) until it has taken it in.
    bool send(const QByteArray& text, int timeoutMs = 3000) const;

    // Claims the instance and listens, so others find this one; false when another process holds the
    // claim. A socket left behind by a crashed instance is removed.
    bool listen();

    enum class HandOver { Delivered, Claimed, Failed };
    // Sends the texts to the running instance one after the other, each once the last was taken in.
    // Claimed: the running instance went away meanwhile, and this process holds the claim now.
    // Failed: the running instance did not take them in within timeoutMs.
    HandOver handOver(const QList<QByteArray>& texts, int timeoutMs = 10000);

    // Runs for every text received; the sender waits until it returns. Without a receiver, texts wait
    // in the order they came until one is set, or are refused once this channel goes, so that their
    // senders hand them to the next instance.
    void setReceiver(std::function<void(const QByteArray&)> receiver);

private:
    // A second start connected to this instance, until its text is answered.
    struct Connection {
        UniqueFd socket;
        QSocketNotifier* readable = nullptr;
        QByteArray buffered;
    };

    bool claim();
    void startServer();
    void accept();
    void readFrom(quint64 id);
    void drop(quint64 id);

    QString path_;
    UniqueFd claim_; // the lock file, locked while this process is the instance
    // A plain Unix socket rather than Qt's local server: the player then needs no Qt Network, which
    // with what it loads (Kerberos, libproxy) would cost more than a MiB of memory for this alone.
    bool listening_ = false;
    UniqueFd server_;
    QSocketNotifier* acceptable_ = nullptr;
    std::map<quint64, Connection> connections_;
    quint64 nextConnection_ = 0;
    std::function<void(const QByteArray&)> receiver_;
};
