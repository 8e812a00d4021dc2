// mp3.snd and the station line: reading never crashes, and a list written and read again is the same.
#include "FuzzSupport.h"
#include "radio/StationFile.h"
#include "radio/StationLine.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzApplication();
    const QString path = fuzzFile(QStringLiteral("mp3.snd"), data, size);
    StationList stations;
    readStations(path, stations);
    for (const Station& station : stations.rows())
        parseStationLine(stationLine(station.name, station.url));
    // Names and URLs without line breaks survive a write and a read unchanged.
    StationList clean;
    for (const Station& station : stations.rows())
        if (!station.name.contains(u'\r') && !station.url.contains(u'\r')) clean.append(station);
    const QString again = fuzzFolder().filePath(QStringLiteral("again.snd"));
    writeStations(again, clean);
    StationList reread;
    readStations(again, reread);
    if (reread.rows() != clean.rows()) std::abort();
    return 0;
}
