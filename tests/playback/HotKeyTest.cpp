// The play hot key's single and double press, the volume hot keys and the master mute, with a fake mixer
// and a fake hot-key source. The 200 ms tick is called directly, except where the real timer is the point.

#include "support/PlayerHarness.h"
#include "support/SongFiles.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

enum class Before { FilePlaying, FilePaused, StationPlaying, NoStationPlaying };

std::string describe(Before b, int presses) {
    const char* names[] = {"file playing", "file paused", "station playing", "no station playing"};
    return std::string(names[static_cast<int>(b)]) + ", " + std::to_string(presses) + " press(es)";
}

// A player with two songs, one station and its hot keys registered.
struct Rig {
    Rig() {
        s.channel.playMode = PlayMode::Song; // entering a song then does not start it
        for (const QString& path : songs)
            h.player.songList.addSong(path);
        s.channel.playMode = PlayMode::Idle;
        s.radio.stations.append({QStringLiteral("Radio X"), QStringLiteral("http://127.0.0.1:9/x")});
        s.radio.stations.setSelected(0);
        h.player.hotKeyHandler.registerHotKeys();
    }

    void playSong(int row) {
        s.songList.songs.setSelected(row);
        h.player.seq.playSelected();
    }

    void arrange(Before before) {
        playSong(0);
        if (before == Before::FilePaused) h.player.seq.playButtonClicked();
        if (before == Before::StationPlaying || before == Before::NoStationPlaying)
            h.player.radio.toggleRadioMode();
        if (before == Before::NoStationPlaying) h.player.seq.playButtonClicked();
        // From here on the mixer records only what the hot key does.
        h.mixer.muted.reset();
        h.mixer.sets = 0;
    }

    // Presses the play key n times inside one 200 ms window: nothing may happen before the tick.
    void pressPlay(int n) {
        const ChannelState fileBefore = fileActive();
        const ChannelState radioBefore = radioActive();
        const std::size_t callsBefore = h.audioEngine.calls.size();
        const int setsBefore = h.mixer.sets;
        for (int i = 0; i < n; ++i)
            h.hotKeys.press(s.hotKeyHandler.hotKeyPlay);
        EXPECT_TRUE(h.player.hotKeyHandler.doublePressTimer.isActive());
        EXPECT_EQ(fileActive(), fileBefore);
        EXPECT_EQ(radioActive(), radioBefore);
        EXPECT_EQ(h.audioEngine.calls.size(), callsBefore);
        EXPECT_EQ(h.mixer.sets, setsBefore);
    }

    void tick() {
        h.player.hotKeyHandler.onDoublePressTick();
        EXPECT_FALSE(h.player.hotKeyHandler.doublePressTimer.isActive());
    }

    void press(int presses) {
        pressPlay(presses);
        tick();
    }

    ChannelState fileActive() { return h.audioEngine.state(s.channel.fileStream); }
    ChannelState radioActive() { return h.audioEngine.state(s.radio.radioChannel); }

    PlayerHarness h;
    Player& s = h.player;
    SongFiles files;
    QStringList songs = files.make({"eins.mp3", "zwei.mp3"});
};

// Standard error holds the mixer failure once, with its number.
void expectReportedOnce(const std::string& captured, int code) {
    const QString text = QString::fromStdString(captured);
    EXPECT_EQ(text.count(QStringLiteral("SetMasterMuteValue failure")), 1) << captured;
    EXPECT_TRUE(
        text.contains(QStringLiteral("SetMasterMuteValue failure, multimedia system error #%1\n").arg(code)))
        << captured;
}

