// Volume and levelling with a fake engine: the steps of the volume bar, when the bar reaches the
// output, the wait for a pending measurement, what the check box decides, and how the measurement
// reads the file.

#include "playback/LoudnessMeter.h"
#include "support/PeerProcess.h"
#include "support/PlayerHarness.h"
#include "support/SongFiles.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// A file of the given size, filled with zero bytes.
QString fileOfSize(SongFiles& files, const QString& name, qint64 bytes) {
    const QString path = files.make({name}).front();
    QFile file(path);
    file.open(QIODevice::ReadWrite);
    file.resize(bytes);
    return path;
}

class LevellingTest : public ::testing::Test {
protected:
    // The decode streams the measurement opened, in order.
    std::vector<FakeAudioEngine::Stream> excerptStreams() const {
        std::vector<FakeAudioEngine::Stream> result;
        for (const auto& [handle, stream] : h.audioEngine.streams)
            if (stream.options.decodeOnly) result.push_back(stream);
        return result;
    }
    // Each of the next four excerpts of path delivers one of these blocks.
    void excerptsOf(const QString& path, std::vector<std::vector<float>> blocks) {
        auto& queue = h.audioEngine.decodeBlocks[path.toStdString()];
        for (auto& block : blocks)
            queue.push_back(std::move(block));
    }
    QString playingPath() {
        const FakeAudioEngine::Stream* st = h.audioEngine.stream(s.channel.fileStream);
        return st && st->active == ChannelState::Playing ? QString::fromStdString(st->path) : QString();
    }

    PlayerHarness h;
    Player& s = h.player;
    SongFiles files;
};

TEST(ExcerptLoudnessTest, AveragesTheLoudSamplesOverTheirCountPlusOne) {
    const std::vector<float> quiet = {0.19f, -0.19f, 0.1f, 0.0f};
    EXPECT_EQ(excerptLoudness(quiet.data(), quiet.size()), 0);
    EXPECT_EQ(excerptLoudness(nullptr, 0), 0);
    // The float nearest 0.2 lies just above it and counts: round(20.0000003) div 2.
    const std::vector<float> edge = {0.2f};
    EXPECT_EQ(excerptLoudness(edge.data(), edge.size()), 10);
    // One loud sample of 0.5: round(50) div 2.
    const std::vector<float> one = {0.1f, -0.5f, 0.15f};
    EXPECT_EQ(excerptLoudness(one.data(), one.size()), 25);
    // 100 x 0.625 = 62.5 rounds to the even 62, and 62 div 3 = 20 (63 would give 21).
    const std::vector<float> tie = {0.3125f, -0.3125f};
    EXPECT_EQ(excerptLoudness(tie.data(), tie.size()), 20);
    // Full scale: 100 x 3 div 4.
    const std::vector<float> full = {1.0f, -1.0f, 1.0f};
    EXPECT_EQ(excerptLoudness(full.data(), full.size()), 75);
}

TEST_F(LevellingTest, StepsMoveTheBarByTwoWithinItsRangeAndChangeOnlyOnARealMove) {
    int changes = 0;
    s.volume.volumeBar.onChange([&](int) { ++changes; });
    struct Case {
        int from;
        bool up;
        int to;
    };
    for (const Case c :
         {Case{99, true, 99}, Case{98, true, 100}, Case{100, true, 100}, Case{50, true, 52},
          Case{50, false, 48}, Case{21, false, 20}, Case{20, false, 20}, Case{22, false, 20}}) {
        SCOPED_TRACE(testing::Message() << c.from << (c.up ? " up" : " down"));
        s.volume.volumeBar.setPosition(c.from);
        changes = 0;
        c.up ? h.player.volume.stepVolumeUp() : h.player.volume.stepVolumeDown();
        EXPECT_EQ(s.volume.volumeBar.position(), c.to);
        EXPECT_EQ(s.volume.volumeSetting, c.to);
        EXPECT_EQ(changes, c.from == c.to ? 0 : 1);
    }
    // Nothing plays: none of these moves reached the output.
    EXPECT_TRUE(h.audioEngine.volumesSet.empty());
}

TEST_F(LevellingTest, TheBarReachesTheOutputOnlyWhileSomethingPlays) {
    const QString song = files.make({"lied.mp3"}).front();
    s.volume.volumeBar.setPosition(60);
    h.player.songList.addSong(song); // levelling off: loudness 30
    ASSERT_EQ(playingPath(), song);
    EXPECT_EQ(h.audioEngine.volumesSet, std::vector<int>{outputVolume(60, 30)});

    h.player.volume.stepVolumeUp();
    EXPECT_EQ(h.audioEngine.volumesSet.back(), outputVolume(62, 30));

    // Paused: the bar moves, the output keeps its volume until playback resumes.
    h.player.seq.playButtonClicked();
    ASSERT_EQ(s.channel.playMode, PlayMode::Idle);
    const std::size_t before = h.audioEngine.volumesSet.size();
    s.volume.volumeBar.setPosition(80);
    h.player.volume.stepVolumeDown();
    EXPECT_EQ(h.audioEngine.volumesSet.size(), before);
    EXPECT_EQ(s.volume.volumeSetting, 78);
    h.player.seq.playButtonClicked();
    EXPECT_EQ(playingPath(), song);
    EXPECT_EQ(h.audioEngine.volumesSet.back(), outputVolume(78, 30));

    // The radio plays: the bar acts at once with the radio's loudness.
    s.channel.playMode = PlayMode::Radio;
    s.volume.currentLoudness = 20;
    s.volume.volumeBar.setPosition(40);
    EXPECT_EQ(h.audioEngine.volumesSet.back(), outputVolume(40, 20));
}

