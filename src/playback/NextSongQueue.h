#pragma once
// The song that follows the one playing without a gap: opened a few seconds before the end and queued
// in the engine, which starts it at the sample where the playing one ends. The sequencer says what
// should follow; this keeps the engine's queue to that and drops whatever no longer should.

#include "audio/AudioEngine.h"

#include <QByteArray>
#include <QString>
#include <optional>

// A row of the song list, as it is to follow the song that plays.
struct NextSong {
    int row = -1;
    QString path;
    int loudness = 0;
    // The output volume from the join on.
    int gain = -1;
};

// A queued song the engine has started.
struct JoinedSong {
    NextSong song;
    ChannelHandle stream;
    // The file as the engine was given it.
    QByteArray file;
};

class NextSongQueue {
public:
    explicit NextSongQueue(AudioEngine& audioEngine) : audioEngine_(audioEngine) {}
    ~NextSongQueue() { drop(); }
    NextSongQueue(const NextSongQueue&) = delete;
    NextSongQueue& operator=(const NextSongQueue&) = delete;

    // Makes wanted follow current, or nothing when wanted is empty. A queued song that is no longer
    // wanted, or follows another stream, is dropped; one that is still wanted stays queued.
    void follow(ChannelHandle current, const std::optional<NextSong>& wanted);
    // Drops the queued song (its stream is freed).
    void drop();
    // The queued song once the engine has started it; it then leaves the queue.
    std::optional<JoinedSong> takeJoined();

private:
    struct Entry {
        ChannelHandle after;
        JoinedSong joined;
    };
    AudioEngine& audioEngine_;
    std::optional<Entry> entry_;
    // What the engine would not queue (it cannot join these streams): not opened again for it.
    std::optional<std::pair<ChannelHandle, QString>> refused_;
};
