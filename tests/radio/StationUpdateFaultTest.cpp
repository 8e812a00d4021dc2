// The station list update against servers on 127.0.0.1 that misbehave: silent, stalling, closing
// early, sending garbage for a head or an error page, or a body of a gigabyte made up on the fly. Each
// update ends in one failure message with the editor text untouched, the event loop keeps turning
// meanwhile, and the huge body costs neither memory nor disk beyond the update's limit.

#include "radio/RadioTestSupport.h"
#include "support/LoopbackHttpServer.h"
#include "support/PlayerHarness.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using Reply = LoopbackHttpServer::Reply;

Reply sendBytes(const QByteArray& bytes) {
    return {bytes, false, {}, false};
}

constexpr qint64 gigabyte = qint64(1) << 30;

// The resident memory of this process in KiB, from /proc.
qint64 residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

class StationUpdateFaultTest : public ::testing::Test {
protected:
    StationUpdateFaultTest() {
        qputenv("no_proxy", "127.0.0.1");
        qputenv("NO_PROXY", "127.0.0.1");
        s.radio.stations.append({QStringLiteral("A"), QStringLiteral("http://a/")});
        h.player.editor.openStationEditor();
        // A silent server is given up after this long; the program's own value is longer.
        h.player.update.stationListDownload.setStallTimeoutMs(1500);
        h.player.update.stationListDownload.setConnectTimeoutMs(5000);
    }
    void serve(const std::function<Reply()>& reply) {
        server = std::make_unique<LoopbackHttpServer>(
            [reply](const LoopbackHttpServer::Request&) { return reply(); });
        ASSERT_NE(server->port(), 0) << "the test server could not listen on 127.0.0.1";
        h.player.update.updateUrl = server->url(QStringLiteral("/download/mp3.snd"));
    }
    // Runs one update to its end; false when it did not end in time. Counts the event loop's turns.
    bool update() {
        QTimer beat;
        beat.setInterval(20);
        QObject::connect(&beat, &QTimer::timeout, [this] { ++beats; });
        beat.start();
        beats = 0;
        h.player.update.fetchStationUpdate();
        return QTest::qWaitFor([this] { return !h.player.update.stationListDownload.isDownloading(); },
                               120000);
    }

    ScopedCurrentFolder folder;
    PlayerHarness h;
    Player& s = h.player;
    std::unique_ptr<LoopbackHttpServer> server;
    QSignalSpy done{&h.player.update.stationListDownload, &HttpDownload::memoryDone};
    QSignalSpy failed{&h.player.update.stationListDownload, &HttpDownload::failed};
    int beats = 0;
};

TEST_F(StationUpdateFaultTest, MisbehavingServersEndInOneFailureAndLeaveTheEditorText) {
    struct Case {
        const char* name;
        Reply reply;
        bool slow = false; // the server keeps the update waiting until the stall time-out
    };
    const QByteArray longLine = "X-Filler: " + QByteArray(300 * 1024, 'x') + "\r\n";
    const Case cases[] = {
        {"silent", {{}, false, {}, true}, true},
        {"stalls in the body",
         {LoopbackHttpServer::response("Content-Length: 100\r\n", "Sender\r\n"), false, {}, true},
         true},
        {"closes before answering", {{}, false, {}, false}},
        {"closes in the body",
         sendBytes(LoopbackHttpServer::response("Content-Length: 100\r\n", "Sender\r\nhttp://x/\r\n"))},
        {"binary head", sendBytes(QByteArrayLiteral("\x01\x02\xff\xfe garbage\r\n\r\nSender\r\n"))},
        {"not http", sendBytes("SSH-2.0-OpenSSH_9.2\r\n")},
        {"negative length", sendBytes(LoopbackHttpServer::response("Content-Length: -5\r\n", "Sender\r\n"))},
        {"length beyond any number",
         sendBytes(LoopbackHttpServer::response("Content-Length: 99999999999999999999999\r\n", "S\r\n"))},
        {"an error page",
         sendBytes("HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 22\r\n\r\n"
                   "<html>Not Found</html>")},
        {"endless header line", sendBytes("HTTP/1.0 200 OK\r\n" + longLine + "Content-Length: 2\r\n\r\nS\n")},
    };
    // Only the silent servers wait for the stall time-out; a short one keeps them quick.
    h.player.update.stationListDownload.setStallTimeoutMs(500);
    const QStringList editor = s.editor.text.get();
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ++n;
        serve([&c] { return c.reply; });
        s.channel.titleStrip = QString();
        ASSERT_TRUE(update()) << "the update did not end";
        EXPECT_EQ(failed.size(), n);
        EXPECT_EQ(done.size(), 0);
        EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("Problem beim Update der Senderliste"));
        EXPECT_EQ(s.editor.text.get(), editor);
        // The servers that keep the update waiting must not keep the window waiting.
        if (c.slow) {
            EXPECT_GT(beats, 0) << "the event loop stood still";
        }
        server.reset();
    }
    // No second event arrives later.
    QTest::qWait(200);
    EXPECT_EQ(failed.size(), n);
}

