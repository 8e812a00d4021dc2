#include "support/Fakes.h"

#include <algorithm>
#include <cstring>

namespace {
std::string number(ChannelHandle h) {
    return std::to_string(h.value());
}
} // namespace

FakeAudioEngine::Stream* FakeAudioEngine::stream(ChannelHandle h) {
    auto it = streams.find(h);
    return it == streams.end() ? nullptr : &it->second;
}

FakeAudioEngine::Stream* FakeAudioEngine::live(ChannelHandle h) {
    Stream* st = stream(h);
    return st && !st->freed ? st : nullptr;
}

void FakeAudioEngine::finish(ChannelHandle h) {
    Stream* st = live(h);
    if (!st) return;
    st->active = ChannelState::Stopped;
    if (st->options.autoFree) st->freed = true;
    const auto join = joins.find(h);
    if (join == joins.end()) return;
    const Join started = join->second;
    joins.erase(join);
    Stream* next = live(started.next);
    if (!next || next->active != ChannelState::Stopped) return;
    next->active = ChannelState::Playing;
    if (started.gain >= 0) volume = started.gain;
    if (joinHandler) joinHandler(started.next);
}

bool FakeAudioEngine::queue(ChannelHandle current, ChannelHandle next, int gainAtJoin) {
    log("queue(" + number(current) + "," + number(next) + ")");
    const Stream* first = live(current);
    const Stream* second = live(next);
    if (!first || !second || current == next || second->active != ChannelState::Stopped) return false;
    std::erase_if(joins, [&](const auto& entry) { return entry.second.next == next; });
    joins[current] = {next, gainAtJoin};
    return true;
}

bool FakeAudioEngine::unqueue(ChannelHandle next) {
    log("unqueue(" + number(next) + ")");
    return std::erase_if(joins, [&](const auto& entry) { return entry.second.next == next; }) > 0;
}

void FakeAudioEngine::sendMeta(ChannelHandle h, const std::string& meta) {
    if (Stream* st = live(h)) {
        st->metadata = meta;
        if (st->metadataHandler) st->metadataHandler(meta);
    }
}

bool FakeAudioEngine::called(const std::string& call) const {
    return count(call) > 0;
}

int FakeAudioEngine::count(const std::string& call) const {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const std::string& c) {
        return c == call || c.rfind(call + "(", 0) == 0;
    }));
}

std::uint32_t FakeAudioEngine::version() {
    log("version");
    return versionAnswer;
}

bool FakeAudioEngine::openOutput(int device, int rate) {
    log("openOutput(" + std::to_string(device) + "," + std::to_string(rate) + ")");
    return initResult;
}

bool FakeAudioEngine::stopOutput() {
    log("stopOutput");
    return true;
}

bool FakeAudioEngine::closeOutput() {
    log("closeOutput");
    for (auto& [h, st] : streams)
        st.freed = true;
    return true;
}

int FakeAudioEngine::gain() {
    log("gain");
    return volume;
}

bool FakeAudioEngine::setGain(int v) {
    log("setGain(" + std::to_string(v) + ")");
    volume = v;
    volumesSet.push_back(v);
    return true;
}

ChannelHandle FakeAudioEngine::add(Stream st) {
    lastHandle = ChannelHandle(lastHandle.value() + 1);
    streams[lastHandle] = std::move(st);
    return lastHandle;
}

ChannelHandle FakeAudioEngine::openFile(const std::string& path, const OpenOptions& options) {
    log("openFile(" + path + ")");
    if (std::find(unopenable.begin(), unopenable.end(), path) != unopenable.end()) return {};
    Stream st;
    st.path = path;
    st.options = options;
    st.decodedLength = lengths.count(path) ? lengths[path] : defaultLength;
    st.seconds = secondsOf.count(path) ? secondsOf[path] : defaultSeconds;
    st.fileSize = defaultFileSize;
    return add(std::move(st));
}

ChannelHandle FakeAudioEngine::openUrl(const std::string& url, const OpenOptions& options) {
    log("openUrl(" + url + ")");
    if (std::find(unreachable.begin(), unreachable.end(), url) != unreachable.end()) return {};
    Stream st;
    st.url = url;
    st.options = options;
    return add(std::move(st));
}

bool FakeAudioEngine::release(ChannelHandle h) {
    log("release(" + number(h) + ")");
    Stream* st = live(h);
    if (!st) return false;
    st->freed = true;
    st->active = ChannelState::Stopped;
    return true;
}