TEST_F(LevellingTest, APendingEntryHoldsTheStartUntilItIsMeasured) {
    const QStringList songs = files.make({"a.mp3", "b.mp3"});
    s.songList.songs.append({"a", songs[0], "x"});
    s.songList.songs.append({"b", songs[1], "55"});
    s.songList.songs.setSelected(0);
    h.player.seq.playSelected();
    EXPECT_TRUE(h.player.volume.levellingWaitTimer.isActive());
    EXPECT_EQ(h.player.volume.levellingWaitTimer.interval(), 100);
    EXPECT_FALSE(h.audioEngine.called("openFile"));
    EXPECT_EQ(s.channel.playMode, PlayMode::Idle);

    // A tick while the entry is still "x" waits again; the tick itself never disables the timer.
    h.player.volume.levellingWaitTimer.stop();
    h.player.volume.onLevellingWaitTick();
    EXPECT_TRUE(h.player.volume.levellingWaitTimer.isActive());
    EXPECT_FALSE(h.audioEngine.called("openFile"));

    // Measured: the running timer's next tick starts the song and ends the wait.
    s.songList.songs.setLoudness(0, QStringLiteral("42"));
    ASSERT_TRUE(waitUntil([&] { return !playingPath().isEmpty(); }, std::chrono::seconds(10)));
    EXPECT_EQ(playingPath(), songs[0]);
    EXPECT_FALSE(h.player.volume.levellingWaitTimer.isActive());
    EXPECT_EQ(s.volume.currentLoudness, 42);
    EXPECT_EQ(h.audioEngine.volumesSet.back(), outputVolume(30, 42));
}

TEST_F(LevellingTest, StartingAnotherSongEndsTheWait) {
    const QStringList songs = files.make({"a.mp3", "b.mp3"});
    s.songList.songs.append({"a", songs[0], "x"});
    s.songList.songs.append({"b", songs[1], "55"});
    s.songList.songs.setSelected(0);
    h.player.seq.playSelected();
    ASSERT_TRUE(h.player.volume.levellingWaitTimer.isActive());
    s.songList.songs.setSelected(1);
    h.player.seq.playSelected();
    EXPECT_EQ(playingPath(), songs[1]);
    EXPECT_FALSE(h.player.volume.levellingWaitTimer.isActive());
}

TEST_F(LevellingTest, SongsEnteredWithTheBoxClearKeepThirtyWhenItIsTickedLater) {
    const QStringList songs = files.make({"a.mp3", "b.mp3", "c.mp3"});
    s.channel.playMode = PlayMode::Song; // something plays: the new songs wait in the list
    h.player.songList.addSong(songs[0]);
    h.player.songList.addSong(songs[1]);
    s.volume.levellingBox = true;
    excerptsOf(songs[2], {{0.5f}, {0.5f}, {0.5f}, {0.5f}});
    h.player.songList.addSong(songs[2]);
    ASSERT_EQ(s.songList.songs.count(), 3);
    EXPECT_EQ(s.songList.songs.loudness(0), QStringLiteral("30"));
    EXPECT_EQ(s.songList.songs.loudness(1), QStringLiteral("30"));
    EXPECT_EQ(s.songList.songs.loudness(2), QStringLiteral("25"));
    EXPECT_EQ(excerptStreams().size(), 4u);

    // Only an "x" is measured.
    h.player.loudness.measureLoudness(0);
    EXPECT_EQ(s.songList.songs.loudness(0), QStringLiteral("30"));
    EXPECT_EQ(excerptStreams().size(), 4u);

    s.volume.volumeBar.setPosition(50);
    s.songList.songs.setSelected(0);
    h.player.seq.playSelected();
    EXPECT_EQ(s.volume.currentLoudness, 30);
    EXPECT_EQ(h.audioEngine.volumesSet.back(), outputVolume(50, 30));
}

