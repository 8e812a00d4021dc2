#pragma once
// Bringing stations into the station list editor: the station list fetched from the download server
// (appended after a separator line, or replacing the text), and the entries of a playlist handed to
// the player, which can be played or added as stations.

#include <QByteArray>
#include <QString>

class Player;

class StationUpdate {
public:
    explicit StationUpdate(Player& player) : p_(player) {}

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
    Player& p_;
    bool askForAddress_ = false;
};
