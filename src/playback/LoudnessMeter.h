#pragma once
// Measures how loud a song is: four short excerpts at 1/5 .. 4/5 of its audio data are decoded as mono
// float samples, and the strength of their loud samples is averaged.

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class AudioEngine;
class SongListEditor;

// The loudness value of one excerpt: round(100 × the sum of the magnitudes above 0.2) div (their
// number + 1), so an excerpt without a loud sample gives 0.
std::int64_t excerptLoudness(const float* samples, std::size_t count);

// Measures the file at path through the engine; nothing when its size cannot be taken.
std::optional<int> measureFileLoudness(AudioEngine& audioEngine, const QString& path,
                                       std::vector<float>& buffer);

class LoudnessMeter {
public:
    LoudnessMeter(AudioEngine& audioEngine, SongListEditor& songList)
        : audioEngine_(audioEngine), songList_(songList) {}

    // Measures the song at row index if its entry is "x" and writes the value into the entry. A song
    // whose file cannot be opened cannot play: its row leaves the song list.
    void measureLoudness(int index);

private:
    AudioEngine& audioEngine_;
    SongListEditor& songList_;
    // One buffer for every excerpt of every measurement.
    std::vector<float> buffer_;
};
