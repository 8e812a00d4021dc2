#include "radio/StationEditor.h"

#include "app/Player.h"
#include "radio/StationFile.h"
#include "radio/StationLine.h"

void StationEditor::radioCBDblClick() {
    PlayerState& s = p_.s;
    s.display.radioPanelVisible = true;
    s.display.radiosenderLBVisible = false;
    QStringList lines;
    for (const Station& station : s.stations.rows())
        lines << stationLine(station.name, station.url);
    s.display.radioRE = lines;
}

void StationEditor::radiolistesaveBClick() {
    PlayerState& s = p_.s;
    p_.update.senderlisteexitBClick();
    QList<Station> stations;
    for (const QString& line : s.display.radioRE.get())
        if (!line.isEmpty()) stations << parseStationLine(line);
    s.stations.replaceAll(stations);
    // A failed write is shown and leaves the editor open; the old file stays whole.
    schreibesender(stationFilePath(s.programFolder), s.stations);
    radiolisteexitBClick();
}

void StationEditor::radiolisteexitBClick() {
    PlayerState& s = p_.s;
    p_.update.senderlisteexitBClick();
    s.display.radioPanelVisible = false;
    // The mode may have changed while the editor was open: its own list comes back.
    s.display.radiosenderLBVisible = s.radioMode;
}
