// The ALSA master mute against a real mixer: a PulseAudio server with a null sink, reached through
// ALSA's pulse plugin as the "default" mixer.
#include "platform/AlsaMixer.h"
#include "support/PeerProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <alsa/asoundlib.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

using namespace std::chrono_literals;

namespace {

// Points this process's sound clients at the test server and forgets ALSA's cached configuration,
// whose "default" device depends on whether a server was running when it was loaded.
class PulseClientEnvironment {
public:
    explicit PulseClientEnvironment(const QString& server) {
        if (const char* old = std::getenv("PULSE_SERVER")) old_ = old;
        setenv("PULSE_SERVER", server.toLocal8Bit().constData(), 1);
        snd_config_update_free_global();
    }
    ~PulseClientEnvironment() {
        if (old_)
            setenv("PULSE_SERVER", old_->c_str(), 1);
        else
            unsetenv("PULSE_SERVER");
        snd_config_update_free_global();
    }

private:
    std::optional<std::string> old_;
};

class AlsaMixerPulse : public ::testing::Test {
protected:
    void SetUp() override {
        pulseaudio_ = findTool("pulseaudio");
        pactl_ = findTool("pactl");
        if (pulseaudio_.isEmpty() || pactl_.isEmpty())
            GTEST_SKIP() << "*** SKIPPED: pulseaudio / pactl not installed (packages pulseaudio, "
                            "pulseaudio-utils, libasound2-plugins) ***";
        ASSERT_TRUE(home_.isValid());
        const QString runtime = home_.filePath("runtime");
        ASSERT_TRUE(QDir().mkpath(runtime));
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_TRUE(QDir().mkpath(home_.filePath("config")));
        socket_ = home_.filePath("native");
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("HOME", home_.path());
        env_.insert("XDG_RUNTIME_DIR", runtime);
        env_.insert("XDG_CONFIG_HOME", home_.filePath("config"));
        env_.insert("PULSE_SERVER", "unix:" + socket_);

        ASSERT_TRUE(server_.start(pulseaudio_,
                                  {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                                   "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket_,
                                   "--load=module-null-sink sink_name=test_sink rate=44100 channels=2"},
                                  env_));
        ASSERT_TRUE(waitUntil(
            [&] { return server_.running() && runTool(pactl_, {"info"}, env_).exitCode == 0; }, 20s))
            << "PulseAudio did not come up:\n"
            << server_.process().readAllStandardError().toStdString();
        client_.emplace("unix:" + socket_);
        ASSERT_TRUE(defaultMixerIsTheServer())
            << "the ALSA \"default\" mixer does not lead to the test's PulseAudio server; refusing to "
               "switch a real sound card";
    }

    void TearDown() override {
        client_.reset();
        server_.stop();
    }

    // The mute state of the server's default sink as pactl reports it.
    QString sinkMute() {
        const ToolResult r = runTool(pactl_, {"get-sink-mute", "@DEFAULT_SINK@"}, env_);
        return r.exitCode == 0 ? QString::fromUtf8(r.out).trimmed() : QString("pactl failed");
    }

    static bool defaultMixerIsTheServer() {
        snd_ctl_t* ctl = nullptr;
        if (snd_ctl_open(&ctl, "default", 0) < 0) return false;
        const bool plugin = snd_ctl_type(ctl) == SND_CTL_TYPE_EXT;
        snd_ctl_close(ctl);
        return plugin;
    }

    QTemporaryDir home_;
    QString pulseaudio_, pactl_, socket_;
    QProcessEnvironment env_;
    PeerProcess server_;
    std::optional<PulseClientEnvironment> client_;
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
