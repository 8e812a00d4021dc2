#include "radio/DefaultStations.h"

#include "platform/RuntimeError.h"
#include "platform/TextFile.h"
#include "radio/StationFile.h"
#include "radio/StationList.h"

#include <QFileInfo>

void addDefaultStations(StationList& list) {
    list.append({QStringLiteral("Deutschlandfunk (MP3)"),
                 QStringLiteral("https://st01.sslstream.dlf.de/dlf/01/128/mp3/stream.mp3")});
    list.append({QStringLiteral("Deutschlandfunk Kultur (MP3)"),
                 QStringLiteral("https://st02.sslstream.dlf.de/dlf/02/128/mp3/stream.mp3")});
    list.append({QStringLiteral("SomaFM Groove Salad (MP3)"),
                 QStringLiteral("http://ice1.somafm.com/groovesalad-128-mp3")});
    list.append({QStringLiteral("Deutschlandfunk (AAC)"),
                 QStringLiteral("https://st01.sslstream.dlf.de/dlf/01/high/aac/stream.aac")});
    list.append({QStringLiteral("SomaFM Groove Salad (AAC)"),
                 QStringLiteral("http://ice1.somafm.com/groovesalad-128-aac")});
    list.append({QStringLiteral("Radio Paradise (Ogg FLAC)"),
                 QStringLiteral("http://stream.radioparadise.com/flacm")});
    list.append({QStringLiteral("BBC World Service (HLS)"),
                 QStringLiteral("http://a.files.bbci.co.uk/media/live/manifesto/audio/simulcast/hls/nonuk/"
                                "sbr_low/ak/bbc_world_service.m3u8")});
}

void writeDefaultStationsIfMissing(const QString& path) {
    if (QFileInfo::exists(path)) return;
    try {
        StationList list;
        addDefaultStations(list);
        writeStations(path, list);
    } catch (const InOutError&) {
    }
}