TEST(HotKeyTest, OutcomeOfSingleAndDoublePressInEverySituation) {
    struct Case {
        Before before;
        int presses;
        std::optional<bool> muted; // the master switch afterwards; nullopt: not touched
        ChannelState file;         // the song's channel afterwards
        ChannelState radio;        // the station's channel afterwards
        PlayMode playMode;
    };
    const Case cases[] = {
        {Before::FilePlaying, 1, false, ChannelState::Paused, ChannelState::Stopped, PlayMode::Idle},
        {Before::FilePlaying, 2, true, ChannelState::Paused, ChannelState::Stopped, PlayMode::Idle},
        {Before::FilePaused, 1, false, ChannelState::Playing, ChannelState::Stopped, PlayMode::Song},
        {Before::FilePaused, 2, true, ChannelState::Playing, ChannelState::Stopped, PlayMode::Song},
        {Before::StationPlaying, 1, std::nullopt, ChannelState::Paused, ChannelState::Stopped,
         PlayMode::Radio},
        {Before::StationPlaying, 2, true, ChannelState::Paused, ChannelState::Stopped, PlayMode::Radio},
        {Before::NoStationPlaying, 1, false, ChannelState::Paused, ChannelState::Playing, PlayMode::Radio},
        {Before::NoStationPlaying, 2, false, ChannelState::Paused, ChannelState::Playing, PlayMode::Radio},
        // Any further press inside the window is the same double press.
        {Before::FilePlaying, 3, true, ChannelState::Paused, ChannelState::Stopped, PlayMode::Idle},
        {Before::FilePaused, 4, true, ChannelState::Playing, ChannelState::Stopped, PlayMode::Song},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(describe(c.before, c.presses));
        Rig r;
        r.arrange(c.before);
        const ChannelHandle stationBefore = r.s.radio.radioChannel;
        const int pausesBefore = r.h.audioEngine.count("pause");
        const int playsBefore = r.h.audioEngine.count("play");
        r.press(c.presses);
        EXPECT_EQ(r.h.mixer.muted, c.muted);
        EXPECT_EQ(r.fileActive(), c.file);
        EXPECT_EQ(r.radioActive(), c.radio);
        EXPECT_EQ(r.s.channel.playMode, c.playMode);
        EXPECT_EQ(r.s.mute.hotKeyDoublePress, c.presses > 1);
        // The play action happens once per window, however many presses it held.
        if (c.before == Before::FilePlaying) {
            EXPECT_EQ(r.h.audioEngine.count("pause"), pausesBefore + 1);
        } else if (c.before == Before::FilePaused) {
            EXPECT_EQ(r.h.audioEngine.count("play"), playsBefore + 1);
        } else if (c.before == Before::NoStationPlaying) {
            EXPECT_NE(r.s.radio.radioChannel, stationBefore) << "a new stream";
        }
    }
}

TEST(HotKeyTest, ARealTickClicksThePlayButtonOnce) {
    Rig r;
    r.playSong(0);
    r.h.hotKeys.press(r.s.hotKeyHandler.hotKeyPlay);
    r.h.hotKeys.press(r.s.hotKeyHandler.hotKeyPlay);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !r.h.player.hotKeyHandler.doublePressTimer.isActive(); }, 5000));
    EXPECT_EQ(r.fileActive(), ChannelState::Paused);
    EXPECT_EQ(r.h.mixer.muted, std::optional<bool>(true));
    // The timer does not fire again by itself.
    QTest::qWait(300);
    EXPECT_EQ(r.fileActive(), ChannelState::Paused);
}

TEST(HotKeyTest, DoublePressMuteSurvivesThePlayButtonUntilASinglePress) {
    Rig r;
    r.playSong(0);
    r.press(2);
    EXPECT_EQ(r.fileActive(), ChannelState::Paused);
    EXPECT_EQ(r.h.mixer.muted, std::optional<bool>(true));

    // The play button (and Space, Escape) resume and pause with the master output muted again each time.
    for (ChannelState expected : {ChannelState::Playing, ChannelState::Paused, ChannelState::Playing}) {
        r.h.mixer.muted = false; // as if the user had unmuted elsewhere
        r.h.player.seq.playButtonClicked();
        EXPECT_EQ(r.fileActive(), expected);
        EXPECT_EQ(r.h.mixer.muted, std::optional<bool>(true));
    }

    r.press(1);
    EXPECT_EQ(r.fileActive(), ChannelState::Paused);
    EXPECT_EQ(r.h.mixer.muted, std::optional<bool>(false));
    r.h.player.seq.playButtonClicked();
    EXPECT_EQ(r.h.mixer.muted, std::optional<bool>(false));
}

