#pragma once
// Where the audio data of an MP3 file lies: after the ID3v2 tags at its start (footer included) and
// before the APE and ID3v1 tags at its end. A large cover picture in a tag is no audio, so sizes that
// stand for the audio (the average bitrate, the places measured for loudness) are taken over this
// span only. A file without tags spans its whole size.

#include <cstdint>
#include <optional>
#include <string>

namespace audio {

struct AudioSpan {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    std::uint64_t fileSize = 0;

    std::uint64_t size() const { return end - begin; }
    std::uint64_t tagBytes() const { return fileSize - size(); }
};

// The span of the open file fd of fileSize bytes; a tag whose header cannot be read or does not fit
// in the file counts as audio.
AudioSpan findAudioSpan(int fd, std::uint64_t fileSize);
// Opens path read-only without blocking (a named pipe never holds the caller up); nothing when it
// is not a regular file that can be opened.
std::optional<AudioSpan> findAudioSpan(const std::string& path);

} // namespace audio
