#pragma once
// The song channel and what the window shows of what plays: starting, pausing and resuming, the
// ending preview, the position bar, the title strip and the play button.

#include "audio/AudioEngine.h"
#include "platform/RangeValue.h"
#include "platform/Shown.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

// What the channel is doing.
enum class PlayMode : std::uint8_t {
    Song,    // a song plays
    Idle,    // nothing plays (start, paused, ended, paused for the radio)
    Radio,   // a radio stream was started
    Preview, // the ending preview runs
};

// The two pictures of the play button.
enum class PlayPicture { Start, Stop };

class ChannelControl {
public:
    explicit ChannelControl(AudioEngine& audioEngine) : audioEngine_(audioEngine) {}

    PlayMode playMode = PlayMode::Idle;
    ChannelHandle fileStream;
    // The file the song stream was opened from, as the engine was given it.
    QByteArray fileStreamFile;
    // The song that plays, as the strip shows it, and its bitrate.
    QString songDisplay;
    QString bitrateText;
    // Decoded bytes: a long song at 44.1 kHz stereo passes 4 GiB after 6 h 45 min.
    std::int64_t songLengthBytes = 0;
    int songSeconds = 0;
    std::int64_t previewStartBytes = 0;
    std::int64_t previewRangeBytes = 0;
    int previewReturnPosition = 0;
    bool positionDragging = false;
    RangeValue positionBar{0, 1000, 0};

    Shown<QString> titleStrip;
    // The notification-area icon's tip, as handed over (the icon keeps at most 63 characters).
    Shown<QString> tip;
    Shown<QString> bitrateLabel{QStringLiteral(" - ")};
    Shown<PlayPicture> playButton{PlayPicture::Start};

    // Starts or resumes a channel in a play mode (PlayMode::Song or PlayMode::Radio). A song shows its
    // title; a station has shown its own before.
    void playChannel(ChannelHandle handle, PlayMode newMode);
    // Resumes the song after the position bar was moved.
    void resumeAfterSeek();
    // Jumps to the last 15 seconds of the song while a key is held.
    void previewEnding();
    // Frees and initialises the engine's output again. The song stream, which goes with it, is
    // opened again where it was and as it was (playing or not), so a song paused for the radio
    // resumes there later.
    void restartOutput();
    // Shows a text in the title label (fitted) and as the tray tip.
    void showTitle(const QString& fitted, const QString& full);
    void stopSong() { audioEngine_.stop(fileStream); }
    // Shows the song's title and bitrate again (after the radio had the strip).
    void restoreSongTitle();

private:
    AudioEngine& audioEngine_;
};
