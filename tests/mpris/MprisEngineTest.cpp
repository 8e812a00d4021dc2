// Media control of real playback: a real song through the real engine (SDL's dummy driver), paused and
// resumed by playerctl on a private session bus.

#include "mpris/Mpris.h"
#include "support/EngineHarness.h"
#include "support/Mp3Fixtures.h"
#include "support/MprisParts.h"
#include "support/SessionBus.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

bool haveClients() {
    return !findTool(QStringLiteral("dbus-daemon")).isEmpty() &&
           !findTool(QStringLiteral("playerctl")).isEmpty() && !findTool(QStringLiteral("gdbus")).isEmpty();
}

TEST(MprisEngineTest, PlayPauseTogglesARealSong) {
    if (!haveClients()) GTEST_SKIP() << SessionBus::missing("dbus-daemon, playerctl or gdbus").toStdString();
    if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("Echtes Lied.mp3"));
    ASSERT_TRUE(fixtures::makeMp3(song.toStdString(), {.seconds = 2}));

    SessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    EngineHarness h;
    ASSERT_TRUE(h.init()) << "no SDL output (SDL_AUDIODRIVER=dummy?)";
    audio::Engine& audioEngine = h.audioEngine;
    Player& player = h.player;
    Player& s = h.player;
    {
        Mpris mpris(mprisParts(player), bus.connect());
        ASSERT_TRUE(mpris.registered());
        player.songList.addSong(song);
        ASSERT_EQ(audioEngine.state(s.channel.fileStream), ChannelState::Playing);
        EXPECT_EQ(bus.playerctl({"metadata", "xesam:title"}).out, QStringLiteral("Echtes Lied"));
        // lame pads the song by a few frames.
        const qlonglong length = bus.playerctl({"metadata", "mpris:length"}).out.toLongLong();
        EXPECT_GE(length, 2000000);
        EXPECT_LE(length, 2100000);
        ASSERT_TRUE(waitUntil([&] { return audioEngine.position(s.channel.fileStream) > 0; }, 5s));

        ASSERT_EQ(bus.playerctl({"play-pause"}).exitCode, 0);
        EXPECT_EQ(audioEngine.state(s.channel.fileStream), ChannelState::Paused);
        EXPECT_EQ(bus.playerctl({"status"}).out, QStringLiteral("Paused"));
        const std::int64_t held = audioEngine.position(s.channel.fileStream);
        waitUntil([] { return false; }, 300ms);
        EXPECT_EQ(audioEngine.position(s.channel.fileStream), held);

        ASSERT_EQ(bus.playerctl({"play-pause"}).exitCode, 0);
        EXPECT_EQ(audioEngine.state(s.channel.fileStream), ChannelState::Playing);
        EXPECT_TRUE(waitUntil([&] { return audioEngine.position(s.channel.fileStream) > held; }, 3s));
        EXPECT_EQ(bus.playerctl({"status"}).out, QStringLiteral("Playing"));

        // The song plays to its end: clients see it stopped.
        EXPECT_TRUE(
            waitUntil([&] { return bus.playerctl({"status"}).out == QStringLiteral("Stopped"); }, 15s));
    }
    player.seq.trackTimer.stop();
    audioEngine.closeOutput();
}

} // namespace
