#pragma once
// The station list file mp3.snd: two lines per station (name, then URL), in list order, each line
// ended by CR LF. Blank lines are entries like any other.

#include <QString>

class StationList;

// The station file's path in the program folder (which ends with "/").
QString stationFilePath(const QString& programFolder);

// Appends the file's stations to list. A file that is missing or cannot be read leaves the list as it
// is, without a message: the user then starts from an empty list. An odd last line is a station with
// an empty URL.
void readStations(const QString& path, StationList& list);

// Replaces the file by the whole list (an empty list gives an empty file). The new contents go to a
// temporary file first, so on failure the old file stays whole; throws InOutError for the caller to
// show.
void writeStations(const QString& path, const StationList& list);
