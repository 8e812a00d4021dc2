#include "playback/NextSongQueue.h"

#include "platform/FileSystem.h"

void NextSongQueue::follow(ChannelHandle current, const std::optional<NextSong>& wanted) {
    if (entry_ && wanted && entry_->after == current && entry_->joined.song.row == wanted->row &&
        entry_->joined.song.path == wanted->path) {
        // Only the volume changed (the volume bar moved): the same stream stays queued.
        if (entry_->joined.song.gain != wanted->gain &&
            audioEngine_.queue(current, entry_->joined.stream, wanted->gain))
            entry_->joined.song = *wanted;
        return;
    }
    drop();
    if (!wanted || !current) return;
    if (refused_ && refused_->first == current && refused_->second == wanted->path) return;
    const QByteArray file = pathBytes(wanted->path);
    const ChannelHandle stream = audioEngine_.openFile(file.toStdString(), OpenOptions{.autoFree = true});
    if (!stream) return;
    if (!audioEngine_.queue(current, stream, wanted->gain)) {
        audioEngine_.release(stream);
        refused_.emplace(current, wanted->path);
        return;
    }
    entry_ = Entry{current, JoinedSong{*wanted, stream, file}};
}

void NextSongQueue::drop() {
    if (!entry_) return;
    const ChannelHandle stream = entry_->joined.stream;
    entry_.reset();
    // A stream that started in the meantime is stopped as well: it is not what follows any more.
    audioEngine_.unqueue(stream);
    audioEngine_.release(stream);
}

std::optional<JoinedSong> NextSongQueue::takeJoined() {
    if (!entry_ || audioEngine_.state(entry_->joined.stream) == ChannelState::Stopped) return std::nullopt;
    JoinedSong joined = entry_->joined;
    entry_.reset();
    return joined;
}
