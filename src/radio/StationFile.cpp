#include "radio/StationFile.h"

#include "platform/RuntimeError.h"
#include "platform/TextFile.h"
#include "radio/StationList.h"

QString stationFilePath(const QString& programFolder) {
    return programFolder + QStringLiteral("mp3.snd");
}

void readStations(const QString& path, StationList& list) {
    QStringList lines;
    try {
        lines = readTextLines(path);
    } catch (const InOutError&) {
        return;
    }
    for (qsizetype i = 0; i < lines.size(); i += 2) {
        // Reading past the end gives an empty line, so an odd count ends with an empty URL.
        list.append({lines[i], i + 1 < lines.size() ? lines[i + 1] : QString()});
    }
}

void writeStations(const QString& path, const StationList& list) {
    QStringList lines;
    lines.reserve(2 * list.count());
    for (const Station& station : list.rows()) {
        lines << station.name << station.url;
    }
    writeTextLinesAtomic(path, lines);
}
