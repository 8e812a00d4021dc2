#pragma once
// A sound server of the test's own, as a desktop has one: PulseAudio with a null sink ("test_sink")
// whose monitor a test records, reached through a socket in a folder of the test. It can be killed,
// as in a crash, and started again on the same socket. Every process is stopped by its pid, at the
// latest when the object goes away.
//
//     PulseServer pulse;
//     if (!pulse.missingTools().isEmpty()) GTEST_SKIP() << pulse.missingTools().toStdString();
//     ASSERT_TRUE(pulse.start());
//     SinkRecording heard(pulse);
//     ... play through pulse.environment() (a child) or PulseClient (this process) ...
//     EXPECT_TRUE(heard.waitForSound(0.1f, 5s));

#include "support/PeerProcess.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

class PulseServer {
public:
    // What is not installed, as a loud skip message; empty when all is there.
    static QString missingTools();

    PulseServer();
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // Starts the server and waits (bounded) until it answers; a silent stream keeps the sink running,
    // so that a new stream plays at once (a null sink otherwise holds a new stream ~2 s). sinkMuted:
    // the sink is muted before any client can connect, as by a server that restores a muted sink.
    bool start(bool sinkMuted = false);
    // Ends the server at once (SIGKILL, as a crash does) and waits for its end.
    void kill();
    bool running() const { return server_.running(); }

    // "unix:<socket>", for PULSE_SERVER.
    QString address() const { return QStringLiteral("unix:") + socket_; }
    // The system environment with the server's HOME, XDG folders and PULSE_SERVER.
    const QProcessEnvironment& environment() const { return env_; }
    // What pactl says of the default sink's mute switch: "Mute: yes" or "Mute: no".
    QString sinkMute() const;
    // What the server printed, for failure messages.
    std::string diagnostics();

private:
    QTemporaryDir home_;
    QString pulseaudio_, pactl_, pacat_, socket_;
    QProcessEnvironment env_;
    PeerProcess server_;
    PeerProcess keepAlive_;
    QByteArray printed_;
};

// Points this process's sound clients (SDL, ALSA) at a server for a scope, and forgets ALSA's cached
// configuration, whose "default" device depends on whether a server ran when it was loaded.
class PulseClient {
public:
    explicit PulseClient(const PulseServer& server);
    ~PulseClient();
    PulseClient(const PulseClient&) = delete;
    PulseClient& operator=(const PulseClient&) = delete;

private:
    std::optional<std::string> oldServer_, oldDriver_;
};

// What reaches the server's sink, recorded from its monitor (stereo float at 44100 Hz) as it comes.
// The recording ends with the server; make a new one after a restart.
class SinkRecording {
public:
    explicit SinkRecording(const PulseServer& server);
    ~SinkRecording();
    SinkRecording(const SinkRecording&) = delete;
    SinkRecording& operator=(const SinkRecording&) = delete;

    // The peak of the left channel over the last `window` of the recording.
    float recentPeak(std::chrono::milliseconds window = std::chrono::milliseconds(100));
    // The left channel's frequency over the last `window`, from its zero crossings; 0 while silent.
    // Silence at the window's ends is left out.
    double recentFrequency(std::chrono::milliseconds window = std::chrono::milliseconds(250));
    // Waits (bounded, letting the event loop run) until the last 100 ms peak at least `level`.
    bool waitForSound(float level, std::chrono::milliseconds timeout);

private:
    // Takes in what the recorder delivered; the samples of the last `window`.
    std::vector<float> recent(std::chrono::milliseconds window);

    PeerProcess recorder_;
    std::vector<float> samples_; // interleaved stereo
    QByteArray pending_;         // a sample split between two reads
};
