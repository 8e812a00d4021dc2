#pragma once
// The stations a new user starts with: written as mp3.snd at the first start, when there is none,
// and never over a list the user already has. Long-running public stations that allow listening in
// other players, in each format the player plays (MP3, AAC, Ogg, HLS).

#include <QString>

class StationList;

// Appends the default stations to list.
void addDefaultStations(StationList& list);
// Writes the default list to path unless a file is there; a failure to write leaves no file and is
// not reported (the player then starts with an empty list, as before).
void writeDefaultStationsIfMissing(const QString& path);
