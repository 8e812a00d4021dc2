// The real program given playlists from outside: a .pls on its command line plays a station as radio,
// and an .m3u handed over by a second start queues its songs in the running instance.

#include "support/LoopbackServer.h"
#include "support/Mp3Fixtures.h"
#include "support/ProgramState.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

// A radio station on 127.0.0.1: loops an MP3 file at 128 kbit/s with a stream title every 16000 bytes.
class TestStation {
public:
    explicit TestStation(const std::string& mp3) {
        const std::vector<unsigned char> bytes = fixtures::readFile(mp3);
        audio_.assign(bytes.begin(), bytes.end());
    }
    std::string url() const { return server_.url("/live"); }
    int connections() const { return server_.connectionCount(); }

private:
    void serve(LoopbackServer::Connection& c) {
        const auto head = c.readRequestHead();
        if (!head || audio_.empty()) return;
        const auto request = parseHttpRequest(*head);
        const bool meta =
            request && request->headers.count("icy-metadata") && request->headers.at("icy-metadata") == "1";
        std::vector<std::pair<std::string, std::string>> headers{{"Content-Type", "audio/mpeg"},
                                                                 {"icy-name", "Testfunk"}};
        if (meta) headers.emplace_back("icy-metaint", std::to_string(interval));
        if (!c.send(responseHead("HTTP/1.0 200 OK", headers))) return;
        std::string title = "StreamTitle='Testfunk - Sinus';";
        title.resize((title.size() + 15) / 16 * 16, '\0');
        const std::string block = static_cast<char>(title.size() / 16) + title;
        std::size_t at = 0;
        for (int n = 0;; ++n) {
            std::string chunk;
            while (chunk.size() < interval) {
                const std::size_t take = std::min(interval - chunk.size(), audio_.size() - at);
                chunk.append(audio_, at, take);
                at = (at + take) % audio_.size();
            }
            if (!c.send(chunk) || (meta && !c.send(block))) return;
            // Two blocks at once fill the player's buffer; then the stream's own pace.
            if (n >= 1 && !c.sleepFor(std::chrono::seconds(1))) return;
        }
    }

    static constexpr std::size_t interval = 16000;
    std::string audio_;
    LoopbackServer server_{[this](LoopbackServer::Connection& c) { serve(c); }};
};

bool writeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

TEST(PlaylistArgumentSystemTest, PlsPlaysItsStationAndAnM3uFromASecondStartQueuesItsSongs) {
    if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
    fixtures::TempDir media;
    const QString folder = QString::fromStdString(media.path());
    std::string error;
    const fixtures::Signal tone{.frequency = 440, .seconds = 3};
    const fixtures::Signal song{.frequency = 660, .seconds = 20};
    ASSERT_TRUE(fixtures::makeMp3(media.file("stream.mp3"), tone, {.infoTag = false}, &error)) << error;
    QDir(folder).mkpath(QStringLiteral("songs"));
    ASSERT_TRUE(fixtures::makeMp3(media.file("songs/eins.mp3"), song, {}, &error)) << error;
    ASSERT_TRUE(fixtures::makeMp3(media.file("songs/zwei.mp3"), song, {}, &error)) << error;
    TestStation station(media.file("stream.mp3"));
    const QString url = QString::fromStdString(station.url());

    const QString pls = folder + QStringLiteral("/sender.pls");
    ASSERT_TRUE(writeFile(pls, "[playlist]\r\nNumberOfEntries=1\r\nFile1=" + url.toUtf8() +
                                   "\r\nTitle1=Testfunk\r\nLength1=-1\r\nVersion=2\r\n"));
    ProgramRun first;
    ASSERT_TRUE(first.ready());
    ProgramState state(first);
    ASSERT_TRUE(first.start({pls}));

    // Radio mode, the entry listed, and the stream decoding with the station's title shown.
    qint64 position = 0;
    EXPECT_TRUE(state.waitFor([&](const ProbeState& st) {
        position = st.number(QStringLiteral("radioPosition"));
        return st.value(QStringLiteral("radioMode")) == u"1" &&
               st.value(QStringLiteral("playMode")) == u"2" &&
               st.value(QStringLiteral("radioActive")) == u"1" && position > 0 &&
               st.value(QStringLiteral("titleStrip")).startsWith(QStringLiteral("Testfunk - Sinus"));
    })) << state.read().dump();
    EXPECT_TRUE(state.waitFor([&](const ProbeState& st) {
        return st.number(QStringLiteral("radioPosition")) > position;
    })) << "the stream does not move on";
    const ProbeState radio = state.read();
    EXPECT_EQ(radio.values(QStringLiteral("entry")), QStringList{"Testfunk\t" + url});
    EXPECT_EQ(radio.value(QStringLiteral("streamURL")), url);
    EXPECT_GE(station.connections(), 1);

    // Relative song lines name files beside the playlist, whatever folder the second start runs in.
    const QString m3u = folder + QStringLiteral("/listen/lieder.m3u");
    const QString secondSong = folder + QStringLiteral("/songs/zwei.mp3");
    ASSERT_TRUE(writeFile(m3u, "#EXTM3U\r\n#EXTINF:20,Eins\r\n../songs/eins.mp3\r\n#EXTINF:20,Zwei\r\n" +
                                   secondSong.toUtf8() + "\r\n"));
    ProgramRun second(first.runtimeDir());
    EXPECT_EQ(second.run({m3u}, 20000), 0);
    const QStringList songs{folder + QStringLiteral("/songs/eins.mp3"), secondSong};
    EXPECT_TRUE(state.waitFor([&](const ProbeState& st) {
        return st.values(QStringLiteral("song")) == songs && st.value(QStringLiteral("radioMode")) == u"0" &&
               st.value(QStringLiteral("playMode")) == u"0" &&
               st.value(QStringLiteral("fileActive")) == u"1" &&
               st.value(QStringLiteral("currentIndex")) == u"0";
    })) << state.read().dump();

    ASSERT_TRUE(first.terminate());
    EXPECT_EQ(first.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.process().exitCode(), 0);
}

} // namespace