TEST_F(LevellingTest, MeasuresFourExcerptsAtFifthsOfTheFile) {
    struct Case {
        const char* name;
        qint64 size;
        std::vector<std::uint64_t> offsets;
    };
    for (const Case& c : {Case{"a million bytes and three", 1'000'003, {200'000, 400'000, 600'000, 800'000}},
                          Case{"four bytes", 4, {0, 0, 0, 0}}, Case{"empty", 0, {0, 0, 0, 0}}}) {
        SCOPED_TRACE(c.name);
        h.audioEngine.streams.clear();
        const QString path = fileOfSize(files, QString::fromLatin1(c.name) + ".mp3", c.size);
        s.songList.songs.append({"t", path, "x"});
        h.player.loudness.measureLoudness(s.songList.songs.count() - 1);
        const auto streams = excerptStreams();
        ASSERT_EQ(streams.size(), 4u);
        for (std::size_t k = 0; k < 4; ++k) {
            EXPECT_EQ(streams[k].path, path.toStdString());
            // Mono float samples, the length exact from the start.
            const OpenOptions excerpt{.offset = c.offsets[k],
                                      .length = 100'000,
                                      .decodeOnly = true,
                                      .mono = true,
                                      .floatSamples = true,
                                      .prescan = true,
                                      .autoFree = true};
            EXPECT_EQ(streams[k].options, excerpt);
            EXPECT_TRUE(streams[k].freed);
        }
        EXPECT_EQ(s.songList.songs.loudness(s.songList.songs.count() - 1), QStringLiteral("0"));
    }
}

TEST_F(LevellingTest, AveragesTheExcerptsAndReadsOnly50000BytesOfEach) {
    const QString path = fileOfSize(files, "song.mp3", 500'000);
    // Beyond the first 12500 samples of a block nothing may count.
    std::vector<float> lateNoise(20'000, 0.0f);
    std::fill(lateNoise.begin() + 12'500, lateNoise.end(), 1.0f);
    excerptsOf(path, {{0.5f}, {0.19f, -0.19f, 0.21f}, {-1.0f, 1.0f, 0.6f}, lateNoise});
    s.songList.songs.append({"t", path, "x"});
    h.player.loudness.measureLoudness(0);
    // (25 + 10 + 65 + 0) div 4
    EXPECT_EQ(s.songList.songs.loudness(0), QStringLiteral("25"));

    // Excerpts that cannot be opened contribute 0; the entry still ends as a number.
    h.audioEngine.unopenable.push_back(path.toStdString());
    s.songList.songs.setLoudness(0, QStringLiteral("x"));
    h.player.loudness.measureLoudness(0);
    EXPECT_EQ(s.songList.songs.loudness(0), QStringLiteral("0"));
}

TEST_F(LevellingTest, ASongWhoseFileCannotBeOpenedLeavesTheList) {
    const QStringList songs = files.make({"a.mp3", "b.mp3"});
    h.player.songList.addSong(songs[0]);
    ASSERT_EQ(playingPath(), songs[0]);
    s.volume.levellingBox = true;
    h.player.songList.addSong(files.path("fehlt.mp3"));
    QDir(files.dir.path()).mkdir("ordner.mp3");
    h.player.songList.addSong(files.path("ordner.mp3"));
    // A named pipe without a writer: taking its size must not wait for one.
    ASSERT_EQ(::mkfifo(QFile::encodeName(files.path("rohr.mp3")).constData(), 0600), 0);
    h.player.songList.addSong(files.path("rohr.mp3"));
    excerptsOf(songs[1], {{0.5f}, {0.5f}, {0.5f}, {0.5f}});
    h.player.songList.addSong(songs[1]);
    ASSERT_EQ(s.songList.songs.count(), 2);
    EXPECT_EQ(s.songList.songs.path(0), songs[0]);
    EXPECT_EQ(s.songList.songs.title(1), QStringLiteral("b"));
    EXPECT_EQ(s.songList.songs.loudness(1), QStringLiteral("25"));
    EXPECT_EQ(playingPath(), songs[0]);
    EXPECT_EQ(s.songList.currentIndex, 0);
}

TEST_F(LevellingTest, AWaitForASongThatLeavesTheListEnds) {
    const QString song = files.make({"weg.mp3"}).front();
    s.volume.levellingBox = true;
    // While the new row waits for its measurement, the user starts it and its file goes away.
    h.window.duringEvents = [&] {
        s.songList.songs.setSelected(0);
        h.player.seq.playSelected();
        QFile::remove(song);
    };
    h.player.songList.addSong(song);
    EXPECT_EQ(s.songList.songs.count(), 0);
    EXPECT_FALSE(h.player.volume.levellingWaitTimer.isActive());
}

TEST_F(LevellingTest, ASongAddedWhileAnotherWaitsForItsMeasurementLeavesBothMeasured) {
    const QStringList songs = files.make({"a.mp3", "b.mp3"});
    s.channel.playMode = PlayMode::Song;
    s.volume.levellingBox = true;
    excerptsOf(songs[0], {{0.5f}, {0.5f}, {0.5f}, {0.5f}});
    excerptsOf(songs[1], {{1.0f}, {1.0f}, {1.0f}, {1.0f}});
    // A song dropped while the first one's title is being drawn.
    h.window.duringEvents = [&] {
        h.window.duringEvents = nullptr;
        h.player.songList.addSong(songs[1]);
    };
    h.player.songList.addSong(songs[0]);
    ASSERT_EQ(s.songList.songs.count(), 2);
    EXPECT_EQ(s.songList.songs.loudness(0), QStringLiteral("25"));
    EXPECT_EQ(s.songList.songs.loudness(1), QStringLiteral("50"));
}

} // namespace
