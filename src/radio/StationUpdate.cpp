#include "radio/StationUpdate.h"

#include "app/Player.h"
#include "platform/TextFile.h"
#include "radio/StationLine.h"

#include <optional>

void StationUpdate::fetchStationUpdate() {
    if (p_.updateUrl.isEmpty() || askForAddress_) {
        const std::optional<QString> answer = p_.dialogs().askText(
            QStringLiteral("Adresse der Senderliste (Datei im Format von mp3.snd):"), p_.updateUrl);
        if (!answer || answer->trimmed().isEmpty()) return;
        p_.updateUrl = answer->trimmed();
        askForAddress_ = false;
    }
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
    // The address may be mistyped or gone: the next update lets the user correct it.
    askForAddress_ = true;
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
