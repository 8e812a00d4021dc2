// The real program's hot keys on a real X server: mp3zx plays a song under Xvfb while another X client
// has the focus; the Pause key pauses and resumes it, Scroll Lock makes it louder, and once mp3zx has
// closed the keys are free for other clients. What the program plays is observed through SDL's disk
// driver (the raw output it writes), the volume bar through mp3.ini, which the program writes at exit.
// The other client is this test executable started again on the xcb platform as a small agent.

#include "support/Mp3Fixtures.h"
#include "support/X11Agent.h"
#include "support/XdoTool.h"

#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr char focusAgentVariable[] = "MP3ZX_FOCUS_AGENT";
constexpr char focusAgentSuite[] = "FocusAgent";
constexpr char focusAgentTitle[] = "focus holder";

// ---- the agent: another X client that holds the focus and tries to grab keys ------------------------

const bool focusAgentRegistered = registerX11Agent(focusAgentVariable, focusAgentSuite, [] {
    QWidget window;
    window.setWindowTitle(focusAgentTitle);
    window.resize(200, 100);
    window.show();
    window.activateWindow();
    agentReply("ready");
    runAgentCommands([&](const QStringList& words) {
        if (words[0] == "quit") return false;
        if (words[0] == "focus") {
            window.activateWindow();
            agentReply("focus");
        } else if (words[0] == "grab") {
            agentReply("grab " + words.value(1) + " " + grabKey(keysymNamed(words.value(1))));
        }
        return true;
    });
});

