#pragma once
// What the player's operations need of the folder tree: its selected folder, moving to a folder, and
// walking its nodes. The window's tree widget implements it; tests may use a fake.

#include "library/FolderTreeMemory.h"

#include <QModelIndex>
#include <QString>

class FolderTree : public FolderTreeAccess {
public:
    // The folder of the selected node; empty when nothing is selected.
    virtual QString path() const = 0;
    // Selects the node of an absolute folder path; false when it is no folder.
    virtual bool setPath(const QString& folder) = 0;
    // The text the tree shows for a node.
    virtual QString nodeText(const QModelIndex& node) const = 0;
    virtual bool hasSubfolders(const QModelIndex& node) const = 0;
    // The number of subfolders of node that have been read.
    virtual int childCount(const QModelIndex& node) const = 0;
    // The node at the top of the visible part of the tree, and scrolling a node to the top.
    virtual QModelIndex topNode() const = 0;
    virtual void setTopNode(const QModelIndex& node) = 0;
    // The node below node in the tree's order; invalid after the last.
    virtual QModelIndex nextNode(const QModelIndex& node) const = 0;
    // Shows the subfolders of node.
    virtual void openNode(const QModelIndex& node) { (void)node; }
    // Begins reading the file system: until then the tree has no nodes. Reading "/" starts a thread
    // and lays the tree out in the window's font, neither of which the first picture needs.
    virtual void startReading() {}
    // Lets the event loop run until the subfolders of node (and its ancestors) have been read.
    virtual bool waitForLoad(const QModelIndex& node, int timeoutMs) = 0;
};
