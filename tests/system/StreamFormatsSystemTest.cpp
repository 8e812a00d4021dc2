// The real program with stations in the formats besides MP3, fed live by ffmpeg: AAC (ADTS, titles
// by ICY), Ogg Vorbis and Ogg Opus (titles in their comments) on a local icecast2, and HLS (a media
// playlist and a master playlist over live segmenters) from a local HTTP server. Each plays its sine
// at its level (SDL's disk driver records the output) with its title, and reconnects after its source
// went away and came back. A stream of a kind nothing decodes is refused at once, not retried.

#include "DesktopRun.h"
#include "SoundRecording.h"
#include "support/FfmpegSource.h"
#include "support/FolderHttpServer.h"
#include "support/IcecastStation.h"
#include "support/LoopbackServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

constexpr int stationVolumeBar = 80;

// mp3.ini for a start in radio mode on the first station.
const QStringList radioIni{QString(),  QString(),   QString::number(stationVolumeBar),
                           ascii("0"), ascii("50"), ascii("50"),
                           ascii("0"), ascii("1")};

QString missingPeers(DesktopRun& desk) {
    if (!desk.missing().isEmpty()) return desk.missing();
    if (findTool(ascii("ffmpeg")).isEmpty())
        return ascii("ffmpeg is not installed; the stream format tests did not run");
    return QString();
}

std::function<bool(const ProbeState&)> onAir(const QString& strip) {
    return [strip](const ProbeState& st) {
        return st.value(ascii("playMode")) == u"2" && st.value(ascii("radioActive")) == u"1" &&
               st.value(ascii("titleStrip")) == strip;
    };
}

// Waits while the program plays this many more seconds of sound.
bool playFor(const QString& raw, double seconds) {
    const double until = recordedSeconds(raw) + seconds;
    return waitUntil([&] { return recordedSeconds(raw) >= until; }, 20s);
}

// Each pitch was heard for at least a second, at the level a sine of amplitude 0.5 has at the output's
// volume (in percent).
void expectHeard(const QString& raw, const std::vector<int>& pitches, int volume) {
    const double expectedRms = 0.5 / std::sqrt(2.0) * volume / 100.0;
    QFile file(raw);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "no sound recorded";
    const auto levels = levelsByPitch(file.readAll(), pitches);
    for (const int pitch : pitches) {
        const auto found = levels.find(pitch);
        const std::vector<double> heard = found == levels.end() ? std::vector<double>{} : found->second;
        std::printf("[ measured ] %d Hz: %zu windows of 100 ms, median RMS %.4f (expected %.4f)\n", pitch,
                    heard.size(), median(heard), expectedRms);
        EXPECT_GE(heard.size(), 10u) << pitch << " Hz was hardly heard";
        EXPECT_NEAR(median(heard), expectedRms, 0.1 * expectedRms) << pitch << " Hz";
    }
}

struct Mount {
    QString station, path;
    int frequency;
    QStringList codec;
    QString title;
};