TEST(HotKeyTest, StartingASongUnmutesEvenAfterADoublePress) {
    Rig r;
    r.playSong(0);
    r.press(2);
    ASSERT_EQ(r.h.mixer.muted, std::optional<bool>(true));
    r.playSong(1);
    EXPECT_EQ(r.h.mixer.muted, std::optional<bool>(false));
    EXPECT_EQ(r.fileActive(), ChannelState::Playing);
    // The flag itself stays until the play key is pressed again: the button mutes once more.
    EXPECT_TRUE(r.s.mute.hotKeyDoublePress);
    r.h.player.seq.playButtonClicked();
    EXPECT_EQ(r.h.mixer.muted, std::optional<bool>(true));
}

TEST(HotKeyTest, VolumeKeysStepTheBarTwoPerPressWithinItsRange) {
    Rig r;
    r.s.volume.volumeBar.setPosition(50);
    r.h.hotKeys.press(r.s.hotKeyHandler.hotKeyLouder);
    EXPECT_EQ(r.s.volume.volumeBar.position(), 52);
    r.h.hotKeys.press(r.s.hotKeyHandler.hotKeySofter);
    r.h.hotKeys.press(r.s.hotKeyHandler.hotKeySofter);
    EXPECT_EQ(r.s.volume.volumeBar.position(), 48);
    EXPECT_FALSE(r.h.player.hotKeyHandler.doublePressTimer.isActive());

    r.s.volume.volumeBar.setPosition(22);
    for (int i = 0; i < 3; ++i)
        r.h.hotKeys.press(r.s.hotKeyHandler.hotKeySofter);
    EXPECT_EQ(r.s.volume.volumeBar.position(), 20);
    r.s.volume.volumeBar.setPosition(98);
    for (int i = 0; i < 3; ++i)
        r.h.hotKeys.press(r.s.hotKeyHandler.hotKeyLouder);
    EXPECT_EQ(r.s.volume.volumeBar.position(), 100);

    // While a song plays, the step reaches the output at once.
    r.playSong(0);
    r.h.audioEngine.volumesSet.clear();
    r.h.hotKeys.press(r.s.hotKeyHandler.hotKeySofter);
    EXPECT_EQ(r.h.audioEngine.volumesSet.size(), 1u);
}

TEST(HotKeyTest, UnknownIdentifiersAreIgnored) {
    Rig r;
    r.playSong(0);
    r.s.volume.volumeBar.setPosition(50);
    const std::size_t callsBefore = r.h.audioEngine.calls.size();
    const int setsBefore = r.h.mixer.sets;
    for (int id : {0, 1, 19, r.s.hotKeyHandler.hotKeyLouder + 1, -1})
        r.h.hotKeys.press(id);
    EXPECT_FALSE(r.h.player.hotKeyHandler.doublePressTimer.isActive());
    EXPECT_EQ(r.s.volume.volumeBar.position(), 50);
    EXPECT_EQ(r.h.audioEngine.calls.size(), callsBefore);
    EXPECT_EQ(r.h.mixer.sets, setsBefore);
    EXPECT_FALSE(r.s.mute.hotKeyDoublePress);
}

TEST(HotKeyTest, RegisteredUnderTheirAtomsAndReleasedForGood) {
    Rig r;
    const std::map<int, HotKey> expected{{r.s.hotKeyHandler.hotKeyPlay, HotKey::Pause},
                                         {r.s.hotKeyHandler.hotKeySofter, HotKey::PrintScreen},
                                         {r.s.hotKeyHandler.hotKeyLouder, HotKey::ScrollLock}};
    EXPECT_EQ(r.h.hotKeys.registered, expected);
    // Atom values: distinct, from the atom range.
    for (int id :
         {r.s.hotKeyHandler.hotKeyPlay, r.s.hotKeyHandler.hotKeySofter, r.s.hotKeyHandler.hotKeyLouder})
        EXPECT_GE(id, 0xC000);

    const int play = r.s.hotKeyHandler.hotKeyPlay;
    r.h.player.hotKeyHandler.releaseHotKeys();
    EXPECT_TRUE(r.h.hotKeys.registered.empty());
    // A press still on its way after the release does nothing.
    r.h.hotKeys.press(play);
    EXPECT_FALSE(r.h.player.hotKeyHandler.doublePressTimer.isActive());

    // Registering again gives the same keys back.
    r.h.player.hotKeyHandler.registerHotKeys();
    EXPECT_EQ(r.h.hotKeys.registered.size(), 3u);
}

