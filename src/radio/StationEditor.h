#pragma once
// The station list editor: the station list as text, one station line per station.

class Player;

class StationEditor {
public:
    explicit StationEditor(Player& player) : p_(player) {}

    // Opens the editor with the current station list (unsaved text is replaced).
    void openStationEditor();
    // "speichern": the text becomes the station list and is written to mp3.snd.
    void saveStationList();
    // "exit": closes without saving.
    void closeStationEditor();

private:
    Player& p_;
};
