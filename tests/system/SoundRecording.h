#pragma once
// What the program played, from SDL's disk driver (float32 LE, stereo, 44100 Hz): cut into 100 ms
// windows, each sounding window told by its pitch (zero crossings of the left channel) and its RMS
// filed under that pitch.

#include <QByteArray>
#include <QString>
#include <map>
#include <vector>

// The RMS of the windows at each of the pitches (Hz); windows at other pitches, across a change or
// silent are left out.
std::map<int, std::vector<double>> levelsByPitch(const QByteArray& raw, const std::vector<int>& pitches);
double median(std::vector<double> values);
// The size of the recording so far, in seconds of sound.
double recordedSeconds(const QString& rawFile);
