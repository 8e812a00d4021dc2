#pragma once
// The station list editor: the station list as text, one station line per station. Also the panel of
// a playlist's entries, which the editor closes with itself.

#include "platform/Shown.h"

#include <QString>
#include <QStringList>

class RadioPlayback;

class StationEditor {
public:
    // programFolder: where mp3.snd lives, once start-up has found it.
    StationEditor(RadioPlayback& radio, const QString& programFolder)
        : radio_(radio), programFolder_(programFolder) {}

    Shown<bool> panelVisible{false};
    // The editor's text, one station line per entry.
    Shown<QStringList> text;
    // The merge choice for the update from the server: append, else overwrite.
    Shown<bool> appendChoice{true};
    Shown<bool> entryPanelVisible{false};

    // Opens the editor with the current station list (unsaved text is replaced).
    void openStationEditor();
    // "speichern": the text becomes the station list and is written to mp3.snd.
    void saveStationList();
    // "exit": closes without saving.
    void closeStationEditor();
    // Hides the playlist entries panel.
    void closeEntryPanel() { entryPanelVisible = false; }

private:
    RadioPlayback& radio_;
    const QString& programFolder_;
};
