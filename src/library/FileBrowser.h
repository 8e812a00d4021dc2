#pragma once
// The folder tree and the file list: choosing a folder lists its MP3 files; a click, Enter or "alle"
// takes files into the song list; the tree remembers the subfolder last chosen at each depth.

#include "library/FileListModel.h"
#include "library/FolderTree.h"
#include "library/FolderTreeMemory.h"

#include "platform/Shown.h"

#include <QString>

class IWindow;
class SongListEditor;

class FileBrowser {
public:
    FileBrowser(IWindow& window, SongListEditor& songList);

    // The file list's folders, entries and selection.
    FileListModel fileList;
    QString currentFolder;
    // The file list is sorted by date (the "Datum" label is the dark one), else by name.
    Shown<bool> sortByDate{false};

    // The window attaches its tree widget; until then a tree without folders stands in.
    void attachTree(FolderTree& tree) { tree_ = &tree; }
    FolderTree& tree() { return *tree_; }
    FolderTreeMemory memory;

    void onFolderChosen();
    void onFolderTreeClick();
    void onFolderTreeKey(int key);
    void onFileListClick();
    // Returns true when the key is used up.
    bool onFileListKey(int key);
    void chooseSortByName();
    void chooseSortByDate();

    // Takes the file list's entry at index into the song list.
    void takeFileListEntry(int index);
    // Takes every entry of the file list into the song list.
    void takeAllFiles(bool focusTree);
    // Takes the first entry listed from folder whose caption begins with text (ignoring case) off
    // the file list. Entries of other folders stay: a file of the same name there still exists.
    void removeFileListEntry(const QString& text, const QString& folder);

private:
    IWindow& window_;
    SongListEditor& songList_;
    FolderTree* tree_;
};
