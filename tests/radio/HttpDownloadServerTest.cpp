// The download component with libcurl against a real HTTP server on 127.0.0.1.
#include "radio/HttpDownload.h"
#include "support/LoopbackHttpServer.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using Reply = LoopbackHttpServer::Reply;

Reply sendBytes(const QByteArray& bytes) {
    return {bytes, false, {}, false};
}

class HttpDownloadServerTest : public ::testing::Test {
protected:
    HttpDownloadServerTest() {
        // A proxy from the environment must not come between the test and its own server.
        qputenv("no_proxy", "127.0.0.1");
        qputenv("NO_PROXY", "127.0.0.1");
        get.setFileName(dir.filePath("temp.tmp"));
        get.setConnectTimeoutMs(5000);
        get.setStallTimeoutMs(5000);
    }
    void start(LoopbackHttpServer::Handler handler) {
        server = std::make_unique<LoopbackHttpServer>(std::move(handler));
        ASSERT_NE(server->port(), 0) << "the test server could not listen on 127.0.0.1";
    }
    // Downloads path and waits for its one event.
    void download(const QString& path) {
        get.setUrl(server->url(path));
        get.downloadToFile();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !get.isDownloading(); }, 20000));
    }
    QByteArray fileBytes() {
        QFile f(dir.filePath("temp.tmp"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
    std::unique_ptr<LoopbackHttpServer> server;
    HttpDownload get;
    QSignalSpy done{&get, &HttpDownload::fileDone};
    QSignalSpy error{&get, &HttpDownload::failed};
};

} // namespace

TEST_F(HttpDownloadServerTest, FullBodySucceedsWithTheRequestHeadersSent) {
    start([](const auto&) {
        return sendBytes(LoopbackHttpServer::response("Content-Length: 10\r\n", "0123456789"));
    });
    download("/list/mp3.snd");
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(error.size(), 0);
    EXPECT_EQ(done[0][1].toString(), dir.filePath("temp.tmp"));
    EXPECT_EQ(done[0][2].toLongLong(), 10);
    EXPECT_EQ(fileBytes(), "0123456789");

    const LoopbackHttpServer::Request r = server->requests().value(0);
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.target, "/list/mp3.snd");
    EXPECT_EQ(r.version, "HTTP/1.0");
    EXPECT_EQ(r.header("User-Agent"), "Quillnet HTTPGet");
    EXPECT_EQ(r.header("Accept"), "*/*");
    EXPECT_EQ(r.header("Pragma"), "no-cache");
    EXPECT_FALSE(r.hasHeader("Authorization"));
    EXPECT_FALSE(r.hasHeader("Referer"));
}

TEST_F(HttpDownloadServerTest, BodiesThatDoNotMatchTheLengthFail) {
    start([](const LoopbackHttpServer::Request& r) {
        if (r.target == "/short")
            return sendBytes(LoopbackHttpServer::response("Content-Length: 10\r\n", "0123456"));
        if (r.target == "/unmeasured") return sendBytes(LoopbackHttpServer::response("", "some body"));
        if (r.target == "/empty")
            return sendBytes(LoopbackHttpServer::response("Content-Type: text/plain\r\n"));
        if (r.target == "/rubbish")
            return sendBytes(LoopbackHttpServer::response("Content-Length: 10abc\r\n", "0123456789"));
        return sendBytes(LoopbackHttpServer::response("Content-Length: ten\r\n", "0123456789"));
    });
    download("/short");
    EXPECT_EQ(error.size(), 1);
    EXPECT_EQ(fileBytes(), "0123456"); // left behind, as it came
    download("/unmeasured");
    EXPECT_EQ(error.size(), 2);
    download("/notanumber");
    EXPECT_EQ(error.size(), 3);
    // libcurl alone would read this one as 10.
    download("/rubbish");
    EXPECT_EQ(error.size(), 4);
    EXPECT_EQ(done.size(), 0);

    // An empty body without a length is complete.
    download("/empty");
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(done[0][2].toLongLong(), 0);
    EXPECT_EQ(fileBytes(), "");
    QTest::qWait(100);
    EXPECT_EQ(error.size(), 4);
}

TEST_F(HttpDownloadServerTest, ServerThatNeverAnswersFailsAfterTheStallTimeOut) {
    start([](const auto&) { return Reply{{}, false, {}, true}; });
    get.setStallTimeoutMs(300);
    download("/silent");
    EXPECT_EQ(error.size(), 1);
    EXPECT_EQ(done.size(), 0);
    // The component let go of the connection.
    EXPECT_TRUE(QTest::qWaitFor([this] { return server->closedConnections() == 1; }, 5000));
}

