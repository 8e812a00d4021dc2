// The hot keys and the master mute across start-up and shutdown, with the fake mixer and hot-key source.

#include "app/Lifecycle.h"
#include "platform/InstanceChannel.h"
#include "support/PlayerHarness.h"
#include "support/SongFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class HotKeyLifecycleTest : public ::testing::Test {
protected:
    Lifecycle::Start start() {
        const Lifecycle::Start started = lifecycle.start({QStringLiteral("mp3zx")}, programFolder.path());
        if (started == Lifecycle::Start::Run) lifecycle.finishStart();
        return started;
    }

    // Plays a song, then gives the play key one or two presses and its tick.
    void playThenPress(int presses) {
        const QStringList songs = files.make({"eins.mp3"});
        h.player.songList.addSong(songs[0]);
        ASSERT_EQ(h.audioEngine.state(h.player.channel.fileStream), ChannelState::Playing);
        for (int i = 0; i < presses; ++i)
            h.hotKeys.press(h.player.hotKeyHandler.hotKeyPlay);
        h.player.hotKeyHandler.onDoublePressTick();
    }

    // Each test gets its own runtime folder, so its instance channel meets no other test's; it must be
    // set before the channel is made.
    QTemporaryDir runtime;
    bool runtimeSet = qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QTemporaryDir programFolder;
    SongFiles files;
    PlayerHarness h;
    InstanceChannel channel{QStringLiteral("RI3-VEZEZI")};
    Lifecycle lifecycle{h.player, channel};
};

TEST_F(HotKeyLifecycleTest, StartRegistersTheThreeKeysAndUnmutes) {
    h.mixer.muted = true;
    ASSERT_EQ(start(), Lifecycle::Start::Run);
    const std::map<int, HotKey> expected{{h.player.hotKeyHandler.hotKeyPlay, HotKey::Pause},
                                         {h.player.hotKeyHandler.hotKeySofter, HotKey::PrintScreen},
                                         {h.player.hotKeyHandler.hotKeyLouder, HotKey::ScrollLock}};
    EXPECT_EQ(h.hotKeys.registered, expected);
    EXPECT_EQ(h.mixer.muted, std::optional<bool>(false));
}

TEST_F(HotKeyLifecycleTest, AKeyHeldElsewhereIsSkippedAndTheOthersWork) {
    h.hotKeys.refused = {HotKey::Pause};
    ASSERT_EQ(start(), Lifecycle::Start::Run);
    EXPECT_EQ(h.hotKeys.registered.size(), 2u);
    EXPECT_TRUE(h.dialogs.messages.empty());
    EXPECT_TRUE(h.dialogs.errors.isEmpty());
    const int before = h.player.volume.volumeBar.position();
    h.hotKeys.press(h.player.hotKeyHandler.hotKeySofter);
    EXPECT_EQ(h.player.volume.volumeBar.position(), before - 2);
}

TEST_F(HotKeyLifecycleTest, ClosingUnmutesAfterASinglePressAndReleasesTheKeys) {
    ASSERT_EQ(start(), Lifecycle::Start::Run);
    playThenPress(1);
    h.mixer.muted = true; // muted by someone else meanwhile
    lifecycle.shutDown();
    EXPECT_EQ(h.mixer.muted, std::optional<bool>(false));
    EXPECT_TRUE(h.hotKeys.registered.empty());
    EXPECT_EQ(h.player.hotKeyHandler.hotKeyPlay, 0);
}

TEST_F(HotKeyLifecycleTest, AMuteByDoublePressSurvivesTheClose) {
    ASSERT_EQ(start(), Lifecycle::Start::Run);
    playThenPress(2);
    ASSERT_EQ(h.mixer.muted, std::optional<bool>(true));
    const int setsBefore = h.mixer.sets;
    lifecycle.shutDown();
    EXPECT_EQ(h.mixer.muted, std::optional<bool>(true));
    EXPECT_EQ(h.mixer.sets, setsBefore);
    EXPECT_TRUE(h.hotKeys.registered.empty());
}

TEST_F(HotKeyLifecycleTest, APressWaitingForItsTickDoesNothingAfterTheClose) {
    ASSERT_EQ(start(), Lifecycle::Start::Run);
    const QStringList songs = files.make({"eins.mp3"});
    h.player.songList.addSong(songs[0]);
    h.hotKeys.press(h.player.hotKeyHandler.hotKeyPlay);
    lifecycle.shutDown();
    EXPECT_FALSE(h.player.hotKeyHandler.doublePressTimer.isActive());
}

TEST_F(HotKeyLifecycleTest, WithoutAMixerStartAndCloseGoOnAndSayItOnce) {
    h.mixer.findResult = ENOENT;
    ::testing::internal::CaptureStderr();
    const Lifecycle::Start started = start();
    playThenPress(1);
    lifecycle.shutDown();
    const QString errors = QString::fromStdString(::testing::internal::GetCapturedStderr());
    ASSERT_EQ(started, Lifecycle::Start::Run);
    EXPECT_EQ(h.player.startup.windowTitle.get(), QStringLiteral("RI3-VEZEZI"));
    EXPECT_EQ(h.audioEngine.state(h.player.channel.fileStream), ChannelState::Stopped);
    EXPECT_TRUE(h.audioEngine.called("closeOutput"));
    EXPECT_EQ(errors.count(QStringLiteral("SetMasterMuteValue failure")), 1) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("SetMasterMuteValue failure, multimedia system error #2\n")));
    EXPECT_TRUE(h.dialogs.errors.isEmpty());
}

} // namespace