TEST(StreamFormatsSystemTest, AacVorbisAndOpusStationsPlayWithTheirTitlesAndAacReconnects) {
    DesktopRun desk;
    if (const QString missing = missingPeers(desk); !missing.isEmpty()) GTEST_SKIP() << missing.toStdString();
    if (const QString missing = IcecastStation::missingTools(); !missing.isEmpty())
        GTEST_SKIP() << "\n*** SKIPPED: " << missing.toStdString() << " not installed ***\n";

    QTemporaryDir folder;
    IcecastStation station(folder.path(), {});
    QString error;
    ASSERT_TRUE(station.startServer(&error)) << error.toStdString();
    const QStringList ogg{ascii("-f"), ascii("ogg")};
    const std::vector<Mount> mounts = {
        {ascii("AAC-Welle"),
         ascii("/aac"),
         440,
         {ascii("-c:a"), ascii("aac"), ascii("-b:a"), ascii("96k"), ascii("-content_type"),
          ascii("audio/aac"), ascii("-f"), ascii("adts")},
         ascii("Band - Lied in AAC")},
        {ascii("Vorbiswelle"), ascii("/vorbis"), 660,
         QStringList{ascii("-c:a"), ascii("libvorbis"), ascii("-metadata"), QStringLiteral("artist=Bänd"),
                     ascii("-metadata"), QStringLiteral("title=Grüße"), ascii("-content_type"),
                     ascii("application/ogg")} +
             ogg,
         QStringLiteral("Bänd - Grüße")},
        {ascii("Opuswelle"), ascii("/opus"), 880,
         QStringList{ascii("-c:a"), ascii("libopus"), ascii("-ar"), ascii("48000"), ascii("-metadata"),
                     QStringLiteral("artist=Bänd"), ascii("-metadata"), ascii("title=Opus"),
                     ascii("-content_type"), ascii("audio/ogg")} +
             ogg,
         QStringLiteral("Bänd - Opus")},
    };
    std::vector<std::unique_ptr<FfmpegSource>> sources;
    for (const Mount& m : mounts)
        sources.push_back(
            std::make_unique<FfmpegSource>(m.frequency, m.codec + QStringList{station.sourceUrl(m.path)}));
    const auto startSources = [&] {
        for (std::size_t i = 0; i < mounts.size(); ++i) {
            if (!sources[i]->start(&error)) return false;
            if (!waitUntil([&] { return httpStatus(station.port(), mounts[i].path, 1000) == 200; }, 15s)) {
                error = mounts[i].path + ascii(" did not come up: ") + sources[i]->diagnostics();
                return false;
            }
        }
        // The AAC source sends no titles: the station's playout sets them.
        if (!station.setTitle(ascii("/aac"), mounts.front().title))
            error = ascii("icecast2 did not take the title");
        return error.isEmpty();
    };
    ASSERT_TRUE(startSources()) << error.toStdString() << station.diagnostics().toStdString();
    const auto diagnostics = [&] { return desk.now().dump() + "\n" + station.diagnostics().toStdString(); };

    QList<std::pair<QString, QString>> list;
    for (const Mount& m : mounts)
        list.append({m.station, ascii("http://127.0.0.1:") + QString::number(station.port()) + m.path});
    ASSERT_TRUE(desk.writeStations(list));
    ASSERT_TRUE(desk.writeIni(radioIni));
    const QString raw = folder.path() + ascii("/ausgabe.raw");
    desk.recordSoundTo(raw);
    ASSERT_TRUE(desk.start());
    const auto onAirWith = [&](const Mount& m) { return onAir(m.title + ascii("  > ") + m.station); };
    ASSERT_TRUE(desk.waitFor(onAirWith(mounts[0]), 20s)) << diagnostics();

    // The server goes away with its sources and comes back: the AAC station plays again, with its title.
    station.stopServer();
    ASSERT_TRUE(desk.waitFor([&](const ProbeState& st) { return !onAirWith(mounts[0])(st); }, 20s))
        << diagnostics();
    for (auto& source : sources)
        source->stop();
    ASSERT_TRUE(station.startServer(&error)) << error.toStdString();
    ASSERT_TRUE(startSources()) << error.toStdString();
    ASSERT_TRUE(desk.waitFor(onAirWith(mounts[0]), 30s)) << diagnostics();

    // The reconnect opened the sound output anew (and so began the recording again): each station
    // plays from here on.
    int volume = 0;
    for (std::size_t i = 0; i < mounts.size(); ++i) {
        SCOPED_TRACE(mounts[i].station.toStdString());
        if (i > 0) ASSERT_TRUE(desk.click(DesktopRun::listRow(int(i))));
        ASSERT_TRUE(desk.waitFor(onAirWith(mounts[i]), 20s)) << diagnostics();
        ASSERT_TRUE(playFor(raw, 1.5));
        volume = desk.now().value(ascii("volume")).toInt();
    }
    ASSERT_TRUE(desk.run().terminate()); // closes the sound device, and with it the file

    expectHeard(raw, {440, 660, 880}, volume);
}

