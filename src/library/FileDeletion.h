#pragma once
// Deleting a song's file from the disk after a confirmation in the window. The request names a song,
// not a row: if rows move while the panel is open, "ja" still deletes the file the panel shows, and
// nothing when that song has left the list. A file that cannot be deleted keeps its row, playback goes
// on as it was, and a message names the file and the reason.

#include <QString>

class Player;

class FileDeletion {
public:
    explicit FileDeletion(Player& player) : p_(player) {}

    // Offers the song at row index for deletion.
    void offerDeletion(int index);
    void confirmDeletion();
    void cancelDeletion();

    int deleteCandidateIndex() const { return deleteCandidateIndex_; }

private:
    void closePanel();

    Player& p_;
    int deleteCandidateIndex_ = 0;
    QString candidatePath_;
};
