#include "radio/StationUpdate.h"

#include "app/Player.h"
#include "platform/TextFile.h"
#include "radio/StationLine.h"

void StationUpdate::fetchStationUpdate() {
    p_.stationListDownload.setURL(p_.updateUrl);
    p_.stationListDownload.DownloadString();
}

void StationUpdate::onStationListFetched(const QByteArray& list) {
    PlayerState& s = p_.s;
    const QStringList lines = splitTextLines(list);
    QStringList editor = s.display.stationEditorText;
    if (s.display.appendChoice) {
        editor << QStringLiteral("---------------");
        s.display.titleStrip = QStringLiteral("Update: Liste vom Server wurde angefügt");
    } else {
        editor.clear();
        s.display.titleStrip = QStringLiteral("Update: Liste vom Server wurde übernommen");
    }
    for (qsizetype i = 0; i < lines.size(); i += 2)
        editor << stationLine(lines[i], lines.value(i + 1));
    s.display.stationEditorText = editor;
}

void StationUpdate::onStationListFetchFailed() {
    p_.s.display.titleStrip = QStringLiteral("Problem beim Update der Senderliste");
}

void StationUpdate::playSelectedEntry() {
    PlayerState& s = p_.s;
    const int index = s.entries.selected();
    if (!s.entries.isRow(index)) return;
    s.streamURL = s.entries.url(index);
    s.stationName = s.streamURL;
    p_.radio.playStation();
}

void StationUpdate::addEntryAsStation() {
    PlayerState& s = p_.s;
    p_.editor.openStationEditor();
    const int index = s.entries.selected();
    if (!s.entries.isRow(index)) return;
    QStringList editor = s.display.stationEditorText;
    editor << stationLine(s.entries.title(index), s.entries.url(index));
    s.display.stationEditorText = editor;
}

void StationUpdate::closeEntryPanel() {
    p_.s.display.entryPanelVisible = false;
}
