#include "radio/StationUpdate.h"

#include "platform/Guarded.h"
#include "platform/TextFile.h"
#include "playback/ChannelControl.h"
#include "radio/RadioPlayback.h"
#include "radio/StationEditor.h"
#include "radio/StationLine.h"

#include <optional>

StationUpdate::StationUpdate(StationEditor& editor, RadioPlayback& radio, ChannelControl& channel,
                             IDialogs& dialogs)
    : editor_(editor), radio_(radio), channel_(channel), dialogs_(dialogs) {
    // Some ten thousand stations at most, read into memory whole.
    stationListDownload.setMaxBytes(4 << 20);
    QObject::connect(&stationListDownload, &HttpDownload::memoryDone, &stationListDownload,
                     [this](QObject*, const QByteArray& list) {
                         runGuarded(dialogs_, [&] { onStationListFetched(list); });
                     });
    QObject::connect(&stationListDownload, &HttpDownload::failed, &stationListDownload,
                     [this] { runGuarded(dialogs_, [this] { onStationListFetchFailed(); }); });
}

void StationUpdate::fetchStationUpdate() {
    if (updateUrl.isEmpty() || askForAddress_) {
        const std::optional<QString> answer = dialogs_.askText(
            QStringLiteral("Adresse der Senderliste (Datei im Format von mp3.snd):"), updateUrl);
        if (!answer || answer->trimmed().isEmpty()) return;
        updateUrl = answer->trimmed();
        askForAddress_ = false;
    }
    stationListDownload.setUrl(updateUrl);
    stationListDownload.downloadToMemory();
}

void StationUpdate::onStationListFetched(const QByteArray& list) {
    const QStringList lines = splitTextLines(list);
    QStringList text = editor_.text;
    if (editor_.appendChoice) {
        text << QStringLiteral("---------------");
        channel_.titleStrip = QStringLiteral("Update: Liste vom Server wurde angefügt");
    } else {
        text.clear();
        channel_.titleStrip = QStringLiteral("Update: Liste vom Server wurde übernommen");
    }
    for (qsizetype i = 0; i < lines.size(); i += 2)
        text << stationLine(lines[i], lines.value(i + 1));
    editor_.text = text;
}

void StationUpdate::onStationListFetchFailed() {
    // The address may be mistyped or gone: the next update lets the user correct it.
    askForAddress_ = true;
    channel_.titleStrip = QStringLiteral("Problem beim Update der Senderliste");
}

void StationUpdate::playSelectedEntry() {
    const int index = entries.selected();
    if (!entries.isRow(index)) return;
    radio_.streamUrl = entries.url(index);
    radio_.stationName = radio_.streamUrl;
    radio_.playStation();
}

void StationUpdate::addEntryAsStation() {
    editor_.openStationEditor();
    const int index = entries.selected();
    if (!entries.isRow(index)) return;
    QStringList text = editor_.text;
    text << stationLine(entries.title(index), entries.url(index));
    editor_.text = text;
}

void StationUpdate::closeEntryPanel() {
    editor_.closeEntryPanel();
}
