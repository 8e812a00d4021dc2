#pragma once

#include <QString>

// "mm:ss", or "h:mm:ss" from one hour on (hours are not padded); seconds round half to even.
// A negative or unknown duration shows 00:00.
QString formatDuration(double seconds);
// Pads a text with leading zeros to two characters.
QString twoDigits(QString text);
// The average bitrate in kbit/s of a file of size bytes lasting seconds, as shown beside the title;
// " - " when the duration is unknown or zero.
QString formatBitrate(double fileSize, double seconds);