TEST(HotKeyTest, HotKeySourceForgetsAPlayerThatIsGone) {
    FakeHotKeys keys;
    {
        FakeAudioEngine audioEngine;
        FakeMixer mixer;
        FakeDialogs dialogs;
        FakeWindow window;
        Player player(Services{audioEngine, mixer, keys, dialogs, window});
        player.hotKeyHandler.registerHotKeys();
    }
    // Would reach a destroyed player if the handler were still set.
    keys.press(0xC000);
    keys.press(0xC002);
}

TEST(MasterMuteTest, ApplyMuteUnmutesUnlessTheLastUseWasADoublePress) {
    struct Case {
        bool doublePress;
        bool wish;
        std::optional<bool> muted;
    };
    for (const Case& c : {Case{false, false, false}, Case{false, true, false},
                          Case{true, false, std::nullopt}, Case{true, true, true}}) {
        FakeMixer mixer;
        MasterMute mute(mixer);
        mute.hotKeyDoublePress = c.doublePress;
        mute.applyMute(c.wish);
        EXPECT_EQ(mixer.muted, c.muted) << c.doublePress << c.wish;
    }
}

TEST(MasterMuteTest, AMissingMixerIsReportedOnceAndPlaybackGoesOn) {
    Rig r;
    r.h.mixer.findResult = ENOENT;
    ::testing::internal::CaptureStderr();
    r.playSong(0);
    EXPECT_EQ(r.fileActive(), ChannelState::Playing);
    r.press(2);
    EXPECT_EQ(r.fileActive(), ChannelState::Paused);
    r.h.player.seq.playButtonClicked();
    EXPECT_EQ(r.fileActive(), ChannelState::Playing);
    r.h.player.radio.toggleRadioMode();
    EXPECT_EQ(r.radioActive(), ChannelState::Playing);
    r.h.player.seq.playButtonClicked();
    EXPECT_EQ(r.radioActive(), ChannelState::Stopped);
    r.h.player.radio.toggleRadioMode();
    expectReportedOnce(::testing::internal::GetCapturedStderr(), 2);
    EXPECT_EQ(r.h.mixer.sets, 0);
    EXPECT_TRUE(r.h.dialogs.errors.isEmpty());
    EXPECT_TRUE(r.h.player.mute.failureReported());
}

TEST(MasterMuteTest, ARefusedChangeIsReportedWithItsNumber) {
    Rig r;
    r.h.mixer.setResult = EIO;
    ::testing::internal::CaptureStderr();
    r.playSong(0);
    r.playSong(1);
    EXPECT_EQ(r.fileActive(), ChannelState::Playing);
    expectReportedOnce(::testing::internal::GetCapturedStderr(), 5);
    EXPECT_EQ(r.h.mixer.sets, 2);
}

} // namespace

// A sound server that comes back brings a master switch of its own: the player sets it again as it last
// set it, on the window's thread.
TEST(HotKeyTest, MasterMuteIsSetAgainWhenTheSoundServerReturns) {
    Rig r;
    r.playSong(0);
    r.press(2);
    r.h.player.seq.playButtonClicked(); // plays on, muted
    ASSERT_EQ(r.h.mixer.muted, std::optional<bool>(true));
    r.h.mixer.muted = false; // the restarted server's own switch
    ASSERT_TRUE(r.h.audioEngine.outputReturnHandler);
    r.h.audioEngine.outputReturnHandler();
    EXPECT_EQ(r.h.mixer.muted, std::optional<bool>(false)) << "not on the engine's thread";
    EXPECT_TRUE(QTest::qWaitFor([&] { return r.h.mixer.muted == std::optional<bool>(true); }, 5000));
    EXPECT_EQ(r.fileActive(), ChannelState::Playing);
}
