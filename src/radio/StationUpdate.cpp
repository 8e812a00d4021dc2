#include "radio/StationUpdate.h"

#include "app/Player.h"
#include "platform/TextFile.h"
#include "radio/StationLine.h"

void StationUpdate::radiolisteladenBClick() {
    p_.HTTPGet2.setURL(p_.updateUrl);
    p_.HTTPGet2.DownloadString();
}

void StationUpdate::HTTPGet2DoneString(const QByteArray& list) {
    PlayerState& s = p_.s;
    const QStringList lines = splitTextLines(list);
    QStringList editor = s.display.radioRE;
    if (s.display.anhaengenRB) {
        editor << QStringLiteral("---------------");
        s.display.SongL = QStringLiteral("Update: Liste vom Server wurde angefügt");
    } else {
        editor.clear();
        s.display.SongL = QStringLiteral("Update: Liste vom Server wurde übernommen");
    }
    for (qsizetype i = 0; i < lines.size(); i += 2)
        editor << stationLine(lines[i], lines.value(i + 1));
    s.display.radioRE = editor;
}

void StationUpdate::HTTPGet2Error() {
    p_.s.display.SongL = QStringLiteral("Problem beim Update der Senderliste");
}

void StationUpdate::sendertitelLBClick() {
    PlayerState& s = p_.s;
    const int index = s.entries.selected();
    if (!s.entries.isRow(index)) return;
    s.streamURL = s.entries.senderfileLB(index);
    s.stationName = s.streamURL;
    p_.radio.radio_play();
}

void StationUpdate::senderspeichernBClick() {
    PlayerState& s = p_.s;
    p_.editor.radioCBDblClick();
    const int index = s.entries.selected();
    if (!s.entries.isRow(index)) return;
    QStringList editor = s.display.radioRE;
    editor << stationLine(s.entries.sendertitelLB(index), s.entries.senderfileLB(index));
    s.display.radioRE = editor;
}

void StationUpdate::senderlisteexitBClick() {
    p_.s.display.senderPVisible = false;
}
