// The ALSA master mute against a real mixer: a PulseAudio server with a null sink, reached through
// ALSA's pulse plugin as the "default" mixer.
#include "platform/AlsaMixer.h"
#include "support/PulseServer.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <optional>

namespace {

class AlsaMixerPulse : public ::testing::Test {
protected:
    void SetUp() override {
        if (const QString missing = PulseServer::missingTools(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        ASSERT_TRUE(server_.start()) << "PulseAudio did not come up:\n" << server_.diagnostics();
        client_.emplace(server_);
        ASSERT_TRUE(defaultMixerIsTheServer())
            << "the ALSA \"default\" mixer does not lead to the test's PulseAudio server; refusing to "
               "switch a real sound card";
    }

    QString sinkMute() { return server_.sinkMute(); }

    static bool defaultMixerIsTheServer() {
        snd_ctl_t* ctl = nullptr;
        if (snd_ctl_open(&ctl, "default", 0) < 0) return false;
        const bool plugin = snd_ctl_type(ctl) == SND_CTL_TYPE_EXT;
        snd_ctl_close(ctl);
        return plugin;
    }

    PulseServer server_;
    std::optional<PulseClient> client_;
};

} // namespace

TEST_F(AlsaMixerPulse, MuteAndUnmuteReachTheServersDefaultSink) {
    AlsaMixer mixer;
    EXPECT_EQ(mixer.findMasterSwitch(), 0);

    EXPECT_EQ(mixer.setMasterMuted(true), 0);
    EXPECT_EQ(sinkMute(), "Mute: yes");
    // Repeating the same state is harmless.
    EXPECT_EQ(mixer.setMasterMuted(true), 0);
    EXPECT_EQ(sinkMute(), "Mute: yes");

    EXPECT_EQ(mixer.setMasterMuted(false), 0);
    EXPECT_EQ(sinkMute(), "Mute: no");
}

TEST_F(AlsaMixerPulse, MissingElementIsReportedAsNoEntry) {
    AlsaMixer mixer("default", "NoSuchElement");
    EXPECT_EQ(mixer.findMasterSwitch(), ENOENT);
    EXPECT_EQ(mixer.setMasterMuted(true), ENOENT);
    EXPECT_EQ(sinkMute(), "Mute: no");
}

TEST(AlsaMixer, MissingCardGivesAnErrorNumberQuietly) {
    AlsaMixer mixer("hw:31"); // the last card number ALSA allows: what "default" meets without a card
    ::testing::internal::CaptureStderr();
    const int found = mixer.findMasterSwitch();
    const int muted = mixer.setMasterMuted(true);
    const int unmuted = mixer.setMasterMuted(false);
    // The caller reports the failure once; ALSA's own diagnostics would repeat on every song start.
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(found, ENOENT);
    EXPECT_EQ(muted, found);
    EXPECT_EQ(unmuted, found);
}

// A player started before the sound server (at login, or while it restarts) finds the server's
// "Master" once it is there: ALSA decided what "default" is when the server was still missing.
TEST(AlsaMixerServerLater, MasterIsFoundOnceTheServerIsThere) {
    if (const QString missing = PulseServer::missingTools(); !missing.isEmpty())
        GTEST_SKIP() << missing.toStdString();
    int card = -1;
    if (snd_card_next(&card) == 0 && card >= 0)
        GTEST_SKIP() << "this machine has a sound card, which the mixer would switch before the server runs";
    PulseServer server;
    PulseClient client(server);
    AlsaMixer mixer;
    EXPECT_NE(mixer.findMasterSwitch(), 0) << "no server yet";
    ASSERT_TRUE(server.start()) << server.diagnostics();
    EXPECT_EQ(mixer.setMasterMuted(true), 0);
    EXPECT_EQ(server.sinkMute(), "Mute: yes");
}
