// The download component over a scripted transport: the cases a real server cannot stage on cue
// (a transport that waits until told, a file that cannot be made, events that re-enter).
#include "radio/HttpDownload.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace {

// One scripted response, shared by the transports the factory makes and the test.
struct Script {
    std::optional<QByteArray> contentLength;
    QByteArray body;
    bool holdUntilCancelled = false;
    std::mutex mutex;
    std::condition_variable changed;
    int requests = 0;
    bool bodyRead = false;
};

class ScriptedTransport : public IHttpTransport {
public:
    explicit ScriptedTransport(std::shared_ptr<Script> s) : s_(std::move(s)) {}
    HttpResult perform(const HttpRequest&, HttpSink& sink) override {
        {
            std::unique_lock lock(s_->mutex);
            ++s_->requests;
            if (s_->holdUntilCancelled) {
                s_->changed.wait(lock, [this] { return cancelled_; });
                return HttpResult::Cancelled;
            }
        }
        if (!sink.onHead(s_->contentLength)) return HttpResult::Aborted;
        s_->bodyRead = true;
        if (!sink.onBody(s_->body.constData(), static_cast<std::size_t>(s_->body.size())))
            return HttpResult::Aborted;
        return HttpResult::Completed;
    }
    void cancel() override {
        std::lock_guard lock(s_->mutex);
        cancelled_ = true;
        s_->changed.notify_all();
    }

private:
    std::shared_ptr<Script> s_;
    bool cancelled_ = false;
};

class HttpDownloadTest : public ::testing::Test {
protected:
    HttpDownloadTest() {
        get->setUrl("http://radio.example/list.m3u");
        get->setFileName(dir.filePath("temp.tmp"));
        QObject::connect(get.get(), &HttpDownload::fileDone, [this] { ++done; });
        QObject::connect(get.get(), &HttpDownload::failed, [this] { ++errors; });
    }
    int requests() {
        std::lock_guard lock(script->mutex);
        return script->requests;
    }
    bool waitIdle() {
        return QTest::qWaitFor([this] { return !get->isDownloading(); }, 10000);
    }

    QTemporaryDir dir;
    std::shared_ptr<Script> script = std::make_shared<Script>();
    std::unique_ptr<HttpDownload> get =
        std::make_unique<HttpDownload>([s = script] { return std::make_unique<ScriptedTransport>(s); });
    int done = 0;
    int errors = 0;
};

} // namespace

TEST_F(HttpDownloadTest, LargePiecesAreHandedOnAt1025BytesEach) {
    script->contentLength = "3000";
    script->body = QByteArray(3000, 'x');
    QList<qint64> received;
    QObject* sender = nullptr;
    QObject::connect(get.get(), &HttpDownload::progressed, [&](QObject* s, qint64, qint64 r) {
        sender = s;
        received << r;
    });
    get->downloadToFile();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(received, (QList<qint64>{1025, 2050, 3000}));
    EXPECT_NE(qobject_cast<HttpDownloadThread*>(sender), nullptr); // the worker, as the events promise
    EXPECT_EQ(done, 1);
}

TEST_F(HttpDownloadTest, FailsWithoutReadingWhenTheBodyCannotBeJudgedOrKept) {
    get->setLengthRequired(true);
    script->body = "body";
    get->downloadToFile();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(errors, 1);
    EXPECT_FALSE(script->bodyRead);
    EXPECT_FALSE(QFile::exists(dir.filePath("temp.tmp")));

    get->setLengthRequired(false);
    get->setFileName(dir.filePath("no/such/folder/temp.tmp"));
    script->contentLength = "4";
    get->downloadToFile();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(errors, 2);
    EXPECT_FALSE(script->bodyRead);
    EXPECT_EQ(done, 0);
}

TEST_F(HttpDownloadTest, CancelEndsWithOneErrorAndTheNextStartRuns) {
    script->holdUntilCancelled = true;
    get->downloadToFile();
    ASSERT_TRUE(QTest::qWaitFor([this] { return requests() == 1; }));
    get->cancel();
    ASSERT_TRUE(waitIdle());
    QTest::qWait(50);
    EXPECT_EQ(errors, 1);
    EXPECT_FALSE(get->succeeded());

    script->holdUntilCancelled = false;
    script->contentLength = "0";
    get->downloadToFile();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(done, 1);
    EXPECT_TRUE(get->succeeded());
}

// Into memory: the body comes with memoryDone, byte for byte, and nothing is written; its length
// must match as for a file.
TEST_F(HttpDownloadTest, DownloadIntoMemoryGivesTheBodyAndWritesNoFile) {
    QList<QByteArray> bodies;
    QObject::connect(get.get(), &HttpDownload::memoryDone,
                     [&bodies](QObject*, const QByteArray& body) { bodies << body; });
    script->contentLength = "6";
    script->body = QByteArray("a\r\n\xe9\0b", 6);
    get->downloadToMemory();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(bodies, QList<QByteArray>{script->body});
    EXPECT_EQ(done, 0);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    script->contentLength = "7";
    get->downloadToMemory();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(bodies.size(), 1);
}

// Abandoned: no event ever comes, and the next download starts at once.
TEST_F(HttpDownloadTest, AnAbandonedDownloadIsNeverHeardOfAndTheNextStartsAtOnce) {
    script->holdUntilCancelled = true;
    get->downloadToMemory();
    ASSERT_TRUE(QTest::qWaitFor([this] { return requests() == 1; }));
    get->abandon();
    EXPECT_FALSE(get->isDownloading());
    {
        std::lock_guard lock(script->mutex);
        script->holdUntilCancelled = false;
        script->contentLength = "0";
    }
    get->downloadToFile();
    EXPECT_TRUE(get->isDownloading());
    ASSERT_TRUE(waitIdle());
    QTest::qWait(50);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(requests(), 2);
}

TEST_F(HttpDownloadTest, StartFromInsideTheEventIsDroppedAndAWaitingStartReturnsAfterTheEvent) {
    script->contentLength = "0";
    QObject::connect(get.get(), &HttpDownload::fileDone, [this] { get->downloadToFile(); });
    get->setWaitUntilDone(true);
    get->downloadToFile();
    EXPECT_EQ(done, 1);
    EXPECT_FALSE(get->isDownloading());
    QTest::qWait(50);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(requests(), 1);
}

TEST_F(HttpDownloadTest, ComponentDestroyedFromItsOwnProgressEventEndsCleanly) {
    script->contentLength = "5000";
    script->body = QByteArray(5000, 'x');
    int progress = 0;
    QObject::connect(get.get(), &HttpDownload::progressed, [this, &progress] {
        ++progress;
        get.reset();
    });
    get->downloadToFile();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !get; }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(progress, 1);
    EXPECT_EQ(done + errors, 0);
}
