#pragma once
// The folder tree's memory of the folder last chosen at each depth, so that entering a folder again
// goes back to the subfolder last used inside it. Nodes are model indexes of the tree's model; the
// memory holds them as persistent indexes, so a node that leaves the model is simply forgotten.

#include <QModelIndex>
#include <QPersistentModelIndex>
#include <array>

// What the memory needs of the folder tree.
class FolderTreeAccess {
public:
    virtual ~FolderTreeAccess() = default;
    virtual QModelIndex selectedNode() const = 0;
    // Selects node. When that changes the selection, the tree's change handler (which calls
    // FolderTreeMemory::selectionChanged) runs again before this returns.
    virtual void selectNode(const QModelIndex& node) = 0;
};

// The depth of a node: 0 for a node at the top of its model.
int nodeLevel(const QModelIndex& node);

class FolderTreeMemory {
public:
    static constexpr int levelCount = 11; // levels 0 to 10; deeper folders are not remembered

    // Forgets everything: topNode (the tree's first node) stands for "nothing remembered" at every
    // level.
    void reset(const QModelIndex& topNode);

    // The node remembered at level; treeTopNode for a level beyond the memory or a node that no
    // longer exists.
    QModelIndex levelNodes(int level) const;
    void setLevelNodes(int level, const QModelIndex& node);

    // Runs on every change of the tree's selection. When the selection went one level deeper into
    // the folder selected before, and no Up/Down key moved it, the tree jumps to the subfolder last
    // chosen inside that folder.
    void selectionChanged(FolderTreeAccess& tree);

    // Runs for every key pressed in the tree, before the tree moves: after Up or Down the following
    // selections do not jump, until another key is pressed.
    void keyDown(int key);

    QPersistentModelIndex treeTopNode;
    int lastTreeLevel = 0;
    bool treeKeyFlag = false;

private:
    std::array<QPersistentModelIndex, levelCount> levelNodes_;
};
