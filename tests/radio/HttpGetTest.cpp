// The download component over a scripted transport: what it asks for, how it judges a response,
// and how it ends when stopped.
#include "radio/HttpGet.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace {

// One scripted response; the transports made by the factory share it with the test.
struct Script {
    std::optional<QByteArray> contentLength;
    QList<QByteArray> chunks;
    HttpResult result = HttpResult::Completed;
    bool holdBeforeHead = false; // waits, unanswered, until cancelled or released

    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    QList<HttpRequest> requests;
    int bodyCalls = 0;
    int headCalls = 0;
};

class ScriptedTransport : public IHttpTransport {
public:
    explicit ScriptedTransport(std::shared_ptr<Script> s) : s_(std::move(s)) {}
    HttpResult perform(const HttpRequest& request, HttpSink& sink) override {
        {
            std::unique_lock lock(s_->mutex);
            s_->requests << request;
            if (s_->holdBeforeHead) {
                s_->changed.wait(lock, [this] { return cancelled_ || s_->released; });
                if (cancelled_) return HttpResult::Cancelled;
            }
            ++s_->headCalls;
        }
        if (!sink.onHead(s_->contentLength)) return HttpResult::Aborted;
        for (const QByteArray& chunk : s_->chunks) {
            {
                std::lock_guard lock(s_->mutex);
                ++s_->bodyCalls;
            }
            if (!sink.onBody(chunk.constData(), static_cast<std::size_t>(chunk.size())))
                return HttpResult::Aborted;
        }
        return s_->result;
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

class HttpGetTest : public ::testing::Test {
protected:
    HttpGetTest() {
        get.setURL("http://radio.example:8000/list.m3u");
        get.setFileName(dir.filePath("temp.tmp"));
    }
    void release() {
        std::lock_guard lock(script->mutex);
        script->released = true;
        script->changed.notify_all();
    }
    int requestCount() {
        std::lock_guard lock(script->mutex);
        return static_cast<int>(script->requests.size());
    }
    bool waitIdle() {
        return QTest::qWaitFor([this] { return !get.isDownloading(); }, 10000);
    }
    QByteArray fileBytes() {
        QFile f(dir.filePath("temp.tmp"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
    std::shared_ptr<Script> script = std::make_shared<Script>();
    THTTPGet get{[s = script] { return std::make_unique<ScriptedTransport>(s); }};
    QSignalSpy done{&get, &THTTPGet::OnDoneFile};
    QSignalSpy error{&get, &THTTPGet::OnError};
};

} // namespace

TEST_F(HttpGetTest, RequestCarriesThePropertiesOfTheStart) {
    get.setPostQuery("a=1&b=2");
    get.setUserName("u");
    get.setPassword("p");
    get.setReferer("http://ref/");
    get.setStallTimeoutMs(1234);
    script->holdBeforeHead = true;
    script->contentLength = "0";
    get.DownloadFile();
    ASSERT_TRUE(QTest::qWaitFor([this] { return requestCount() == 1; }));
    // Changes during the download reach only the next one.
    get.setURL("http://other/");
    get.setAgent("changed");
    release();
    ASSERT_TRUE(waitIdle());

    const HttpRequest r = script->requests.value(0);
    EXPECT_EQ(r.host, "radio.example");
    EXPECT_EQ(r.port, 8000);
    EXPECT_EQ(r.path, "/list.m3u");
    EXPECT_FALSE(r.secure);
    EXPECT_EQ(r.agent, "Quillnet HTTPGet");
    EXPECT_EQ(r.acceptTypes, "*/*");
    EXPECT_FALSE(r.useCache);
    EXPECT_EQ(r.postQuery, "a=1&b=2");
    EXPECT_EQ(r.userName, "u");
    EXPECT_EQ(r.password, "p");
    EXPECT_EQ(r.referer, "http://ref/");
    EXPECT_EQ(r.stallTimeoutMs, 1234);
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(done[0][0].value<QObject*>(), &get);
    EXPECT_EQ(done[0][1].toString(), dir.filePath("temp.tmp"));
    EXPECT_EQ(done[0][2].toLongLong(), 0);
    EXPECT_TRUE(get.Success());
}

TEST_F(HttpGetTest, BodyIsHandedOnInPiecesOf1025Bytes) {
    QByteArray body;
    for (int i = 0; i < 3000; ++i)
        body += char('a' + i % 26);
    script->contentLength = "3000";
    script->chunks = {body.left(2100), body.mid(2100)};
    QList<qint64> readed;
    QObject* sender = nullptr;
    QObject::connect(&get, &THTTPGet::OnProgress, [&](QObject* s, qint64 total, qint64 r) {
        sender = s;
        EXPECT_EQ(total, 3000);
        readed << r;
    });
    get.DownloadFile();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(readed, (QList<qint64>{1025, 2050, 2100, 3000}));
    EXPECT_NE(qobject_cast<THTTPGetThread*>(sender), nullptr);
    EXPECT_EQ(fileBytes(), body);
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(done[0][2].toLongLong(), 3000);
}

TEST_F(HttpGetTest, ContentLengthThatIsNoNumberFailsOnceWithoutReading) {
    for (const QByteArray bad : {"abc", "10abc", "-10", " ", "0x10"}) {
        script->contentLength = bad;
        script->chunks = {"0123456789"};
        script->bodyCalls = 0;
        error.clear();
        get.DownloadFile();
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(error.size(), 1) << bad.constData();
        EXPECT_EQ(done.size(), 0);
        EXPECT_EQ(script->bodyCalls, 0);
        EXPECT_FALSE(get.Success());
    }
}

TEST_F(HttpGetTest, SuccessOnlyWhenTheBodyMatchesTheLengthAndAllWentWell) {
    struct Case {
        std::optional<QByteArray> length;
        QByteArray body;
        HttpResult result;
        bool ok;
    };
    const Case cases[] = {
        {"10", "0123456789", HttpResult::Completed, true},
        {"10", "0123456", HttpResult::Completed, false},
        {std::nullopt, "body", HttpResult::Completed, false},
        {std::nullopt, "", HttpResult::Completed, true},
        {"4", "body", HttpResult::Failed, false},
        {"4", "body", HttpResult::TimedOut, false},
    };
    for (const Case& c : cases) {
        script->contentLength = c.length;
        script->chunks = {c.body};
        script->result = c.result;
        done.clear();
        error.clear();
        get.DownloadFile();
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(done.size(), c.ok ? 1 : 0) << c.body.constData();
        EXPECT_EQ(error.size(), c.ok ? 0 : 1) << c.body.constData();
        EXPECT_EQ(get.Success(), c.ok);
    }
}

TEST_F(HttpGetTest, BinaryDataWithoutLengthReadsNothing) {
    get.setBinaryData(true);
    script->chunks = {"body"};
    get.DownloadFile();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(error.size(), 1);
    EXPECT_EQ(script->bodyCalls, 0);
    EXPECT_FALSE(QFile::exists(dir.filePath("temp.tmp")));
}

TEST_F(HttpGetTest, FileThatCannotBeWrittenFailsTheDownload) {
    get.setFileName(dir.filePath("no/such/folder/temp.tmp"));
    script->contentLength = "4";
    script->chunks = {"body"};
    get.DownloadFile();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(error.size(), 1);
    EXPECT_EQ(done.size(), 0);
}

TEST_F(HttpGetTest, SecondStartWhileRunningIsDroppedAndCancelEndsWithOneError) {
    script->holdBeforeHead = true;
    get.DownloadFile();
    get.DownloadFile();
    ASSERT_TRUE(QTest::qWaitFor([this] { return requestCount() == 1; }));
    get.CancelDownload();
    ASSERT_TRUE(waitIdle());
    QTest::qWait(50);
    EXPECT_EQ(script->requests.size(), 1);
    EXPECT_EQ(error.size(), 1);
    EXPECT_EQ(done.size(), 0);

    // Idle again: the next start runs.
    script->holdBeforeHead = false;
    script->contentLength = "0";
    get.DownloadFile();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(done.size(), 1);
}

TEST_F(HttpGetTest, StartFromTheEventIsDroppedAndWaitThreadReturnsAfterTheEvent) {
    script->contentLength = "0";
    int events = 0;
    QObject::connect(&get, &THTTPGet::OnDoneFile, [&] {
        ++events;
        get.DownloadFile(); // still running until the event has run
    });
    get.setWaitThread(true);
    get.DownloadFile();
    EXPECT_EQ(events, 1);
    EXPECT_FALSE(get.isDownloading());
    QTest::qWait(50);
    EXPECT_EQ(events, 1);
    EXPECT_EQ(script->requests.size(), 1);
}

TEST_F(HttpGetTest, ComponentDestroyedFromItsProgressEventEndsCleanly) {
    auto owned = std::make_unique<THTTPGet>([s = script] { return std::make_unique<ScriptedTransport>(s); });
    owned->setFileName(dir.filePath("temp.tmp"));
    owned->setURL("http://h/x");
    script->contentLength = "5000";
    script->chunks = {QByteArray(5000, 'x')};
    int progress = 0;
    int outcomes = 0;
    QObject::connect(owned.get(), &THTTPGet::OnProgress, [&] {
        ++progress;
        owned.reset();
    });
    QObject::connect(owned.get(), &THTTPGet::OnDoneFile, [&] { ++outcomes; });
    QObject::connect(owned.get(), &THTTPGet::OnError, [&] { ++outcomes; });
    owned->DownloadFile();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !owned; }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(progress, 1);
    EXPECT_EQ(outcomes, 0);
}
