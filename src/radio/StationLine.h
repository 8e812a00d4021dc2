#pragma once
// The one-line text form of a station that the station editor shows and takes back:
// "name ; url" when written; parsed at the first ";".

#include "radio/StationList.h"

#include <QString>

// The line shown for a station: name, " ; ", url.
QString stationLine(const QString& name, const QString& url);

// Takes a line back into a station. The name is the text before the first ";", the URL the text after
// it, cut to its first 1000 characters; blanks (only the character 32) around each are dropped. A line
// without ";" is both name and URL.
Station parseStationLine(const QString& line);
