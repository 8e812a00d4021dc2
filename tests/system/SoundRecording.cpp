#include "SoundRecording.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr std::size_t rate = 44100;
constexpr std::size_t window = rate / 10;

double samplesRms(const float* samples, std::size_t count) {
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += double(samples[i]) * samples[i];
    return count ? std::sqrt(sum / double(count)) : 0.0;
}

} // namespace

std::map<int, std::vector<double>> levelsByPitch(const QByteArray& raw, const std::vector<int>& pitches) {
    std::map<int, std::vector<double>> levels;
    const std::size_t frames = std::size_t(raw.size()) / 8;
    std::vector<float> samples(frames * 2);
    std::memcpy(samples.data(), raw.constData(), frames * 8);
    for (std::size_t start = 0; start + window <= frames; start += window) {
        const float* w = samples.data() + 2 * start;
        const double level = samplesRms(w, 2 * window);
        if (level < 0.01) continue;
        int crossings = 0;
        for (std::size_t i = 1; i < window; ++i)
            if ((w[2 * i] >= 0) != (w[2 * (i - 1)] >= 0)) ++crossings;
        // A sine of f Hz crosses zero f / 5 times in 100 ms.
        for (const int pitch : pitches)
            if (std::abs(crossings - pitch / 5.0) <= pitch / 5.0 * 0.04 + 1) levels[pitch].push_back(level);
    }
    return levels;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

double recordedSeconds(const QString& rawFile) {
    return double(QFileInfo(rawFile).size()) / (rate * 8);
}
