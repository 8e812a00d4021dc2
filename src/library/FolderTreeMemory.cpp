#include "library/FolderTreeMemory.h"

int nodeLevel(const QModelIndex& node) {
    int level = 0;
    for (QModelIndex p = node.parent(); p.isValid(); p = p.parent())
        ++level;
    return level;
}

void FolderTreeMemory::reset(const QModelIndex& topNode) {
    treeTopNode = topNode;
    levelNodes_.fill(treeTopNode);
}

QModelIndex FolderTreeMemory::levelNodes(int level) const {
    if (level < 0 || level >= levelCount || !levelNodes_[level].isValid()) return treeTopNode;
    return levelNodes_[level];
}

void FolderTreeMemory::setLevelNodes(int level, const QModelIndex& node) {
    if (level >= 0 && level < levelCount) levelNodes_[level] = node;
}

void FolderTreeMemory::selectionChanged(FolderTreeAccess& tree) {
    const int level = nodeLevel(tree.selectedNode());
    if (level != lastTreeLevel) {
        // The node remembered at this depth is not inside the folder just left: forget it.
        if (levelNodes(level).parent() != levelNodes(lastTreeLevel)) setLevelNodes(level, treeTopNode);
        const QModelIndex remembered = levelNodes(level);
        if (!treeKeyFlag && remembered != treeTopNode) tree.selectNode(remembered);
        lastTreeLevel = level;
    }
    setLevelNodes(level, tree.selectedNode());
}

void FolderTreeMemory::keyDown(int key) {
    treeKeyFlag = key == Qt::Key_Up || key == Qt::Key_Down;
}
