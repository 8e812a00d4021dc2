#pragma once
// Helpers shared by the engine's tests: waiting for conditions, reference decodes with libmpg123
// itself, and MP3 fixtures made once per test run.

#include "support/Mp3Fixtures.h"
#include "support/ScopedEnv.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace audiotest {

// Polls pred until it holds or the time-out passes; the time-outs are generous on purpose.
template <typename Pred>
bool waitUntil(Pred pred, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

using ::ScopedEnv;

struct Reference {
    long rate = 0;
    int channels = 0;
    std::int64_t frames = -1;   // exact decoded length, by libmpg123's full scan
    std::vector<float> samples; // the whole file decoded (interleaved), when asked for
};
// Decodes a file with a bare libmpg123 handle (its own reader, float output, gapless as the engine).
Reference referenceDecode(const std::string& path, bool withSamples, bool monoMix = false);

float peak(const float* samples, std::size_t count);

// An MP3 made with lame once per test executable and kept until it exits. Empty when lame is missing.
std::string sharedMp3(const std::string& name, const fixtures::Signal& signal,
                      const fixtures::LameOptions& options = {});
const std::string& sharedDir();

} // namespace audiotest

#define REQUIRE_LAME()                                                                                       \
    do {                                                                                                     \
        if (!fixtures::haveLame()) GTEST_SKIP() << fixtures::missingLameMessage();                           \
    } while (0)
