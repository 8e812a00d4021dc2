#include "audio/StreamDecoder.h"

#include <algorithm>
#include <cstring>

namespace audio {

namespace {
constexpr std::size_t kFeedBytes = 16 * 1024;
}

std::unique_ptr<StreamDecoder> StreamDecoder::create(ByteQueue& input, bool monoMix,
                                                     std::chrono::milliseconds waitPerRead,
                                                     std::string prefix) {
    auto handle = makeMpg123Decoder(monoMix);
    if (!handle || mpg123_open_feed(handle.get()) != MPG123_OK) return nullptr;
    if (!prefix.empty() && mpg123_feed(handle.get(), reinterpret_cast<const unsigned char*>(prefix.data()),
                                       prefix.size()) != MPG123_OK)
        return nullptr;
    return std::unique_ptr<StreamDecoder>(new StreamDecoder(input, std::move(handle), waitPerRead));
}

StreamDecoder::StreamDecoder(ByteQueue& input, Mpg123Ptr handle, std::chrono::milliseconds waitPerRead)
    : input_(input), handle_(std::move(handle)), waitPerRead_(waitPerRead), feedBuffer_(kFeedBytes) {}

PcmSource::Result StreamDecoder::read(float* out, std::size_t maxFrames) {
    if (ended_) return {Status::End};
    // Before the first frame the channel count is unknown; ask for whole stereo frames then.
    const std::size_t channels = format_.channels > 0 ? static_cast<std::size_t>(format_.channels) : 2;
    const std::size_t frameBytes = channels * sizeof(float);
    for (;;) {
        std::size_t done = 0;
        int result = mpg123_read(handle_.get(), out, maxFrames * frameBytes, &done);
        if (result == MPG123_NEW_FORMAT) {
            long rate = 0;
            int newChannels = 0, encoding = 0;
            mpg123_getformat(handle_.get(), &rate, &newChannels, &encoding);
            if (rate <= 0 || newChannels <= 0) {
                ended_ = true;
                return {Status::End};
            }
            format_ = {rate, newChannels};
            return {Status::FormatChanged};
        }
        if (done >= frameBytes) {
            const std::size_t frames = dropLeadIn(out, done / frameBytes, channels);
            if (frames > 0) return {Status::Frames, frames};
            continue;
        }
        if (result == MPG123_NEED_MORE || result == MPG123_OK) {
            std::size_t got = 0;
            auto status = input_.pop(feedBuffer_.data(), feedBuffer_.size(), got, waitPerRead_);
            if (status == ByteQueue::PopStatus::Timeout) return {Status::Wait};
            if (status == ByteQueue::PopStatus::Closed) {
                ended_ = true;
                return {Status::End};
            }
            if (mpg123_feed(handle_.get(), reinterpret_cast<const unsigned char*>(feedBuffer_.data()), got) !=
                MPG123_OK) {
                ended_ = true;
                return {Status::End};
            }
            continue;
        }
        // MPG123_DONE or a hard error: nothing more can be decoded from this stream.
        ended_ = true;
        return {Status::End};
    }
}

std::size_t StreamDecoder::dropLeadIn(float* out, std::size_t frames, std::size_t channels) {
    if (leadInOver_) return frames;
    const std::size_t samples = frames * channels;
    const std::size_t limit = (kLeadInLimitFrames - leadInDropped_) * channels;
    const float* sound = std::find_if(out, out + std::min(samples, limit), [](float x) { return x != 0.0f; });
    // Whole frames only: the channels stay in their places.
    const std::size_t silent = static_cast<std::size_t>(sound - out) / channels;
    leadInDropped_ += silent;
    leadInOver_ = silent < frames || leadInDropped_ >= kLeadInLimitFrames;
    if (silent == 0) return frames;
    std::memmove(out, out + silent * channels, (frames - silent) * channels * sizeof(float));
    return frames - silent;
}

} // namespace audio
