#pragma once
// Bringing stations into the station list editor: the station list fetched from the download server
// (appended after a separator line, or replacing the text), and the entries of a playlist handed to
// the player, which can be played or added as stations.

#include "radio/HttpDownload.h"
#include "radio/PlaylistEntries.h"

#include <QByteArray>
#include <QString>

class ChannelControl;
class IDialogs;
class RadioPlayback;
class StationEditor;

class StationUpdate {
public:
    StationUpdate(StationEditor& editor, RadioPlayback& radio, ChannelControl& channel, IDialogs& dialogs);

    // The playlist entries handed to the player.
    PlaylistEntries entries;
    // Fetches the station list, into memory.
    HttpDownload stationListDownload;
    // Where the update comes from (the tenth line of mp3.ini); empty until the user names it.
    QString updateUrl;

    // "update vom Server ": fetches the station list. Without an address, and after the last one failed,
    // the user is asked for it first (starting from the last one).
    void fetchStationUpdate();
    // The fetched station list goes into the editor text.
    void onStationListFetched(const QByteArray& list);
    void onStationListFetchFailed();

    // Plays the selected playlist entry as radio, its URL standing for the station name.
    void playSelectedEntry();
    // "Sender hinzufügen": opens the editor and adds the selected entry as a station line.
    void addEntryAsStation();
    // "exit": hides the playlist entries panel.
    void closeEntryPanel();

private:
    StationEditor& editor_;
    RadioPlayback& radio_;
    ChannelControl& channel_;
    IDialogs& dialogs_;
    bool askForAddress_ = false;
};