// A gigabyte, announced or not: the update stops at its limit of 4 MiB. Memory stays within 64 MiB
// of where it was, and nothing lands on the disk.
TEST_F(StationUpdateFaultTest, AGigabyteBodyIsRefusedWithoutFillingMemoryOrDisk) {
    const QString target = QFileInfo(QStringLiteral("mp3snd.tmp")).absoluteFilePath();
    const qint64 before = residentKiB();
    for (const bool announced : {true, false}) {
        SCOPED_TRACE(announced ? "with Content-Length" : "without Content-Length");
        Reply reply;
        reply.bytes = LoopbackHttpServer::response(
            announced ? "Content-Length: " + QByteArray::number(gigabyte) + "\r\n" : QByteArray());
        serve([reply] { return reply; });
        server->setGeneratedBody(gigabyte);
        const int failures = failed.size();
        ASSERT_TRUE(update()) << "the update did not end";
        EXPECT_EQ(failed.size(), failures + 1);
        EXPECT_EQ(done.size(), 0);
        EXPECT_EQ(s.channel.titleStrip.get(), QStringLiteral("Problem beim Update der Senderliste"));
        EXPECT_FALSE(QFileInfo::exists(target));
        // What the server got rid of before the client left: the limit and the sockets' buffers.
        const qint64 sent = server->generatedSent();
        server.reset();
        EXPECT_LT(sent, 64 << 20) << "the client read on past its limit";
        std::cout << "gigabyte body " << (announced ? "announced" : "unannounced") << ": " << sent
                  << " bytes taken before the update gave up\n";
    }
    const qint64 after = residentKiB();
    std::cout << "resident memory: " << before << " KiB before, " << after << " KiB after\n";
    EXPECT_LT(after - before, 64 * 1024);
    EXPECT_EQ(s.editor.text.get(), QStringList{QStringLiteral("A ; http://a/")});
}

// Just below the limit a list is still taken whole.
TEST_F(StationUpdateFaultTest, AListJustBelowTheLimitIsTaken) {
    QByteArray list;
    int stations = 0;
    while (list.size() < (4 << 20) - 100) {
        list += "Sender " + QByteArray::number(stations) + "\r\nhttp://127.0.0.1:1/" +
                QByteArray::number(stations) + "\r\n";
        ++stations;
    }
    serve([list] {
        return sendBytes(LoopbackHttpServer::response(
            "Content-Length: " + QByteArray::number(list.size()) + "\r\n", list));
    });
    s.editor.appendChoice = false;
    ASSERT_TRUE(update());
    ASSERT_EQ(done.size(), 1);
    const QStringList editor = s.editor.text.get();
    ASSERT_EQ(editor.size(), stations);
    EXPECT_EQ(editor.last(), QStringLiteral("Sender %1 ; http://127.0.0.1:1/%1").arg(stations - 1));
}

} // namespace
