#include "radio/StationEditor.h"

#include "radio/RadioPlayback.h"
#include "radio/StationFile.h"
#include "radio/StationLine.h"

void StationEditor::openStationEditor() {
    panelVisible = true;
    radio_.stationListVisible = false;
    QStringList lines;
    for (const Station& station : radio_.stations.rows())
        lines << stationLine(station.name, station.url);
    text = lines;
}

void StationEditor::saveStationList() {
    closeEntryPanel();
    QList<Station> stations;
    for (const QString& line : text.get())
        if (!line.isEmpty()) stations << parseStationLine(line);
    radio_.stations.replaceAll(stations);
    // A failed write is shown and leaves the editor open; the old file stays whole.
    writeStations(stationFilePath(programFolder_), radio_.stations);
    closeStationEditor();
}

void StationEditor::closeStationEditor() {
    closeEntryPanel();
    panelVisible = false;
    // The mode may have changed while the editor was open: its own list comes back.
    radio_.stationListVisible = radio_.radioMode;
}
