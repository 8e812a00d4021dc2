#include "audio/StreamDecoder.h"

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
        if (done >= frameBytes) return {Status::Frames, done / frameBytes};
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

} // namespace audio