// What the last quarter second of the program's sound output holds: the largest sample, 0 for silence.
// The disk driver writes stereo 32-bit float frames in real time.
std::optional<float> recentPeak(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    constexpr qint64 frameBytes = 8;
    constexpr qint64 window = 44100 / 4 * frameBytes;
    const qint64 end = file.size() / frameBytes * frameBytes;
    if (end < window) return std::nullopt;
    file.seek(end - window);
    const QByteArray bytes = file.read(window);
    std::vector<float> samples(static_cast<std::size_t>(bytes.size()) / sizeof(float));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    float peak = 0;
    for (float v : samples)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

class HotKeysX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (findTool("Xvfb").isEmpty() || findTool("xdotool").isEmpty() || !fixtures::haveLame())
            GTEST_SKIP()
                << "*** SKIPPED: Xvfb / xdotool / lame not installed (packages xvfb, xdotool, lame) ***";
        ASSERT_TRUE(folder_.isValid() && runtime_.isValid());
        x_ = std::make_unique<XServer>(QStringLiteral("1024x768x24"));
        ASSERT_TRUE(x_->available()) << "Xvfb did not start";
        display_ = x_->environment();
        xdotool_ = std::make_unique<XdoTool>(display_);
    }
    void TearDown() override {
        program_.stop();
        x_.reset();
    }

    // The program in a folder of its own, since mp3.ini lives beside it: a hard link where the file
    // system allows one, else a copy.
    void installProgram() {
        const QString target = folder_.filePath("mp3zx");
        if (::link(MP3ZX_EXECUTABLE, QFile::encodeName(target).constData()) != 0) {
            ASSERT_TRUE(QFile::copy(MP3ZX_EXECUTABLE, target));
        }
    }

    void writeSettings(int volume) {
        QFile ini(folder_.filePath("mp3.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        // Folder, tree top, volume, levelling, left, top, station, radio mode, playlist folder.
        ini.write(QString("\r\n\r\n%1\r\n0\r\n0\r\n0\r\n-1\r\n0\r\n%2\r\n")
                      .arg(volume)
                      .arg(folder_.path())
                      .toUtf8());
    }

    QStringList settingsLines() {
        QFile ini(folder_.filePath("mp3.ini"));
        if (!ini.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(ini.readAll()).split(QStringLiteral("\r\n"));
    }

    void key(const QString& name) {
        ASSERT_TRUE(xdotool_->key(name)) << "xdotool key " << name.toStdString();
    }
    QString focusedWindowName() { return xdotool_->focusedWindowName(); }

    float peak() { return recentPeak(output_).value_or(-1); }
    bool sounds() { return peak() > 0.05f; }
    bool silent() { return peak() == 0.0f; }

    QProcessEnvironment display_;
    std::unique_ptr<XServer> x_;
    std::unique_ptr<XdoTool> xdotool_;
    PeerProcess program_;
    QTemporaryDir folder_;
    QTemporaryDir runtime_;
    QString output_ = folder_.filePath("output.raw");
};

} // namespace

TEST_F(HotKeysX11Test, PauseAndScrollLockReachThePlayerWhileAnotherClientHasTheFocus) {
    installProgram();
    writeSettings(50);
    const std::string song = folder_.filePath("ton.mp3").toStdString();
    std::string error;
    ASSERT_TRUE(fixtures::makeMp3(song,
                                  {.waveform = fixtures::Waveform::Sine,
                                   .frequency = 1000,
                                   .amplitude = 0.5,
                                   .seconds = 120,
                                   .channels = 1},
                                  {.mono = true}, &error))
        << error;

    QProcessEnvironment env = display_;
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("XDG_RUNTIME_DIR", runtime_.path());
    env.insert("SDL_AUDIODRIVER", "disk");
    env.insert("SDL_DISKAUDIOFILE", output_);
    env.remove("PULSE_SERVER");
    program_.process().setWorkingDirectory(folder_.path());
    program_.process().setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ASSERT_TRUE(program_.start(folder_.filePath("mp3zx"), {QString::fromStdString(song)}, env));
    // The song given as argument plays once start-up is through, hot keys included.
    ASSERT_TRUE(waitUntil([&] { return sounds() || !program_.running(); }, 60s)) << "no sound from mp3zx";
    ASSERT_TRUE(program_.running());

    X11AgentProcess other(display_, focusAgentVariable, focusAgentSuite);
    ASSERT_TRUE(other.started());
    ASSERT_TRUE(waitUntil([&] { return focusedWindowName() == focusAgentTitle; }, 20s))
        << "focus is on " << focusedWindowName().toStdString();
    // The player holds the three keys in every lock combination.
    EXPECT_EQ(other.ask("grab Pause", "grab Pause"), "grab Pause 0/4");
    EXPECT_EQ(other.ask("grab Print", "grab Print"), "grab Print 0/8");
    EXPECT_EQ(other.ask("grab Scroll_Lock", "grab Scroll_Lock"), "grab Scroll_Lock 0/4");

    key("Pause");
    EXPECT_TRUE(waitUntil([&] { return silent(); }, 20s)) << "still playing, peak " << peak();
    key("Pause");
    EXPECT_TRUE(waitUntil([&] { return sounds(); }, 20s)) << "still paused, peak " << peak();

    // The volume bar at 50 with the song's loudness 30 plays at 30 % of full scale, at 52 at 33 %.
    const float before = peak();
    EXPECT_GT(before, 0.12f);
    EXPECT_LT(before, 0.16f);
    key("Scroll_Lock");
    EXPECT_TRUE(waitUntil([&] { return peak() > before * 1.06f; }, 20s)) << before << " -> " << peak();
    EXPECT_EQ(focusedWindowName(), QLatin1String(focusAgentTitle));

    // SIGTERM closes the window through the normal shutdown, which writes the settings.
    program_.process().terminate();
    ASSERT_TRUE(program_.process().waitForFinished(30000));
    EXPECT_EQ(program_.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program_.process().exitCode(), 0);
    EXPECT_EQ(settingsLines().value(2), QStringLiteral("52"));

    // The keys are free again.
    EXPECT_EQ(other.ask("grab Pause", "grab Pause"), "grab Pause 4/4");
    EXPECT_EQ(other.ask("grab Print", "grab Print"), "grab Print 8/8");
    EXPECT_EQ(other.ask("grab Scroll_Lock", "grab Scroll_Lock"), "grab Scroll_Lock 4/4");
}