TEST_F(HttpDownloadServerTest, SecondStartDuringADownloadIsDropped) {
    start([](const auto&) {
        return Reply{LoopbackHttpServer::response("Content-Length: 6\r\n", "abc"), true, "def", false};
    });
    get.setUrl(server->url("/first"));
    get.downloadToFile();
    ASSERT_TRUE(QTest::qWaitFor([this] { return server->requests().size() == 1; }, 10000));
    get.setUrl(server->url("/second"));
    get.downloadToFile();
    server->openGate();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !get.isDownloading(); }, 20000));
    QTest::qWait(100);
    EXPECT_EQ(server->requests().size(), 1);
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(fileBytes(), "abcdef");
}

TEST_F(HttpDownloadServerTest, ProgressAfterEachPieceOfTheBody) {
    QByteArray body;
    for (int i = 0; i < 5000; ++i)
        body += char('0' + i % 10);
    start([&](const auto&) {
        return sendBytes(LoopbackHttpServer::response("Content-Length: 5000\r\n", body));
    });
    QList<qint64> received;
    QObject::connect(&get, &HttpDownload::progressed, [&](QObject*, qint64 total, qint64 r) {
        EXPECT_EQ(total, 5000);
        received << r;
    });
    download("/big");
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(fileBytes(), body);
    ASSERT_GE(received.size(), 5);
    EXPECT_EQ(received.last(), 5000);
    for (qsizetype i = 0; i < received.size(); ++i) {
        const qint64 step = received[i] - (i ? received[i - 1] : 0);
        EXPECT_TRUE(step > 0 && step <= 1025) << step;
    }
}

TEST_F(HttpDownloadServerTest, DestroyedDuringADownloadStopsItWithoutAnEvent) {
    start([](const auto&) {
        return Reply{LoopbackHttpServer::response("Content-Length: 100\r\n", "abc"), false, {}, true};
    });
    auto owned = std::make_unique<HttpDownload>();
    owned->setFileName(dir.filePath("temp.tmp"));
    owned->setUrl(server->url("/endless"));
    int events = 0;
    bool progressed = false;
    QObject::connect(owned.get(), &HttpDownload::progressed, [&] { progressed = true; });
    QObject::connect(owned.get(), &HttpDownload::fileDone, [&] { ++events; });
    QObject::connect(owned.get(), &HttpDownload::failed, [&] { ++events; });
    owned->downloadToFile();
    ASSERT_TRUE(QTest::qWaitFor([&] { return progressed; }, 10000));
    owned.reset(); // returns once the worker has ended
    EXPECT_TRUE(QTest::qWaitFor([this] { return server->closedConnections() == 1; }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(events, 0);
}

TEST_F(HttpDownloadServerTest, PostCredentialsRefererAndCacheAsSet) {
    start([](const auto&) { return sendBytes(LoopbackHttpServer::response("Content-Length: 2\r\n", "ok")); });
    get.setPostQuery("name=a%20b&x=1");
    get.setUserName("user");
    get.setPassword("secret");
    get.setReferer("http://from.example/");
    get.setUseCache(true);
    get.setUserAgent("");
    download("/form");
    ASSERT_EQ(done.size(), 1);
    const LoopbackHttpServer::Request r = server->requests().value(0);
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(r.body, "name=a%20b&x=1");
    EXPECT_EQ(r.header("Authorization"), "Basic " + QByteArray("user:secret").toBase64());
    EXPECT_EQ(r.header("Referer"), "http://from.example/");
    EXPECT_FALSE(r.hasHeader("Pragma"));
    EXPECT_FALSE(r.hasHeader("User-Agent"));
}

TEST_F(HttpDownloadServerTest, RedirectIsFollowedAndOnlyTheLastBodyKept) {
    start([](const LoopbackHttpServer::Request& r) {
        if (r.target == "/old")
            return sendBytes("HTTP/1.0 302 Found\r\nLocation: /new\r\nContent-Length: 5\r\n\r\nmoved");
        return sendBytes(LoopbackHttpServer::response("Content-Length: 3\r\n", "new"));
    });
    download("/old");
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(done[0][2].toLongLong(), 3);
    EXPECT_EQ(fileBytes(), "new");
}

TEST_F(HttpDownloadServerTest, RelativeFileNameIsInTheCurrentFolder) {
    start([](const auto&) { return sendBytes(LoopbackHttpServer::response("Content-Length: 2\r\n", "ok")); });
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    get.setFileName("relative.tmp");
    download("/x");
    QDir::setCurrent(before);
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(done[0][1].toString(), "relative.tmp");
    EXPECT_TRUE(QFile::exists(dir.filePath("relative.tmp")));
}
