#include "audio/FrameIndexer.h"

namespace audio {

namespace {
// Entries libmpg123 keeps before it halves the index and doubles its step: a 60-minute file still
// gets an entry every few frames, so a seek reads only a handful of frames after its jump.
constexpr long kIndexEntries = 1 << 16;
} // namespace

FrameIndexer::FrameIndexer(std::string path, std::uint64_t offset, std::uint64_t length)
    : thread_([this, path = std::move(path), offset, length]() mutable {
          run(std::move(path), offset, length);
      }) {}

FrameIndexer::~FrameIndexer() {
    stop();
}

void FrameIndexer::stop() {
    std::call_once(stopOnce_, [this] {
        abort_.store(true);
        thread_.join();
    });
}

std::shared_ptr<const FrameIndex> FrameIndexer::result() const {
    std::lock_guard lock(mutex_);
    return result_;
}

bool FrameIndexer::waitFor(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return finishedCv_.wait_for(lock, timeout, [this] { return finished_; });
}

void FrameIndexer::run(std::string path, std::uint64_t offset, std::uint64_t length) {
    std::shared_ptr<FrameIndex> index;
    auto reader = RangeReader::open(path, offset, length);
    auto handle = makeMpg123Decoder(false);
    if (reader && handle) {
        reader->setAbortFlag(&abort_);
        mpg123_handle* mh = handle.get();
        mpg123_param(mh, MPG123_INDEX_SIZE, kIndexEntries, 0);
        if (mpg123_replace_reader_handle(mh, RangeReader::mpg123Read, RangeReader::mpg123Seek, nullptr) ==
                MPG123_OK &&
            mpg123_open_handle(mh, reader.get()) == MPG123_OK && mpg123_scan(mh) == MPG123_OK &&
            !abort_.load()) {
            off_t* offsets = nullptr;
            off_t step = 0;
            std::size_t fill = 0;
            off_t frames = mpg123_length(mh);
            if (frames >= 0 && mpg123_index(mh, &offsets, &step, &fill) == MPG123_OK) {
                index = std::make_shared<FrameIndex>();
                index->offsets.assign(offsets, offsets + fill);
                index->step = step;
                index->lengthFrames = frames;
            }
        }
        handle.reset(); // closes libmpg123's use of the reader before the reader goes
    }
    std::lock_guard lock(mutex_);
    result_ = std::move(index);
    finished_ = true;
    finishedCv_.notify_all();
}

} // namespace audio
