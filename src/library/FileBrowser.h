#pragma once
// The folder tree and the file list: choosing a folder lists its MP3 files; a click, Enter or "alle"
// takes files into the song list; the tree remembers the subfolder last chosen at each depth.

#include "library/FolderTree.h"
#include "library/FolderTreeMemory.h"

#include <QString>

class Player;

class FileBrowser {
public:
    explicit FileBrowser(Player& player);

    // The window attaches its tree widget; until then a tree without folders stands in.
    void attachTree(FolderTree& tree) { tree_ = &tree; }
    FolderTree& tree() { return *tree_; }
    FolderTreeMemory memory;

    void ShellTreeView1Change();
    void ShellTreeView1Click();
    void ShellTreeView1KeyDown(int key);
    void FileList1Click();
    // Returns true when the key is used up.
    bool FileList1KeyDown(int key);
    void sortNameLClick();
    void sortDateLClick();

    // Takes the file list's entry at index into the song list.
    void aus_file_list_uebernehmen(int index);
    // Takes every entry of the file list into the song list.
    void alle_eintragen(bool focusTree);
    // Takes the first entry listed from folder whose caption begins with text (ignoring case) off
    // the file list. Entries of other folders stay: a file of the same name there still exists.
    void removeFileListEntry(const QString& text, const QString& folder);

private:
    Player& p_;
    FolderTree* tree_;
};
