#pragma once
// Starting, pausing and resuming the two channels (the song and the radio stream), the ending
// preview, and the radio title shown from the station's metadata.

#include "audio/AudioEngine.h"

#include <QString>
#include <string>

class Player;

class ChannelControl {
public:
    explicit ChannelControl(Player& player) : p_(player) {}

    // Starts or resumes a channel: newMode 0 with the song, 2 with the radio stream.
    void playChannel(ChannelHandle handle, int newMode);
    void pauseSong();
    // Resumes the song after the position bar was moved.
    void resumeAfterSeek();
    // Jumps to the last 15 seconds of the song while a key is held.
    void previewEnding();
    // Shows a radio title composed from metadata with the station name of this moment.
    void showStreamTitle(const QString& meta);
    // Shows the radio stream's current title (none yet: the station name alone).
    void showCurrentStreamTitle();
    // Frees and initialises the engine's output again. The song stream, which goes with it, is
    // opened again where it was and as it was (playing or not), so a song paused for the radio
    // resumes there later.
    void restartOutput();
    // Shows a text in the title label (fitted) and as the tray tip.
    void showTitle(const QString& fitted, const QString& full);

private:
    // A title from the engine's thread; one of a stream replaced meanwhile is dropped, and so is one
    // that comes while another station starts: the strip never joins two stations.
    void streamTitleArrived(ChannelHandle channel, const QString& meta);
    // The engine's metadata notification; runs on the engine's thread and hands the text to the GUI
    // thread.
    void onStreamMetadata(ChannelHandle channel, const std::string& text);

    Player& p_;
    // The radio stream's titles. Removed at the latest when this goes, which waits for a title
    // being handed over, so none reaches a player that is being destroyed.
    MetadataSubscription streamTitles_;
};