std::int64_t FakeAudioEngine::downloadedBytes(ChannelHandle h) {
    Stream* st = live(h);
    return st ? st->fileSize : -1;
}

bool FakeAudioEngine::play(ChannelHandle h, bool) {
    log("play(" + number(h) + ")");
    Stream* st = live(h);
    if (!st) return false;
    st->active = ChannelState::Playing;
    return true;
}

bool FakeAudioEngine::pause(ChannelHandle h) {
    log("pause(" + number(h) + ")");
    Stream* st = live(h);
    if (!st || (st->active != ChannelState::Playing && st->active != ChannelState::Stalled)) return false;
    st->active = ChannelState::Paused;
    return true;
}

bool FakeAudioEngine::stop(ChannelHandle h) {
    log("stop(" + number(h) + ")");
    Stream* st = live(h);
    if (!st) return false;
    st->active = ChannelState::Stopped;
    st->metadataHandler = nullptr;
    return true;
}

ChannelState FakeAudioEngine::state(ChannelHandle h) {
    Stream* st = live(h);
    return st ? st->active : ChannelState::Stopped;
}

std::int64_t FakeAudioEngine::length(ChannelHandle h) {
    Stream* st = live(h);
    return st ? st->decodedLength : -1;
}

std::int64_t FakeAudioEngine::position(ChannelHandle h) {
    Stream* st = live(h);
    return st ? st->position : -1;
}

bool FakeAudioEngine::seek(ChannelHandle h, std::int64_t position) {
    log("seek(" + number(h) + "," + std::to_string(position) + ")");
    Stream* st = live(h);
    if (!st) return false;
    st->position = position;
    return true;
}

double FakeAudioEngine::seconds(ChannelHandle h, std::int64_t bytes) {
    Stream* st = live(h);
    if (!st || st->decodedLength == 0) return -1;
    return st->seconds * static_cast<double>(bytes) / static_cast<double>(st->decodedLength);
}

std::int64_t FakeAudioEngine::read(ChannelHandle h, void* buffer, std::size_t bytes) {
    Stream* st = live(h);
    if (!st || !st->options.decodeOnly) return -1;
    auto& blocks = decodeBlocks[st->path];
    if (blocks.empty()) return 0;
    const std::vector<float> block = blocks.front();
    blocks.pop_front();
    const std::size_t delivered = std::min(bytes, block.size() * sizeof(float));
    std::memcpy(buffer, block.data(), delivered);
    return static_cast<std::int64_t>(delivered);
}

std::optional<ChannelLevel> FakeAudioEngine::level(ChannelHandle h) {
    return live(h) ? levelAnswer : std::nullopt;
}

std::optional<std::string> FakeAudioEngine::metadata(ChannelHandle h) {
    Stream* st = live(h);
    return st ? st->metadata : std::nullopt;
}

MetadataSubscription FakeAudioEngine::onMetadata(ChannelHandle h, MetadataHandler handler) {
    log("onMetadata(" + number(h) + ")");
    Stream* st = live(h);
    if (!st) return {};
    st->metadataHandler = std::move(handler);
    const std::uint64_t id = ++lastSubscription_;
    subscriptionOf_[h] = id;
    return MetadataSubscription([this, h, id] {
        auto it = subscriptionOf_.find(h);
        if (it == subscriptionOf_.end() || it->second != id) return;
        subscriptionOf_.erase(it);
        if (Stream* removed = stream(h)) removed->metadataHandler = nullptr;
    });
}

bool FakeHotKeys::registerHotKey(int id, unsigned, HotKey key) {
    if (std::find(refused.begin(), refused.end(), key) != refused.end()) return false;
    registered[id] = key;
    return true;
}

std::optional<QString> FakeDialogs::chooseFile(const FileDialogSpec& spec) {
    fileDialogs.push_back(spec);
    if (fileAnswers.empty()) return std::nullopt;
    const bool chosen = fileAnswers.front().has_value();
    const QString path = chosen ? *fileAnswers.front() : QString();
    fileAnswers.pop_front();
    if (!chosen) return std::nullopt;
    return path;
}

std::optional<QString> FakeDialogs::askText(const QString& prompt, const QString& preset) {
    textQuestions.emplace_back(prompt, preset);
    if (textAnswers.empty()) return preset;
    const std::optional<QString> answer = textAnswers.front();
    textAnswers.pop_front();
    return answer;
}
