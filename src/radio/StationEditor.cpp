#include "radio/StationEditor.h"

#include "app/Player.h"
#include "radio/StationFile.h"
#include "radio/StationLine.h"

void StationEditor::openStationEditor() {
    PlayerState& s = p_.s;
    s.display.radioPanelVisible = true;
    s.display.stationListVisible = false;
    QStringList lines;
    for (const Station& station : s.stations.rows())
        lines << stationLine(station.name, station.url);
    s.display.stationEditorText = lines;
}

void StationEditor::saveStationList() {
    PlayerState& s = p_.s;
    p_.update.closeEntryPanel();
    QList<Station> stations;
    for (const QString& line : s.display.stationEditorText.get())
        if (!line.isEmpty()) stations << parseStationLine(line);
    s.stations.replaceAll(stations);
    // A failed write is shown and leaves the editor open; the old file stays whole.
    writeStations(stationFilePath(s.programFolder), s.stations);
    closeStationEditor();
}

void StationEditor::closeStationEditor() {
    PlayerState& s = p_.s;
    p_.update.closeEntryPanel();
    s.display.radioPanelVisible = false;
    // The mode may have changed while the editor was open: its own list comes back.
    s.display.stationListVisible = s.radioMode;
}
