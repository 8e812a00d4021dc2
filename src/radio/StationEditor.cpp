#include "radio/StationEditor.h"

#include "app/Player.h"

void StationEditor::radioCBDblClick() {
    PlayerState& s = p_.s;
    s.display.radioPanelVisible = true;
    s.display.radiosenderLBVisible = false;
    QStringList lines;
    for (const Station& station : s.stations.rows()) lines << station.name + QStringLiteral(" ; ") + station.url;
    s.display.radioRE = lines;
}

void StationEditor::radiolistesaveBClick() {}

void StationEditor::radiolisteexitBClick() {
    PlayerState& s = p_.s;
    s.display.senderPVisible = false;
    s.display.radioPanelVisible = false;
    s.display.radiosenderLBVisible = true;
}
