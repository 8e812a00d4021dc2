#include "support/PulseServer.h"

#include <QDir>
#include <QFile>
#include <alsa/asoundlib.h>
#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;

void restoreVariable(const char* name, const std::optional<std::string>& value) {
    if (value)
        setenv(name, value->c_str(), 1);
    else
        unsetenv(name);
}

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

} // namespace

QString PulseServer::missingTools() {
    QStringList gone;
    for (const char* tool : {"pulseaudio", "pactl", "pacat", "parec"})
        if (findTool(QString::fromLatin1(tool)).isEmpty()) gone << QString::fromLatin1(tool);
    if (gone.isEmpty()) return QString();
    return QStringLiteral("\n*** SKIPPED: ") + gone.join(QStringLiteral(", ")) +
           QStringLiteral(" not installed (packages pulseaudio, pulseaudio-utils, libasound2-plugins; "
                          "scripts/install-deps.sh installs them); the sound server test did not run ***\n");
}

PulseServer::PulseServer()
    : pulseaudio_(findTool(QStringLiteral("pulseaudio"))), pactl_(findTool(QStringLiteral("pactl"))),
      pacat_(findTool(QStringLiteral("pacat"))), socket_(home_.filePath(QStringLiteral("native"))) {
    const QString runtime = home_.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(home_.filePath(QStringLiteral("config")));
    env_ = QProcessEnvironment::systemEnvironment();
    env_.insert(QStringLiteral("HOME"), home_.path());
    env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env_.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.filePath(QStringLiteral("config")));
    env_.insert(QStringLiteral("PULSE_SERVER"), address());
}

PulseServer::~PulseServer() {
    keepAlive_.stop();
    server_.stop();
}

bool PulseServer::start(bool sinkMuted) {
    if (pulseaudio_.isEmpty() || !home_.isValid()) return false;
    // The socket opens last: no client sees the sink before it is as asked.
    QByteArray script = "load-module module-null-sink sink_name=test_sink rate=44100 channels=2\n";
    if (sinkMuted) script += "set-sink-mute test_sink 1\n";
    script += "load-module module-native-protocol-unix auth-anonymous=1 socket=" + socket_.toUtf8() + "\n";
    QFile file(home_.filePath(QStringLiteral("server.pa")));
    if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size()) return false;
    file.close();
    if (!server_.start(
            pulseaudio_,
            {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit", "-F", file.fileName()}, env_))
        return false;
    const bool up =
        waitUntil([&] { return server_.running() && runTool(pactl_, {"info"}, env_).exitCode == 0; }, 20s);
    if (!up) return false;
    keepAlive_.process().setStandardInputFile(QStringLiteral("/dev/zero"));
    return keepAlive_.start(pacat_, {"--raw", "--format=float32le", "--rate=44100", "--channels=2"}, env_);
}

void PulseServer::kill() {
    printed_ += server_.process().readAllStandardError();
    server_.process().kill();
    server_.process().waitForFinished(5000);
    keepAlive_.stop();
}

QString PulseServer::sinkMute() const {
    const ToolResult r = runTool(pactl_, {"get-sink-mute", "@DEFAULT_SINK@"}, env_);
    return r.exitCode == 0 ? QString::fromUtf8(r.out).trimmed() : QStringLiteral("pactl failed");
}

std::string PulseServer::diagnostics() {
    printed_ += server_.process().readAllStandardError();
    return printed_.toStdString();
}

PulseClient::PulseClient(const PulseServer& server)
    : oldServer_(variable("PULSE_SERVER")), oldDriver_(variable("SDL_AUDIODRIVER")) {
    setenv("PULSE_SERVER", server.address().toLocal8Bit().constData(), 1);
    // SDL chooses its driver as it does for a user.
    unsetenv("SDL_AUDIODRIVER");
    snd_config_update_free_global();
}

PulseClient::~PulseClient() {
    restoreVariable("PULSE_SERVER", oldServer_);
    restoreVariable("SDL_AUDIODRIVER", oldDriver_);
    snd_config_update_free_global();
}

SinkRecording::SinkRecording(const PulseServer& server) {
    recorder_.start(findTool(QStringLiteral("parec")),
                    {"-d", "test_sink.monitor", "--format=float32le", "--rate=44100", "--channels=2", "--raw",
                     "--latency-msec=20"},
                    server.environment());
}

SinkRecording::~SinkRecording() {
    recorder_.stop();
}

std::vector<float> SinkRecording::recent(std::chrono::milliseconds window) {
    QProcess& process = recorder_.process();
    process.waitForReadyRead(0);
    pending_ += process.readAllStandardOutput();
    const auto whole = static_cast<std::size_t>(pending_.size()) / sizeof(float);
    const std::size_t at = samples_.size();
    samples_.resize(at + whole);
    if (whole > 0) std::memcpy(samples_.data() + at, pending_.constData(), whole * sizeof(float));
    pending_.remove(0, static_cast<qsizetype>(whole * sizeof(float)));
    // A few seconds are all any test looks back on.
    constexpr std::size_t kKept = 10 * kRate * 2;
    if (samples_.size() > 2 * kKept)
        samples_.erase(samples_.begin(), samples_.end() - static_cast<std::ptrdiff_t>(kKept));
    const auto wanted = static_cast<std::size_t>(window.count()) * kRate / 1000 * 2;
    const std::size_t from = samples_.size() > wanted ? (samples_.size() - wanted) & ~std::size_t{1} : 0;
    return {samples_.begin() + static_cast<std::ptrdiff_t>(from), samples_.end()};
}

float SinkRecording::recentPeak(std::chrono::milliseconds window) {
    float peak = 0;
    const std::vector<float> samples = recent(window);
    for (std::size_t i = 0; i < samples.size(); i += 2)
        peak = std::max(peak, std::fabs(samples[i]));
    return peak;
}

double SinkRecording::recentFrequency(std::chrono::milliseconds window) {
    const std::vector<float> samples = recent(window);
    // Between the first and the last zero crossing, so silence at either end does not count.
    std::size_t first = 0, last = 0;
    int crossings = 0;
    for (std::size_t i = 2; i < samples.size(); i += 2) {
        if ((samples[i - 2] < 0) == (samples[i] < 0)) continue;
        if (crossings++ == 0) first = i;
        last = i;
    }
    if (crossings < 3) return 0;
    return (crossings - 1) / 2.0 / (static_cast<double>(last - first) / 2 / kRate);
}

bool SinkRecording::waitForSound(float level, std::chrono::milliseconds timeout) {
    return waitUntil([&] { return recentPeak() >= level; }, timeout);
}
