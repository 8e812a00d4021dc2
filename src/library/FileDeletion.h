#pragma once
// Deleting a song's file from the disk after a confirmation in the window. The request names a song,
// not a row: if rows move while the panel is open, "ja" still deletes the file the panel shows, and
// nothing when that song has left the list. A file that cannot be deleted keeps its row, playback goes
// on as it was, and a message names the file and the reason.

#include "platform/Shown.h"

#include <QString>

class FileBrowser;
class IDialogs;
class IWindow;
class SongListEditor;

class FileDeletion {
public:
    FileDeletion(SongListEditor& songList, FileBrowser& browser, IWindow& window, IDialogs& dialogs)
        : songList_(songList), browser_(browser), window_(window), dialogs_(dialogs) {}

    Shown<bool> panelVisible{false};
    // The title of the song the panel offers to delete.
    Shown<QString> fileLabel{QStringLiteral("X")};

    // Offers the song at row index for deletion.
    void offerDeletion(int index);
    void confirmDeletion();
    void cancelDeletion();

    int deleteCandidateIndex() const { return deleteCandidateIndex_; }

private:
    void closePanel();

    SongListEditor& songList_;
    FileBrowser& browser_;
    IWindow& window_;
    IDialogs& dialogs_;
    int deleteCandidateIndex_ = 0;
    QString candidatePath_;
};
