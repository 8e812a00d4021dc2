#include "playback/PlaySequencer.h"

#include "audio/AudioEngine.h"
#include "audio/AudioSpan.h"
#include "library/SongListEditor.h"
#include "library/TitleFit.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "platform/Window.h"
#include "playback/ChannelControl.h"
#include "playback/Duration.h"
#include "playback/MasterMute.h"
#include "playback/RadioLink.h"
#include "playback/VolumeControl.h"

#include <cmath>

namespace {

// The bytes of a song's audio out of its file's size: its tags, which may hold a picture of
// megabytes, are no part of its bitrate.
std::int64_t audioBytes(std::int64_t fileSize, const QString& path) {
    const auto span = audio::findAudioSpan(pathBytes(path).toStdString());
    if (!span) return fileSize;
    const auto tagBytes = static_cast<std::int64_t>(span->tagBytes());
    return tagBytes <= fileSize ? fileSize - tagBytes : fileSize;
}

int rowOfPath(const SongList& songs, const QString& path) {
    for (int row = 0; row < songs.count(); ++row)
        if (songs.path(row) == path) return row;
    return -1;
}

} // namespace

PlaySequencer::PlaySequencer(AudioEngine& audioEngine, IWindow& window, MasterMute& mute,
                             ChannelControl& channel, VolumeControl& volume, SongListEditor& songList,
                             RadioLink& radio, SequencerOptions options)
    : audioEngine_(audioEngine), window_(window), mute_(mute), channel_(channel), volume_(volume),
      songList_(songList), radio_(radio), queueAheadMs_(options.queueAheadMs), next_(audioEngine) {
    trackTimer.setInterval(options.trackTickMs);
    volume_.setLevellingRetry([this] { playSelected(); });
    // What follows is decided again at every change of the list, before the song can end with a
    // song queued that is no longer next.
    const SongList* songs = &songList_.songs;
    const auto review = [this] { reviewNextSong(); };
    QObject::connect(songs, &QAbstractItemModel::rowsInserted, &context_, review);
    QObject::connect(songs, &QAbstractItemModel::rowsRemoved, &context_, review);
    QObject::connect(songs, &QAbstractItemModel::rowsMoved, &context_, review);
    QObject::connect(songs, &QAbstractItemModel::modelReset, &context_, review);
    QObject::connect(songs, &QAbstractItemModel::dataChanged, &context_, review);
    QObject::connect(songs, &RowListModelBase::selectedChanged, &context_, review);
    audioEngine_.setJoinHandler([this](ChannelHandle) {
        QMetaObject::invokeMethod(
            &context_, [this] { onSongJoined(); }, Qt::QueuedConnection);
    });
}

PlaySequencer::~PlaySequencer() {
    audioEngine_.setJoinHandler({});
}

void PlaySequencer::playSelected() {
    ChannelControl& c = channel_;
    SongList& songs = songList_.songs;
    mute_.setMasterMute(false);
    const int row = songs.selected();
    if (row < 0) return;
    const QString path = songs.path(row);
    if (!isFile(path)) return;
    next_.drop();
    songList_.currentIndex = row;
    if (songs.loudness(row) == QStringLiteral("x")) {
        volume_.levellingWaitTimer.start();
        return;
    }
    radio_.dropStation();
    volume_.levellingWaitTimer.stop();
    volume_.currentLoudness = strToInt(songs.loudness(row));
    audioEngine_.stop(c.fileStream);
    audioEngine_.release(c.fileStream);
    const QByteArray file = pathBytes(path);
    c.fileStream = audioEngine_.openFile(file.toStdString(), OpenOptions{.autoFree = true});
    c.fileStreamFile = file;
    beginSong();
}

void PlaySequencer::beginSong() {
    ChannelControl& c = channel_;
    volume_.applyVolume();
    c.playChannel(c.fileStream, PlayMode::Song);
    // An unknown length counts as 0.
    c.songLengthBytes = std::max<std::int64_t>(audioEngine_.length(c.fileStream), 0);
    trackTimer.start();
    showSong(audioEngine_.seconds(c.fileStream, c.songLengthBytes));
}

