#pragma once
// Paths handed to the player from outside (its command line, a second start) enter here: an MP3 file
// goes into the song list, a PLS or M3U playlist to the playlist reader, anything else is ignored.

#include <QString>

class Player;

// The canonical absolute form of a path (links and ".." resolved where it exists), upper-cased, so two
// spellings of one folder compare equal.
QString canonicalUpperPath(const QString& path);

// The user's temporary folder: TEMP, else TMPDIR, else /tmp.
QString temporaryFolder();

class Intake {
public:
    explicit Intake(Player& player) : p_(player) {}

    // Runs when the intake text (the paths handed in from outside) changes.
    void onIntakeText();

private:
    Player& p_;
};
