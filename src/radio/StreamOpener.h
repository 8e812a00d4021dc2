#pragma once
// Opens radio streams away from the window's thread: the engine's open returns only once the server
// has answered and the first audio decodes, and a server that accepts and never answers keeps it
// waiting for the whole open time-out.
//
// One open is pending at a time. Its result comes back on this object's thread. A new open, or
// cancel(), drops the pending one: its stream is freed when it comes (so its connection is closed)
// and is never handed over.

#include "audio/AudioEngine.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <thread>

class StreamOpener : public QObject {
    Q_OBJECT
public:
    // Runs a job that blocks somewhere the caller does not wait for it.
    using Runner = std::function<void(std::function<void()> job)>;
    // The opened stream, or no handle when it could not be opened; then refusal, when not empty, says
    // why the stream can never play.
    using Done = std::function<void(ChannelHandle stream, const QString& refusal)>;

    explicit StreamOpener(AudioEngine& audioEngine, QObject* parent = nullptr);
    // Waits for the opens still running (the engine's closeOutput ends them early) and frees what
    // they opened.
    ~StreamOpener() override;
    StreamOpener(const StreamOpener&) = delete;
    StreamOpener& operator=(const StreamOpener&) = delete;

    // Opens url; done runs with the result unless another open or cancel() comes first. A result that
    // arrives on this object's thread itself is handed over at once.
    void open(const QString& url, Done done);
    void cancel();
    bool isPending() const { return pending_ != 0; }

    // Where the opens run: each on a thread of its own, unless a test runs them itself.
    void setRunner(Runner runner) { runner_ = std::move(runner); }

private:
    struct Shared;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };

    void runOnThread(std::function<void()> job);
    void joinEndedThreads();
    // Hands the results that have come over to their callers, or frees them.
    void deliver();

    AudioEngine& audioEngine_;
    std::shared_ptr<Shared> shared_;
    Runner runner_;
    std::list<Worker> workers_;
    quint64 lastTicket_ = 0;
    quint64 pending_ = 0; // the ticket of the pending open, 0 for none
    Done done_;
};