std::optional<NextSong> PlaySequencer::wantedNextSong() const {
    const ChannelControl& c = channel_;
    const SongList& songs = songList_.songs;
    if (c.playMode != PlayMode::Song && c.playMode != PlayMode::Preview) return std::nullopt;
    const ChannelState state = audioEngine_.state(c.fileStream);
    if (state != ChannelState::Playing && state != ChannelState::Stalled) return std::nullopt;
    // The same conditions as the tick's at the end, and a start that would not wait for a measurement.
    if (radio_.stationWatched() || volume_.levellingWaitTimer.isActive()) return std::nullopt;
    const int selected = songs.selected();
    if (selected < 0 || selected >= songs.count() - 1 || songList_.currentIndex >= songs.count() - 1)
        return std::nullopt;
    const int row = selected + 1;
    bool measured = false;
    const int loudness = songs.loudness(row).trimmed().toInt(&measured);
    // The file is looked at only near the end: the tick asks this five times a second.
    if (!measured || !endIsNear() || !isFile(songs.path(row))) return std::nullopt;
    return NextSong{row, songs.path(row), loudness, outputVolume(volume_.volumeSetting, loudness)};
}

bool PlaySequencer::endIsNear() const {
    const ChannelControl& c = channel_;
    const std::int64_t position = audioEngine_.position(c.fileStream);
    // A song of unknown length may end at any moment.
    if (c.songLengthBytes <= 0 || position < 0) return true;
    const double left =
        audioEngine_.seconds(c.fileStream, std::max<std::int64_t>(c.songLengthBytes - position, 0));
    return left >= 0 && left * 1000 <= queueAheadMs_;
}

void PlaySequencer::reviewNextSong() {
    if (adopting_ || adoptJoinedSong()) return;
    next_.follow(channel_.fileStream, wantedNextSong());
}

bool PlaySequencer::adoptJoinedSong() {
    std::optional<JoinedSong> joined = next_.takeJoined();
    if (!joined) return false;
    SongList& songs = songList_.songs;
    // The list may have changed in the moment since the join: the song is looked up where it is now.
    int row = joined->song.row;
    if (!songs.isRow(row) || songs.path(row) != joined->song.path) row = rowOfPath(songs, joined->song.path);
    if (row < 0) {
        audioEngine_.release(joined->stream);
        return false;
    }
    ChannelControl& c = channel_;
    adopting_ = true;
    audioEngine_.release(c.fileStream);
    c.fileStream = joined->stream;
    c.fileStreamFile = joined->file;
    songList_.currentIndex = row;
    songs.setSelected(row);
    mute_.setMasterMute(false);
    volume_.currentLoudness = joined->song.loudness;
    beginSong();
    showPosition();
    adopting_ = false;
    reviewNextSong();
    return true;
}

void PlaySequencer::onSongJoined() {
    adoptJoinedSong();
}

void PlaySequencer::showSong(double seconds) {
    ChannelControl& c = channel_;
    const SongList& songs = songList_.songs;
    const int current = songList_.currentIndex;
    const bool known = std::isfinite(seconds) && seconds > 0;
    c.songSeconds = known ? static_cast<int>(std::llrint(seconds)) : 0;
    const QString duration = formatDuration(known ? seconds : 0);
    const std::int64_t size = audioEngine_.downloadedBytes(c.fileStream);
    c.bitrateText = size < 0 ? QStringLiteral(" - ")
                             : formatBitrate(static_cast<double>(audioBytes(size, songs.path(current))),
                                             known ? seconds : 0);
    c.songDisplay = fitKeepingEnd(songs.title(current) + QStringLiteral(" [") + duration + u']',
                                  [this](const QString& t) { return window_.textWidth(t); });
    c.showTitle(c.songDisplay, c.songDisplay);
    c.bitrateLabel = c.bitrateText;
}

void PlaySequencer::playNext() {
    SongList& songs = songList_.songs;
    const int i = songs.selected();
    if (i < 0 || i >= songs.count() - 1) return;
    songs.setSelected(i + 1);
    playSelected();
}

