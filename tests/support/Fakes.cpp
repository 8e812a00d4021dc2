#include "support/Fakes.h"

#include <algorithm>
#include <cstring>

FakeAudioEngine::Stream* FakeAudioEngine::stream(DWORD h) {
    auto it = streams.find(h);
    return it == streams.end() ? nullptr : &it->second;
}

FakeAudioEngine::Stream* FakeAudioEngine::live(DWORD h) {
    Stream* st = stream(h);
    return st && !st->freed ? st : nullptr;
}

void FakeAudioEngine::finish(DWORD h) {
    if (Stream* st = live(h)) {
        st->active = ChannelState::Stopped;
        if (st->flags & BASS_STREAM_AUTOFREE) st->freed = true;
    }
}

void FakeAudioEngine::sendMeta(DWORD h, const std::string& meta) {
    if (Stream* st = live(h)) {
        st->tags = meta;
        st->hasTags = true;
        if (st->sync) st->sync(1, h, st->tags.c_str(), nullptr);
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

DWORD FakeAudioEngine::version() {
    log("version");
    return versionAnswer;
}

BOOL FakeAudioEngine::openOutput(int device, DWORD freq, DWORD, void*, const void*) {
    log("openOutput(" + std::to_string(device) + "," + std::to_string(freq) + ")");
    return initResult;
}

BOOL FakeAudioEngine::stopOutput() {
    log("stopOutput");
    return 1;
}

BOOL FakeAudioEngine::closeOutput() {
    log("closeOutput");
    for (auto& [h, st] : streams)
        st.freed = true;
    return 1;
}

DWORD FakeAudioEngine::gain() {
    log("gain");
    return volume;
}

BOOL FakeAudioEngine::setGain(DWORD v) {
    log("setGain(" + std::to_string(v) + ")");
    volume = v;
    volumesSet.push_back(v);
    return 1;
}

ChannelHandle FakeAudioEngine::openFile(BOOL, const char* file, QWORD offset, QWORD length, DWORD flags) {
    const std::string path = file ? file : "";
    log("openFile(" + path + ")");
    if (std::find(unopenable.begin(), unopenable.end(), path) != unopenable.end()) return 0;
    Stream st;
    st.path = path;
    st.offset = offset;
    st.length = length;
    st.flags = flags;
    st.decodedLength = lengths.count(path) ? lengths[path] : defaultLength;
    st.seconds = secondsOf.count(path) ? secondsOf[path] : defaultSeconds;
    st.fileSize = defaultFileSize;
    streams[++lastHandle] = st;
    return lastHandle;
}

ChannelHandle FakeAudioEngine::openUrl(const char* url, DWORD, DWORD flags, void*, void*) {
    const std::string u = url ? url : "";
    log("openUrl(" + u + ")");
    if (std::find(unreachable.begin(), unreachable.end(), u) != unreachable.end()) return 0;
    Stream st;
    st.url = u;
    st.flags = flags;
    streams[++lastHandle] = st;
    return lastHandle;
}

BOOL FakeAudioEngine::release(ChannelHandle h) {
    log("release(" + std::to_string(h) + ")");
    Stream* st = live(h);
    if (!st) return 0;
    st->freed = true;
    st->active = ChannelState::Stopped;
    return 1;
}

QWORD FakeAudioEngine::downloadedBytes(ChannelHandle h, DWORD) {
    Stream* st = live(h);
    return st ? st->fileSize : BASS_ERROR_QWORD;
}

BOOL FakeAudioEngine::play(DWORD h, BOOL) {
    log("play(" + std::to_string(h) + ")");
    Stream* st = live(h);
    if (!st) return 0;
    st->active = ChannelState::Playing;
    return 1;
}

BOOL FakeAudioEngine::pause(DWORD h) {
    log("pause(" + std::to_string(h) + ")");
    Stream* st = live(h);
    if (!st || (st->active != ChannelState::Playing && st->active != ChannelState::Stalled)) return 0;
    st->active = ChannelState::Paused;
    return 1;
}

BOOL FakeAudioEngine::stop(DWORD h) {
    log("stop(" + std::to_string(h) + ")");
    Stream* st = live(h);
    if (!st) return 0;
    st->active = ChannelState::Stopped;
    st->sync = nullptr;
    return 1;
}

ChannelState FakeAudioEngine::state(DWORD h) {
    Stream* st = live(h);
    return st ? st->active : ChannelState::Stopped;
}

QWORD FakeAudioEngine::length(DWORD h) {
    Stream* st = live(h);
    return st ? st->decodedLength : BASS_ERROR_QWORD;
}

QWORD FakeAudioEngine::position(DWORD h) {
    Stream* st = live(h);
    return st ? st->position : BASS_ERROR_QWORD;
}

BOOL FakeAudioEngine::seek(DWORD h, QWORD pos) {
    log("seek(" + std::to_string(h) + "," + std::to_string(pos) + ")");
    Stream* st = live(h);
    if (!st) return 0;
    st->position = pos;
    return 1;
}

double FakeAudioEngine::seconds(DWORD h, QWORD pos) {
    Stream* st = live(h);
    if (!st || st->decodedLength == 0) return -1;
    return st->seconds * static_cast<double>(pos) / static_cast<double>(st->decodedLength);
}

DWORD FakeAudioEngine::read(DWORD h, void* buffer, DWORD length) {
    Stream* st = live(h);
    if (!st || !(st->flags & BASS_STREAM_DECODE)) return BASS_ERROR_DWORD;
    auto& blocks = decodeBlocks[st->path];
    if (blocks.empty()) return 0;
    const std::vector<float> block = blocks.front();
    blocks.pop_front();
    const DWORD bytes = std::min<DWORD>(length, static_cast<DWORD>(block.size() * sizeof(float)));
    std::memcpy(buffer, block.data(), bytes);
    return bytes;
}

DWORD FakeAudioEngine::level(DWORD h) {
    return live(h) ? levelAnswer : BASS_ERROR_DWORD;
}

const char* FakeAudioEngine::metadata(DWORD h, DWORD) {
    Stream* st = live(h);
    if (!st || !st->hasTags) return nullptr;
    tagCopy_ = st->tags;
    return tagCopy_.c_str();
}

HSYNC FakeAudioEngine::onMetadata(DWORD h, DWORD type, QWORD, SYNCPROC proc, void*) {
    log("onMetadata(" + std::to_string(h) + "," + std::to_string(type) + ")");
    Stream* st = live(h);
    if (!st) return 0;
    st->sync = std::move(proc);
    return 1;
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
