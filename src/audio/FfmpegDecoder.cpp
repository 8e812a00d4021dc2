#include "audio/FfmpegDecoder.h"

#include "audio/FfmpegLibrary.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace audio {

namespace {

constexpr int kIoBufferBytes = 32 * 1024;
// Enough to recognise and start an ICY stream without holding its start up for seconds.
constexpr std::int64_t kProbeBytes = 64 * 1024;
constexpr std::int64_t kAnalyzeMicroseconds = 1'000'000;
// Rounds of reading without a decoded frame before read() lets the caller look up.
constexpr int kRoundsPerRead = 64;

std::int64_t decoderClockTicks() {
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

std::string tag(const FfmpegLibrary& ff, const AVDictionary* tags, const char* key) {
    const AVDictionaryEntry* entry = ff.av_dict_get(tags, key, nullptr, 0);
    return entry && entry->value ? std::string(entry->value) : std::string();
}

// "Artist - Title" from a tag set, or the title alone; empty when it names no title.
std::string titleOf(const FfmpegLibrary& ff, const AVDictionary* tags) {
    std::string title = tag(ff, tags, "title");
    if (title.empty()) title = tag(ff, tags, "StreamTitle");
    if (title.empty()) return {};
    const std::string artist = tag(ff, tags, "artist");
    return artist.empty() ? title : artist + " - " + title;
}

} // namespace

struct FfmpegDecoder::State {
    AVFormatContext* demuxer = nullptr;
    AVIOContext* io = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* resampler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int stream = -1;
    // What the resampler was set up for.
    int inRate = 0;
    int inFormat = -1;
    AVChannelLayout inLayout{};
    std::vector<float> pending; // converted samples not yet handed out
    std::size_t pendingAt = 0;
};

FfmpegDecoder::FfmpegDecoder(const FfmpegLibrary& library, Settings settings, TitleHandler onTitle)
    : ff_(library), settings_(std::move(settings)), onTitle_(std::move(onTitle)),
      state_(std::make_unique<State>()) {
    format_ = {settings_.outputRate, settings_.monoMix ? 1 : 2};
    lastInputTicks_.store(decoderClockTicks());
}

FfmpegDecoder::~FfmpegDecoder() {
    State& s = *state_;
    ff_.avcodec_free_context(&s.codec);
    ff_.swr_free(&s.resampler);
    ff_.av_channel_layout_uninit(&s.inLayout);
    ff_.av_frame_free(&s.frame);
    ff_.av_packet_free(&s.packet);
    ff_.avformat_close_input(&s.demuxer);
    if (s.io) {
        ff_.av_freep(&s.io->buffer);
        ff_.avio_context_free(&s.io);
    }
}

std::unique_ptr<FfmpegDecoder> FfmpegDecoder::openBytes(const FfmpegLibrary& library, ByteQueue& queue,
                                                        std::string prefix, const char* formatName,
                                                        Settings settings, TitleHandler onTitle,
                                                        Failure* failure) {
    std::unique_ptr<FfmpegDecoder> decoder(
        new FfmpegDecoder(library, std::move(settings), std::move(onTitle)));
    decoder->queue_ = &queue;
    decoder->prefix_ = std::move(prefix);
    *failure = decoder->open(nullptr, formatName);
    return *failure == Failure::None ? std::move(decoder) : nullptr;
}

std::unique_ptr<FfmpegDecoder> FfmpegDecoder::openUrl(const FfmpegLibrary& library, const std::string& url,
                                                      const char* formatName, Settings settings,
                                                      TitleHandler onTitle, Failure* failure) {
    std::unique_ptr<FfmpegDecoder> decoder(
        new FfmpegDecoder(library, std::move(settings), std::move(onTitle)));
    *failure = decoder->open(url.c_str(), formatName);
    return *failure == Failure::None ? std::move(decoder) : nullptr;
}

FfmpegDecoder::Failure FfmpegDecoder::open(const char* url, const char* formatName) {
    State& s = *state_;
    s.demuxer = ff_.avformat_alloc_context();
    if (!s.demuxer) return Failure::Failed;
    s.demuxer->interrupt_callback = {
        [](void* self) { return static_cast<FfmpegDecoder*>(self)->interrupted() ? 1 : 0; }, this};
    s.demuxer->max_analyze_duration = kAnalyzeMicroseconds;
    if (queue_) {
        auto* buffer = static_cast<unsigned char*>(ff_.av_malloc(kIoBufferBytes));
        s.io = buffer ? ff_.avio_alloc_context(
                            buffer, kIoBufferBytes, 0, this,
                            [](void* self, std::uint8_t* to, int size) {
                                return static_cast<FfmpegDecoder*>(self)->readInput(to, size);
                            },
                            nullptr, nullptr)
                      : nullptr;
        if (!s.io) {
            ff_.av_freep(&buffer);
            return Failure::Failed;
        }
        s.demuxer->pb = s.io;
        s.demuxer->flags |= AVFMT_FLAG_CUSTOM_IO;
        s.demuxer->probesize = kProbeBytes;
    }
    AVDictionary* options = nullptr;
    if (!settings_.userAgent.empty()) ff_.av_dict_set(&options, "user_agent", settings_.userAgent.c_str(), 0);
    const AVInputFormat* input = formatName ? ff_.av_find_input_format(formatName) : nullptr;
    const int opened = ff_.avformat_open_input(&s.demuxer, url ? url : "", input, &options);
    ff_.av_dict_free(&options);
    // A stream that ended or stalled while being looked at may simply have dropped: worth a retry.
    const auto notDecodable = [&] {
        return (interrupted() || inputClosed_ || url != nullptr) ? Failure::Failed : Failure::Refused;
    };
    if (opened < 0) return notDecodable();
    if (ff_.avformat_find_stream_info(s.demuxer, nullptr) < 0) return notDecodable();
    const AVCodec* codec = nullptr;
    s.stream = ff_.av_find_best_stream(s.demuxer, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (s.stream < 0 || !codec) return Failure::Refused;
    s.codec = ff_.avcodec_alloc_context3(codec);
    s.packet = ff_.av_packet_alloc();
    s.frame = ff_.av_frame_alloc();
    if (!s.codec || !s.packet || !s.frame) return Failure::Failed;
    if (ff_.avcodec_parameters_to_context(s.codec, s.demuxer->streams[s.stream]->codecpar) < 0 ||
        ff_.avcodec_open2(s.codec, codec, nullptr) < 0)
        return Failure::Refused;
    noticeTitle(true);
    return Failure::None;
}

bool FfmpegDecoder::interrupted() const {
    if (settings_.quit && settings_.quit->load()) return true;
    const auto idle = std::chrono::steady_clock::duration(decoderClockTicks() - lastInputTicks_.load());
    return idle > settings_.stallTimeout;
}

int FfmpegDecoder::readInput(unsigned char* buffer, int size) {
    if (size <= 0) return 0;
    if (prefixUsed_ < prefix_.size()) {
        const std::size_t n = std::min(prefix_.size() - prefixUsed_, static_cast<std::size_t>(size));
        std::memcpy(buffer, prefix_.data() + prefixUsed_, n);
        prefixUsed_ += n;
        return static_cast<int>(n);
    }
    while (!interrupted()) {
        std::size_t got = 0;
        switch (queue_->pop(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(size), got,
                            settings_.waitPerRead)) {
        case ByteQueue::PopStatus::Data:
            lastInputTicks_.store(decoderClockTicks());
            return static_cast<int>(got);
        case ByteQueue::PopStatus::Closed:
            inputClosed_ = true;
            return AVERROR_EOF;
        case ByteQueue::PopStatus::Timeout:
            break;
        }
    }
    return AVERROR_EXIT;
}

PcmSource::Result FfmpegDecoder::read(float* out, std::size_t maxFrames) {
    if (!formatAnnounced_) {
        formatAnnounced_ = true;
        return {Status::FormatChanged};
    }
    State& s = *state_;
    for (int round = 0; round < kRoundsPerRead; ++round) {
        if (std::size_t frames = takePending(out, maxFrames); frames > 0) return {Status::Frames, frames};
        if (ended_) return {Status::End};
        const int received = ff_.avcodec_receive_frame(s.codec, s.frame);
        if (received == 0) {
            if (!convert()) ended_ = true;
            continue;
        }
        if (received != AVERROR(EAGAIN) || ff_.av_read_frame(s.demuxer, s.packet) < 0) {
            // The end of the stream, a stall, a shutdown or a decoder that gave up.
            ended_ = true;
            continue;
        }
        if (!queue_) lastInputTicks_.store(decoderClockTicks());
        noticeTitle(false);
        // A damaged packet is skipped; the decoder picks up at the next one.
        if (s.packet->stream_index == s.stream) ff_.avcodec_send_packet(s.codec, s.packet);
        ff_.av_packet_unref(s.packet);
    }
    return {Status::Wait};
}

std::size_t FfmpegDecoder::takePending(float* out, std::size_t maxFrames) {
    State& s = *state_;
    const auto channels = static_cast<std::size_t>(format_.channels);
    const std::size_t frames = std::min(maxFrames, (s.pending.size() - s.pendingAt) / channels);
    std::copy_n(s.pending.data() + s.pendingAt, frames * channels, out);
    s.pendingAt += frames * channels;
    return frames;
}

// Converts the decoded frame to the output's rate and channels; a change of the stream's rate or
// layout (a new logical Ogg stream, HE-AAC's doubled rate) sets the resampler up anew.
bool FfmpegDecoder::convert() {
    State& s = *state_;
    AVFrame* frame = s.frame;
    AVChannelLayout layout{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels == 0)
        ff_.av_channel_layout_default(&layout, std::max(frame->ch_layout.nb_channels, 1));
    else
        ff_.av_channel_layout_copy(&layout, &frame->ch_layout);
    if (!s.resampler || frame->sample_rate != s.inRate || frame->format != s.inFormat ||
        ff_.av_channel_layout_compare(&layout, &s.inLayout) != 0) {
        ff_.swr_free(&s.resampler);
        AVChannelLayout outLayout{};
        ff_.av_channel_layout_default(&outLayout, format_.channels);
        if (ff_.swr_alloc_set_opts2(&s.resampler, &outLayout, AV_SAMPLE_FMT_FLT, format_.rate, &layout,
                                    static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                    nullptr) < 0 ||
            ff_.swr_init(s.resampler) < 0) {
            ff_.av_channel_layout_uninit(&layout);
            return false;
        }
        s.inRate = frame->sample_rate;
        s.inFormat = frame->format;
        ff_.av_channel_layout_uninit(&s.inLayout);
        ff_.av_channel_layout_copy(&s.inLayout, &layout);
    }
    ff_.av_channel_layout_uninit(&layout);
    const int room = ff_.swr_get_out_samples(s.resampler, frame->nb_samples);
    if (room < 0) return false;
    s.pending.resize(static_cast<std::size_t>(room) * static_cast<std::size_t>(format_.channels));
    auto* to = reinterpret_cast<std::uint8_t*>(s.pending.data());
    const int converted = ff_.swr_convert(
        s.resampler, &to, room, const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
    s.pending.resize(static_cast<std::size_t>(std::max(converted, 0)) *
                     static_cast<std::size_t>(format_.channels));
    s.pendingAt = 0;
    return converted >= 0;
}

// Titles live in the stream's tags (Ogg: each new logical stream's comments) or the container's
// (ID3 in HLS segments); libavformat flags each update.
void FfmpegDecoder::noticeTitle(bool force) {
    State& s = *state_;
    AVStream* stream = s.demuxer->streams[s.stream];
    const bool updated = (s.demuxer->event_flags & AVFMT_EVENT_FLAG_METADATA_UPDATED) ||
                         (stream->event_flags & AVSTREAM_EVENT_FLAG_METADATA_UPDATED);
    if (!updated && !force) return;
    s.demuxer->event_flags &= ~AVFMT_EVENT_FLAG_METADATA_UPDATED;
    stream->event_flags &= ~AVSTREAM_EVENT_FLAG_METADATA_UPDATED;
    std::string title = titleOf(ff_, stream->metadata);
    if (title.empty()) title = titleOf(ff_, s.demuxer->metadata);
    if (title.empty() || title == title_) return;
    title_ = title;
    if (onTitle_) onTitle_(title);
}

} // namespace audio
