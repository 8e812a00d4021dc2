// The decoding side of a channel: the thread that keeps a played channel's ring filled, and the
// caller-driven reads of a decoding channel.

#include "audio/ByteQueue.h"
#include "audio/Channel.h"
#include "audio/Converter.h"
#include "audio/FileDecoder.h"
#include "audio/FrameIndexer.h"
#include "audio/Output.h"
#include "audio/Voice.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace audio {

namespace {
// Frames decoded per round: four MPEG frames, about 0.1 s, so the decoding lock is held only briefly.
constexpr std::size_t kChunkFrames = 4608;
// Longest sleep of an idle decoding thread. The audio callback wakes it when half its ring (~0.37 s)
// is free, so this only bounds the damage of a lost wake-up: long, because every wake-up costs CPU,
// yet shorter than what a filled ring holds (more than 0.6 s), so even a lost one leaves no gap.
constexpr std::chrono::milliseconds kIdleWait{500};
} // namespace

void Channel::decodeLoop() {
    while (!quit_.load()) {
        bool progressed = false;
        {
            std::lock_guard lock(decodeMutex_);
            if (!quit_.load() && !producerDone_ && voice_->wantsMore()) progressed = pumpOnce();
        }
        if (!progressed) producerWakeup_.waitFor(kIdleWait);
    }
}

// One step of the pipeline source -> (converter) -> ring. True when it made progress and another step
// may follow at once.
bool Channel::pumpOnce() {
    PcmRing& ring = voice_->ring();
    if (converter_ && converter_->available() > 0) {
        auto region = ring.writeRegion();
        std::size_t got = converter_->get(region.data(), region.size() / 2);
        ring.commit(got * 2);
        checkReady();
        return got > 0;
    }
    if (sourceEnded_) {
        if (converter_ && !converterFlushed_) {
            converter_->flush();
            converterFlushed_ = true;
            return true;
        }
        voice_->markSourceDone();
        producerDone_ = true;
        signalOpened(ring.readable() > 0);
        return false;
    }

    PcmSource::Result result{PcmSource::Status::Wait};
    if (formatKnown_ && !converter_) {
        // Already in the output format: decode straight into the ring.
        auto region = ring.writeRegion();
        std::size_t frames = std::min(region.size() / 2, kChunkFrames);
        if (frames == 0) return false;
        result = source_->read(region.data(), frames);
        if (result.status == PcmSource::Status::Frames) {
            ring.commit(result.frames * 2);
            checkReady();
        }
    } else {
        scratch_.resize(kChunkFrames * 2);
        result = source_->read(scratch_.data(), kChunkFrames);
        if (result.status == PcmSource::Status::Frames && converter_)
            converter_->put(scratch_.data(), result.frames);
    }

    switch (result.status) {
    case PcmSource::Status::Frames:
    case PcmSource::Status::Wait:
        return true;
    case PcmSource::Status::FormatChanged:
        if (!setUpConversion(source_->format())) sourceEnded_ = true;
        return true;
    case PcmSource::Status::End:
        sourceEnded_ = true;
        return true;
    }
    return true;
}

// Prepares the path from the source's format to the output; the first format also fixes the
// channel's byte format and the voice's clock.
bool Channel::setUpConversion(PcmFormat format) {
    const int outputRate = context_.output->rate();
    if (!formatKnown_ || rate_.load() == 0) {
        if (kind_ == Kind::Url) setByteFormat(format);
        voice_->setSourceRate(format.rate);
        formatKnown_ = true;
    }
    if (format == PcmFormat{outputRate, 2}) {
        converter_.reset();
        return true;
    }
    // A change of format in mid-stream drops the few samples the old resampler still held.
    converter_ = std::make_unique<Converter>(format, outputRate);
    converterFlushed_ = false;
    return converter_->valid();
}

void Channel::checkReady() {
    if (prebufferSamples_ > 0 && voice_->buffered() >= prebufferSamples_) signalOpened(true);
}

void Channel::signalOpened(bool ok) {
    std::lock_guard lock(openMutex_);
    if (opened_ || openFailed_) return;
    (ok ? opened_ : openFailed_) = true;
    openCv_.notify_all();
}

std::int64_t Channel::readDecoded(void* buffer, std::size_t bytes) {
    const auto frameBytes = static_cast<std::size_t>(bytesPerFrame());
    const std::size_t wanted = bytes / frameBytes;
    const auto sourceChannels = static_cast<std::size_t>(channels_);
    const bool direct =
        bytesPerSample_ == 4 && reinterpret_cast<std::uintptr_t>(buffer) % alignof(float) == 0;
    std::size_t done = 0;
    while (done < wanted && !sourceEnded_) {
        std::size_t frames = std::min(wanted - done, kChunkFrames);
        float* target;
        if (direct) {
            target = static_cast<float*>(buffer) + done * sourceChannels;
        } else {
            scratch_.resize(kChunkFrames * 2);
            target = scratch_.data();
        }
        auto result = source_->read(target, frames);
        if (result.status == PcmSource::Status::FormatChanged) {
            // The caller counts in the first format; a stream that changes its channel count ends here.
            if (source_->format().channels != channels_) sourceEnded_ = true;
            continue;
        }
        if (result.status == PcmSource::Status::End) {
            sourceEnded_ = true;
            break;
        }
        if (result.status != PcmSource::Status::Frames) break;
        if (!direct) {
            const std::size_t samples = result.frames * sourceChannels;
            auto* out = static_cast<unsigned char*>(buffer) + done * frameBytes;
            if (bytesPerSample_ == 4) {
                std::memcpy(out, target, samples * sizeof(float));
            } else {
                for (std::size_t i = 0; i < samples; ++i) {
                    float v = std::clamp(target[i] * 32768.0f, -32768.0f, 32767.0f);
                    auto s = static_cast<std::int16_t>(std::lrint(v));
                    std::memcpy(out + i * 2, &s, 2);
                }
            }
        }
        done += result.frames;
    }
    if (sourceEnded_) decodeEnded_.store(true);
    if (done == 0 && sourceEnded_) return -1;
    deliveredFrames_.fetch_add(static_cast<std::int64_t>(done));
    return static_cast<std::int64_t>(done * frameBytes);
}

} // namespace audio