// Two live segmenters (440 Hz at 64 kbit/s, 880 Hz at 128 kbit/s) and a master playlist over them and
// a third variant above 320 kbit/s that leads nowhere. The master playlist plays its 128 kbit/s
// variant, and reconnects when that segmenter ends its playlist and starts again; the media playlist
// plays.
TEST(StreamFormatsSystemTest, HlsMediaAndMasterPlaylistsPlayAndAnEndedPlaylistReconnects) {
    DesktopRun desk;
    if (const QString missing = missingPeers(desk); !missing.isEmpty()) GTEST_SKIP() << missing.toStdString();

    QTemporaryDir folder;
    const QString www = folder.path() + ascii("/www");
    ASSERT_TRUE(QDir().mkpath(www + ascii("/low")) && QDir().mkpath(www + ascii("/high")));
    const auto segmenter = [&](int frequency, const char* rate, const QString& dir) {
        return std::make_unique<FfmpegSource>(
            frequency, QStringList{ascii("-c:a"), ascii("aac"), ascii("-b:a"), ascii(rate), ascii("-f"),
                                   ascii("hls"), ascii("-hls_time"), ascii("1"), ascii("-hls_list_size"),
                                   ascii("4"), ascii("-hls_flags"), ascii("delete_segments+temp_file"),
                                   www + dir + ascii("/live.m3u8")});
    };
    const auto low = segmenter(440, "64k", ascii("/low"));
    const auto high = segmenter(880, "128k", ascii("/high"));
    QString error;
    ASSERT_TRUE(low->start(&error) && high->start(&error)) << error.toStdString();
    QFile master(www + ascii("/master.m3u8"));
    ASSERT_TRUE(master.open(QIODevice::WriteOnly));
    master.write("#EXTM3U\n"
                 "#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS=\"mp4a.40.2\"\nlow/live.m3u8\n"
                 "#EXT-X-STREAM-INF:BANDWIDTH=512000,CODECS=\"mp4a.40.2\"\nlossless/live.m3u8\n"
                 "#EXT-X-STREAM-INF:BANDWIDTH=128000,CODECS=\"mp4a.40.2\"\nhigh/live.m3u8\n");
    master.close();
    // Three segments each, so a player starting now has something to play.
    const auto segmentsReady = [&](const QString& dir) {
        return waitUntil([&] { return QFile::exists(www + dir + ascii("/live2.ts")); }, 15s);
    };
    ASSERT_TRUE(segmentsReady(ascii("/low")) && segmentsReady(ascii("/high")))
        << low->diagnostics().toStdString() << high->diagnostics().toStdString();
    const FolderHttpServer server(www.toStdString());
    const auto diagnostics = [&] { return desk.now().dump(); };

    ASSERT_TRUE(
        desk.writeStations({{ascii("HLS-Auswahl"), QString::fromStdString(server.url("/master.m3u8"))},
                            {ascii("HLS-Welle"), QString::fromStdString(server.url("/low/live.m3u8"))}}));
    ASSERT_TRUE(desk.writeIni(radioIni));
    const QString raw = folder.path() + ascii("/ausgabe.raw");
    desk.recordSoundTo(raw);
    ASSERT_TRUE(desk.start());
    // HLS without ID3 titles: the strip names the station.
    const auto playing = [&](const QString& name) {
        return [name](const ProbeState& st) {
            return st.value(ascii("playMode")) == u"2" && st.value(ascii("radioActive")) == u"1" &&
                   st.value(ascii("titleStrip")).endsWith(name) &&
                   st.value(ascii("titleStrip")) != ascii("verbinde..");
        };
    };
    ASSERT_TRUE(desk.waitFor(playing(ascii("HLS-Auswahl")), 20s)) << diagnostics();

    // The segmenter ends its playlist and starts again after a while: the station reconnects.
    high->stop();
    ASSERT_TRUE(
        desk.waitFor([](const ProbeState& st) { return st.value(ascii("radioActive")) != u"1"; }, 30s))
        << "the ended playlist was not noticed\n"
        << diagnostics();
    QFile::remove(www + ascii("/high/live2.ts"));
    ASSERT_TRUE(high->start(&error)) << error.toStdString();
    ASSERT_TRUE(segmentsReady(ascii("/high"))) << high->diagnostics().toStdString();
    ASSERT_TRUE(desk.waitFor(playing(ascii("HLS-Auswahl")), 30s)) << diagnostics();

    // From the reconnect on (a new sound output, a new recording): the master playlist's variant, then
    // the media playlist.
    ASSERT_TRUE(playFor(raw, 1.5));
    ASSERT_TRUE(desk.click(DesktopRun::listRow(1)));
    ASSERT_TRUE(desk.waitFor(playing(ascii("HLS-Welle")), 20s)) << diagnostics();
    ASSERT_TRUE(playFor(raw, 1.5));
    const int volume = desk.now().value(ascii("volume")).toInt();
    ASSERT_TRUE(desk.run().terminate());

    expectHeard(raw, {440, 880}, volume);
}

// A station that sends Windows Media bytes: the strip says so within 2 s and nobody retries.
TEST(StreamFormatsSystemTest, AStreamOfAnUnsupportedKindIsRefusedOnceWithItsType) {
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
    // An ASF header's GUID, then bytes that belong to no format.
    const std::string asf("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
    LoopbackServer server([&](LoopbackServer::Connection& c) {
        if (!c.readRequestHead()) return;
        c.send(httpResponseHead(200, "OK", {{"Content-Type", "audio/x-ms-wma"}}) + asf +
               std::string(64 * 1024, '\x55'));
        c.readSome(1, 10s);
    });
    ASSERT_TRUE(desk.writeStations({{ascii("Fremdformat"), QString::fromStdString(server.url("/wma"))}}));
    ASSERT_TRUE(desk.writeIni(radioIni));
    ASSERT_TRUE(desk.start());
    ASSERT_TRUE(waitUntil([&] { return server.connectionCount() >= 1; }, 10s));
    QElapsedTimer refused;
    refused.start();
    const QString refusal = QStringLiteral("Format nicht unterstützt: audio/x-ms-wma");
    ASSERT_TRUE(
        desk.waitFor([&](const ProbeState& st) { return st.value(ascii("titleStrip")) == refusal; }, 10s))
        << desk.now().dump();
    EXPECT_LT(refused.elapsed(), 2000);
    // Two beats of the watchdog pass without another connection.
    EXPECT_FALSE(waitUntil([&] { return server.connectionCount() > 1; }, 7s));
    EXPECT_EQ(desk.now().value(ascii("titleStrip")), refusal);
    EXPECT_TRUE(desk.run().terminate());
}

} // namespace
