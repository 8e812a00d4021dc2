#include "radio/StreamOpener.h"

#include "platform/ByteText.h"

#include <QMetaObject>
#include <QThread>
#include <mutex>
#include <utility>
#include <vector>

struct OpenResult {
    quint64 ticket = 0;
    ChannelHandle stream;
    std::string refusal;
};
using OpenResults = std::vector<OpenResult>;

// What the opening jobs share with the opener. A job may end after the opener is gone: it then frees
// its stream itself.
struct StreamOpener::Shared {
    std::mutex mutex;
    StreamOpener* owner = nullptr;
    OpenResults results; // come, not yet delivered
};

StreamOpener::StreamOpener(AudioEngine& audioEngine, QObject* parent)
    : QObject(parent), audioEngine_(audioEngine), shared_(std::make_shared<Shared>()),
      runner_([this](std::function<void()> job) { runOnThread(std::move(job)); }) {
    shared_->owner = this;
}

StreamOpener::~StreamOpener() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->owner = nullptr;
    }
    for (Worker& worker : workers_)
        worker.thread.join();
    OpenResults left;
    {
        std::lock_guard lock(shared_->mutex);
        left.swap(shared_->results);
    }
    for (const auto& result : left)
        if (result.stream) audioEngine_.release(result.stream);
}

void StreamOpener::open(const QString& url, Done done) {
    cancel();
    const quint64 ticket = ++lastTicket_;
    pending_ = ticket;
    done_ = std::move(done);
    runner_([shared = shared_, &audioEngine = audioEngine_, url = textToBytes(url).toStdString(), ticket] {
        UrlOpenResult opened = audioEngine.openUrlWithRefusal(url, OpenOptions{});
        const ChannelHandle stream = opened.handle;
        std::unique_lock lock(shared->mutex);
        StreamOpener* owner = shared->owner;
        if (!owner) {
            lock.unlock();
            if (stream) audioEngine.release(stream);
            return;
        }
        shared->results.push_back({ticket, stream, std::move(opened.refusal)});
        if (QThread::currentThread() == owner->thread()) {
            lock.unlock();
            owner->deliver();
            return;
        }
        // Posted under the lock: the owner cannot be destroyed before it has taken the lock.
        QMetaObject::invokeMethod(owner, &StreamOpener::deliver, Qt::QueuedConnection);
    });
}

void StreamOpener::cancel() {
    pending_ = 0;
    done_ = nullptr;
}

void StreamOpener::deliver() {
    joinEndedThreads();
    OpenResults results;
    {
        std::lock_guard lock(shared_->mutex);
        results.swap(shared_->results);
    }
    for (const auto& [ticket, stream, refusal] : results) {
        if (ticket != pending_) {
            if (stream) audioEngine_.release(stream);
            continue;
        }
        pending_ = 0;
        const Done done = std::exchange(done_, nullptr);
        done(stream, bytesToText(QByteArray::fromStdString(refusal)));
    }
}

void StreamOpener::runOnThread(std::function<void()> job) {
    joinEndedThreads();
    auto ended = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([job = std::move(job), ended] {
        job();
        ended->store(true);
    });
    workers_.push_back({std::move(thread), std::move(ended)});
}

void StreamOpener::joinEndedThreads() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (!it->ended->load()) {
            ++it;
            continue;
        }
        it->thread.join();
        it = workers_.erase(it);
    }
}