void PlaySequencer::playPrevious() {
    SongList& songs = songList_.songs;
    const int i = songs.selected();
    if (i <= 0) return;
    songs.setSelected(i - 1);
    playSelected();
}

void PlaySequencer::playButtonClicked() {
    ChannelControl& c = channel_;
    if (!radio_.inRadioMode()) {
        mute_.setMasterMute(mute_.hotKeyDoublePress);
        radio_.stopStream();
        // A song held while the sound output is away still plays (and shows so): the button pauses it.
        const ChannelState active = audioEngine_.state(c.fileStream);
        if (active == ChannelState::Playing || active == ChannelState::Stalled) {
            pauseSong();
        } else {
            mute_.applyMute(false);
            volume_.applyVolume();
            c.playChannel(c.fileStream, PlayMode::Song);
            trackTimer.start();
        }
        return;
    }
    if (radio_.streamPlaying()) {
        if (mute_.hotKeyDoublePress) mute_.setMasterMute(true);
        radio_.stopStation();
    } else {
        mute_.setMasterMute(false);
        radio_.startStation();
    }
}

void PlaySequencer::pauseSong() {
    next_.drop();
    audioEngine_.pause(channel_.fileStream);
    channel_.playButton = PlayPicture::Start;
    channel_.playMode = PlayMode::Idle;
    trackTimer.stop();
}

void PlaySequencer::nextButtonClicked() {
    if (channel_.playMode == PlayMode::Song) playNext();
}

void PlaySequencer::previousButtonClicked() {
    if (channel_.playMode == PlayMode::Song) playPrevious();
}

bool PlaySequencer::acceptsNewSong() const {
    return channel_.playMode == PlayMode::Idle || channel_.playMode == PlayMode::Radio;
}

void PlaySequencer::onTrackTick() {
    // The song that follows without a gap is taken over here too, should its report come late.
    adoptJoinedSong();
    ChannelControl& c = channel_;
    const SongList& songs = songList_.songs;
    if (audioEngine_.state(c.fileStream) == ChannelState::Stopped) {
        next_.drop();
        c.playMode = PlayMode::Idle;
        c.playButton = PlayPicture::Start;
        // While the watchdog is on, a station is playing or being reached and takes over from the
        // song list: a next song would stop it.
        if (!radio_.stationWatched() && songList_.currentIndex < songs.count() - 1) playNext();
        return;
    }
    next_.follow(c.fileStream, wantedNextSong());
    showPosition();
}

void PlaySequencer::showPosition() {
    ChannelControl& c = channel_;
    if (c.positionDragging) return;
    const std::int64_t position = audioEngine_.position(c.fileStream);
    if (position < 0) return;
    std::int64_t value = 0;
    if (c.playMode == PlayMode::Song) {
        if (c.songLengthBytes > 0) value = position * 1000 / c.songLengthBytes;
    } else if (c.previewRangeBytes > 0) {
        value = (position - c.previewStartBytes) * 1000 / c.previewRangeBytes;
    }
    c.positionBar.setPosition(
        static_cast<int>(std::clamp<std::int64_t>(value, c.positionBar.min(), c.positionBar.max())));
}

void PlaySequencer::onPositionBarPress() {
    next_.drop();
    audioEngine_.pause(channel_.fileStream);
    channel_.positionDragging = true;
}

void PlaySequencer::onPositionBarChange() {
    ChannelControl& c = channel_;
    if (!c.positionDragging) return;
    const auto value = static_cast<std::int64_t>(c.positionBar.position());
    const std::int64_t target = c.playMode == PlayMode::Preview
                                    ? c.previewStartBytes + value * c.previewRangeBytes / 1000
                                    : value * c.songLengthBytes / 1000;
    audioEngine_.seek(c.fileStream, target);
}

void PlaySequencer::onPositionBarRelease() {
    channel_.positionDragging = false;
    if (channel_.playMode == PlayMode::Song || channel_.playMode == PlayMode::Preview)
        channel_.resumeAfterSeek();
}
