#include "audio/FileDecoder.h"

#include "audio/AudioSpan.h"
#include "audio/MpegFrames.h"

#include <algorithm>

namespace audio {

namespace {
// How far into a range the first frame may lie: past any junk real files carry before their audio,
// not through a whole file of something else.
constexpr std::uint64_t kAudioSearchBytes = 1 << 20;
} // namespace

std::unique_ptr<FileDecoder> FileDecoder::open(const std::string& path, std::uint64_t offset,
                                               std::uint64_t length, bool monoMix) {
    auto reader = RangeReader::open(path, offset, length);
    if (!reader) return nullptr;
    const std::uint64_t rangeSize = reader->size();
    const std::uint64_t rangeEnd = offset + rangeSize;
    const AudioSpan span = findAudioSpan(reader->fd(), reader->fileSize());
    const auto audioStart = findMpegAudio(reader->fd(), span, offset, rangeEnd, kAudioSearchBytes);
    if (!audioStart) return nullptr;
    reader->narrow(*audioStart, std::min(rangeEnd, span.end));
    auto handle = makeMpg123Decoder(monoMix);
    if (!handle) return nullptr;
    if (mpg123_replace_reader_handle(handle.get(), RangeReader::mpg123Read, RangeReader::mpg123Seek,
                                     nullptr) != MPG123_OK ||
        mpg123_open_handle(handle.get(), reader.get()) != MPG123_OK)
        return nullptr;
    std::unique_ptr<FileDecoder> decoder(new FileDecoder(std::move(reader), std::move(handle), rangeSize));
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(decoder->handle_.get(), &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
        channels <= 0)
        return nullptr;
    decoder->format_ = {rate, channels};
    off_t estimate = mpg123_length(decoder->handle_.get());
    decoder->estimatedLength_ = estimate >= 0 ? estimate : -1;
    return decoder;
}

FileDecoder::FileDecoder(std::unique_ptr<RangeReader> reader, Mpg123Ptr handle, std::uint64_t rangeSize)
    : reader_(std::move(reader)), handle_(std::move(handle)), rangeSize_(rangeSize) {}

PcmSource::Result FileDecoder::read(float* out, std::size_t maxFrames) {
    const std::size_t frameBytes = static_cast<std::size_t>(format_.channels) * sizeof(float);
    // libmpg123 may answer OK without output while it skips a broken frame; a few retries cover that
    // without spinning forever on a file that only yields empty reads.
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::size_t done = 0;
        int result = mpg123_read(handle_.get(), out, maxFrames * frameBytes, &done);
        if (done >= frameBytes) return {Status::Frames, done / frameBytes};
        if (result == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(handle_.get(), &rate, &channels, &encoding);
            if (rate <= 0 || channels <= 0) return {Status::End};
            format_ = {rate, channels};
            return {Status::FormatChanged};
        }
        if (result != MPG123_OK) return {Status::End};
    }
    return {Status::End};
}

bool FileDecoder::scan() {
    if (mpg123_scan(handle_.get()) != MPG123_OK) return false;
    off_t length = mpg123_length(handle_.get());
    if (length < 0) return false;
    exactLength_ = length;
    return true;
}

void FileDecoder::installIndex(const FrameIndex& index) {
    if (index.lengthFrames < 0) return;
    if (!index.offsets.empty() && index.step > 0) {
        // mpg123_set_index copies the table; its parameter is not const only for historical reasons.
        auto offsets = index.offsets;
        mpg123_set_index(handle_.get(), offsets.data(), index.step, offsets.size());
    }
    exactLength_ = index.lengthFrames;
}

bool FileDecoder::seek(std::int64_t frame) {
    return mpg123_seek(handle_.get(), static_cast<off_t>(frame), SEEK_SET) >= 0;
}

} // namespace audio
