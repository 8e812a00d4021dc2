#include "library/FolderTreeMemory.h"

#include <QStandardItemModel>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// The tree as the window drives it: a change of selection runs the memory, as the change handler
// does; a key first tells the memory, then moves the selection.
class FakeTree : public FolderTreeAccess {
public:
    FakeTree() {
        model.appendRow(new QStandardItem("/"));
        for (const char* p : {"Music/Jazz", "Music/Rock/Live", "Other/Sub"})
            add(p);
        memory.reset(model.index(0, 0));
        selected_ = model.index(0, 0);
    }
    QStandardItem* add(const QString& path) {
        QStandardItem* at = model.item(0);
        for (const QString& name : path.split('/')) {
            QStandardItem* next = nullptr;
            for (int r = 0; r < at->rowCount() && !next; ++r)
                if (at->child(r)->text() == name) next = at->child(r);
            if (!next) at->appendRow(next = new QStandardItem(name));
            at = next;
        }
        return at;
    }
    QModelIndex find(const QString& path) { return add(path)->index(); }

    QModelIndex selectedNode() const override { return selected_; }
    void selectNode(const QModelIndex& node) override {
        if (node == selected_) return;
        selected_ = node;
        changes.push_back(node.data().toString().toStdString());
        memory.selectionChanged(*this);
    }
    void click(const QString& path) { selectNode(find(path)); }
    void key(int key, const QString& path) {
        memory.keyDown(key);
        click(path);
    }
    std::string selected() const { return selected_.data().toString().toStdString(); }

    QStandardItemModel model;
    FolderTreeMemory memory;
    std::vector<std::string> changes;

private:
    QPersistentModelIndex selected_;
};

} // namespace

TEST(FolderTreeMemory, EnteringAFolderAgainReturnsToTheSubfolderLastUsed) {
    FakeTree tree;
    tree.click("Music");
    tree.click("Music/Rock");
    tree.click("Music");
    tree.changes.clear();
    tree.key(Qt::Key_Right, "Music/Jazz");
    EXPECT_EQ(tree.selected(), "Rock");
    // The jump is a change of its own, handled inside the first one.
    EXPECT_EQ(tree.changes, (std::vector<std::string>{"Jazz", "Rock"}));

    // Not into another folder's subfolders.
    tree.click("Other");
    tree.click("Other/Sub");
    EXPECT_EQ(tree.selected(), "Sub");
}

TEST(FolderTreeMemory, AfterUpOrDownNothingJumpsUntilAnotherKey) {
    FakeTree tree;
    tree.click("Music");
    tree.click("Music/Rock");
    tree.click("Music");
    tree.key(Qt::Key_Down, "Music/Jazz");
    EXPECT_EQ(tree.selected(), "Jazz");

    tree.click("Music/Rock");
    tree.key(Qt::Key_Up, "Music");
    tree.click("Music/Jazz"); // the mouse, still after Up
    EXPECT_EQ(tree.selected(), "Jazz");

    tree.click("Music/Rock");
    tree.click("Music");
    tree.key(Qt::Key_Right, "Music/Jazz");
    EXPECT_EQ(tree.selected(), "Rock");
}

TEST(FolderTreeMemory, ForgetsFoldersThatWentAwayAndIgnoresDeepOnes) {
    FakeTree tree;
    tree.click("Music");
    tree.click("Music/Rock");
    tree.click("Music");
    QStandardItem* music = tree.model.itemFromIndex(tree.find("Music"));
    music->removeRow(tree.find("Music/Rock").row());
    EXPECT_EQ(tree.memory.levelNodes(2), QModelIndex(tree.memory.treeTopNode));
    tree.click("Music/Jazz");
    EXPECT_EQ(tree.selected(), "Jazz");

    QString deep = "Deep";
    for (int level = 2; level <= 14; ++level)
        deep += QString("/L%1").arg(level);
    QString at;
    for (const QString& part : deep.split('/')) {
        at += (at.isEmpty() ? "" : "/") + part;
        tree.click(at);
    }
    EXPECT_EQ(tree.memory.lastTreeLevel, 14);
    EXPECT_EQ(tree.memory.levelNodes(14), QModelIndex(tree.memory.treeTopNode));
    EXPECT_EQ(tree.memory.levelNodes(10), tree.find(deep.section('/', 0, 9)));
    tree.click(deep.section('/', 0, 11));
    tree.click(deep);
    EXPECT_EQ(tree.selected(), "L14");
}
