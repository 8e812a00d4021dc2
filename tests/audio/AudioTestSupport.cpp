#include "AudioTestSupport.h"

#include <cmath>
#include <map>
#include <mpg123.h>
#include <mutex>

namespace audiotest {

Reference referenceDecode(const std::string& path, bool withSamples, bool monoMix) {
    Reference ref;
    mpg123_init();
    int error = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &error);
    if (!mh) return ref;
    mpg123_param(mh, MPG123_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    mpg123_format_none(mh);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(mh, rates[i], monoMix ? MPG123_MONO : MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    int encoding = 0;
    if (mpg123_open(mh, path.c_str()) == MPG123_OK &&
        mpg123_getformat(mh, &ref.rate, &ref.channels, &encoding) == MPG123_OK &&
        mpg123_scan(mh) == MPG123_OK) {
        ref.frames = mpg123_length(mh);
        if (withSamples) {
            std::vector<float> buffer(8192);
            for (;;) {
                std::size_t done = 0;
                int result = mpg123_read(mh, buffer.data(), buffer.size() * sizeof(float), &done);
                ref.samples.insert(ref.samples.end(), buffer.begin(), buffer.begin() + done / sizeof(float));
                if (result != MPG123_OK) break;
            }
        }
    }
    mpg123_delete(mh);
    return ref;
}

float peak(const float* samples, std::size_t count) {
    float p = 0.0f;
    for (std::size_t i = 0; i < count; ++i)
        p = std::max(p, std::fabs(samples[i]));
    return p;
}

const std::string& sharedDir() {
    static fixtures::TempDir dir;
    return dir.path();
}

std::string sharedMp3(const std::string& name, const fixtures::Signal& signal,
                      const fixtures::LameOptions& options) {
    static std::mutex mutex;
    static std::map<std::string, std::string> made;
    std::lock_guard lock(mutex);
    if (auto it = made.find(name); it != made.end()) return it->second;
    std::string path = sharedDir() + "/" + name;
    std::string error;
    if (!fixtures::makeMp3(path, signal, options, &error)) return {};
    made[name] = path;
    return path;
}

} // namespace audiotest
