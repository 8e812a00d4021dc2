#include "support/Fakes.h"

#include <algorithm>
#include <cstring>

FakeBass::Stream* FakeBass::stream(DWORD h) {
    auto it = streams.find(h);
    return it == streams.end() ? nullptr : &it->second;
}

FakeBass::Stream* FakeBass::live(DWORD h) {
    Stream* st = stream(h);
    return st && !st->freed ? st : nullptr;
}

void FakeBass::finish(DWORD h) {
    if (Stream* st = live(h)) {
        st->active = BASS_ACTIVE_STOPPED;
        if (st->flags & BASS_STREAM_AUTOFREE) st->freed = true;
    }
}

void FakeBass::sendMeta(DWORD h, const std::string& meta) {
    if (Stream* st = live(h)) {
        st->tags = meta;
        st->hasTags = true;
        if (st->sync) st->sync(1, h, st->tags.c_str(), nullptr);
    }
}

bool FakeBass::called(const std::string& call) const {
    return count(call) > 0;
}

int FakeBass::count(const std::string& call) const {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const std::string& c) {
        return c == call || c.rfind(call + "(", 0) == 0;
    }));
}

DWORD FakeBass::BASS_GetVersion() {
    log("BASS_GetVersion");
    return versionAnswer;
}

BOOL FakeBass::BASS_Init(int device, DWORD freq, DWORD, void*, const void*) {
    log("BASS_Init(" + std::to_string(device) + "," + std::to_string(freq) + ")");
    return initResult;
}

BOOL FakeBass::BASS_Stop() {
    log("BASS_Stop");
    return 1;
}

BOOL FakeBass::BASS_Free() {
    log("BASS_Free");
    for (auto& [h, st] : streams)
        st.freed = true;
    return 1;
}

DWORD FakeBass::BASS_GetVolume() {
    log("BASS_GetVolume");
    return volume;
}

BOOL FakeBass::BASS_SetVolume(DWORD v) {
    log("BASS_SetVolume(" + std::to_string(v) + ")");
    volume = v;
    volumesSet.push_back(v);
    return 1;
}

HSTREAM FakeBass::BASS_StreamCreateFile(BOOL, const char* file, QWORD offset, QWORD length, DWORD flags) {
    const std::string path = file ? file : "";
    log("BASS_StreamCreateFile(" + path + ")");
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

HSTREAM FakeBass::BASS_StreamCreateURL(const char* url, DWORD, DWORD flags, void*, void*) {
    const std::string u = url ? url : "";
    log("BASS_StreamCreateURL(" + u + ")");
    if (std::find(unreachable.begin(), unreachable.end(), u) != unreachable.end()) return 0;
    Stream st;
    st.url = u;
    st.flags = flags;
    streams[++lastHandle] = st;
    return lastHandle;
}

BOOL FakeBass::BASS_StreamFree(HSTREAM h) {
    log("BASS_StreamFree(" + std::to_string(h) + ")");
    Stream* st = live(h);
    if (!st) return 0;
    st->freed = true;
    st->active = BASS_ACTIVE_STOPPED;
    return 1;
}

QWORD FakeBass::BASS_StreamGetFilePosition(HSTREAM h, DWORD) {
    Stream* st = live(h);
    return st ? st->fileSize : BASS_ERROR_QWORD;
}

BOOL FakeBass::BASS_ChannelPlay(DWORD h, BOOL) {
    log("BASS_ChannelPlay(" + std::to_string(h) + ")");
    Stream* st = live(h);
    if (!st) return 0;
    st->active = BASS_ACTIVE_PLAYING;
    return 1;
}

BOOL FakeBass::BASS_ChannelPause(DWORD h) {
    log("BASS_ChannelPause(" + std::to_string(h) + ")");
    Stream* st = live(h);
    if (!st || st->active != BASS_ACTIVE_PLAYING) return 0;
    st->active = BASS_ACTIVE_PAUSED;
    return 1;
}

BOOL FakeBass::BASS_ChannelStop(DWORD h) {
    log("BASS_ChannelStop(" + std::to_string(h) + ")");
    Stream* st = live(h);
    if (!st) return 0;
    st->active = BASS_ACTIVE_STOPPED;
    st->sync = nullptr;
    return 1;
}

DWORD FakeBass::BASS_ChannelIsActive(DWORD h) {
    Stream* st = live(h);
    return st ? st->active : BASS_ACTIVE_STOPPED;
}

QWORD FakeBass::BASS_ChannelGetLength(DWORD h) {
    Stream* st = live(h);
    return st ? st->decodedLength : BASS_ERROR_QWORD;
}

QWORD FakeBass::BASS_ChannelGetPosition(DWORD h) {
    Stream* st = live(h);
    return st ? st->position : BASS_ERROR_QWORD;
}

BOOL FakeBass::BASS_ChannelSetPosition(DWORD h, QWORD pos) {
    log("BASS_ChannelSetPosition(" + std::to_string(h) + "," + std::to_string(pos) + ")");
    Stream* st = live(h);
    if (!st) return 0;
    st->position = pos;
    return 1;
}

double FakeBass::BASS_ChannelBytes2Seconds(DWORD h, QWORD pos) {
    Stream* st = live(h);
    if (!st || st->decodedLength == 0) return -1;
    return st->seconds * static_cast<double>(pos) / static_cast<double>(st->decodedLength);
}

DWORD FakeBass::BASS_ChannelGetData(DWORD h, void* buffer, DWORD length) {
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

DWORD FakeBass::BASS_ChannelGetLevel(DWORD h) {
    return live(h) ? levelAnswer : BASS_ERROR_DWORD;
}

const char* FakeBass::BASS_ChannelGetTags(DWORD h, DWORD) {
    Stream* st = live(h);
    if (!st || !st->hasTags) return nullptr;
    tagCopy_ = st->tags;
    return tagCopy_.c_str();
}

HSYNC FakeBass::BASS_ChannelSetSync(DWORD h, DWORD type, QWORD, SYNCPROC proc, void*) {
    log("BASS_ChannelSetSync(" + std::to_string(h) + "," + std::to_string(type) + ")");
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
