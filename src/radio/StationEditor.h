#pragma once
// The station list editor: the station list as text, one station line per station.

class Player;

class StationEditor {
public:
    explicit StationEditor(Player& player) : p_(player) {}

    // Opens the editor with the current station list (unsaved text is replaced).
    void radioCBDblClick();
    // "speichern": the text becomes the station list and is written to mp3.snd.
    void radiolistesaveBClick();
    // "exit": closes without saving.
    void radiolisteexitBClick();

private:
    Player& p_;
};
