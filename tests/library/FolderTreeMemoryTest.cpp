#include "library/FolderTreeMemory.h"

#include <QAbstractItemModel>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

// A folder tree in memory: names only.
class FakeTreeModel : public QAbstractItemModel {
public:
    struct Node {
        QString name;
        Node* parent = nullptr;
        std::vector<std::unique_ptr<Node>> children;
        int row() const {
            if (!parent) return 0;
            for (size_t i = 0; i < parent->children.size(); ++i)
                if (parent->children[i].get() == this) return static_cast<int>(i);
            return -1;
        }
    };

    FakeTreeModel() { root_.children.push_back(std::make_unique<Node>(Node{"/", &root_, {}})); }

    // Adds the folders of a path like "Music/Rock" below "/" where missing; returns the last one.
    QModelIndex add(const QString& path) {
        QModelIndex at = index(0, 0);
        for (const QString& name : path.split('/', Qt::SkipEmptyParts)) {
            QModelIndex found = child(at, name);
            if (!found.isValid()) {
                Node* p = node(at);
                const int row = static_cast<int>(p->children.size());
                beginInsertRows(at, row, row);
                p->children.push_back(std::make_unique<Node>(Node{name, p, {}}));
                endInsertRows();
                found = index(row, 0, at);
            }
            at = found;
        }
        return at;
    }
    QModelIndex find(const QString& path) const {
        QModelIndex at = index(0, 0);
        for (const QString& name : path.split('/', Qt::SkipEmptyParts)) at = child(at, name);
        return at;
    }
    void remove(const QString& path) {
        const QModelIndex i = find(path);
        beginRemoveRows(i.parent(), i.row(), i.row());
        Node* p = node(i.parent());
        p->children.erase(p->children.begin() + i.row());
        endRemoveRows();
    }
    QString name(const QModelIndex& i) const { return i.isValid() ? node(i)->name : QString("(none)"); }

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override {
        const Node* p = node(parent);
        if (column != 0 || row < 0 || row >= static_cast<int>(p->children.size())) return {};
        return createIndex(row, 0, p->children[row].get());
    }
    QModelIndex parent(const QModelIndex& child) const override {
        if (!child.isValid()) return {};
        Node* p = node(child)->parent;
        if (p == &root_) return {};
        return createIndex(p->row(), 0, p);
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return static_cast<int>(node(parent)->children.size());
    }
    int columnCount(const QModelIndex& = QModelIndex()) const override { return 1; }
    QVariant data(const QModelIndex& i, int role) const override {
        return role == Qt::DisplayRole ? QVariant(name(i)) : QVariant();
    }

private:
    Node* node(const QModelIndex& i) const {
        return i.isValid() ? static_cast<Node*>(i.internalPointer()) : const_cast<Node*>(&root_);
    }
    QModelIndex child(const QModelIndex& parent, const QString& name) const {
        for (int r = 0; r < rowCount(parent); ++r)
            if (this->name(index(r, 0, parent)) == name) return index(r, 0, parent);
        return {};
    }

    Node root_;
};

// The tree as the window drives it: a change of selection runs the memory, as the change handler
// does; the user's moves are selections, keys first tell the memory.
class FakeTree : public FolderTreeAccess {
public:
    explicit FakeTree(FakeTreeModel& model, FolderTreeMemory& memory) : model_(model), memory_(memory) {
        selected_ = model.index(0, 0);
    }
    QModelIndex selectedNode() const override { return selected_; }
    void selectNode(const QModelIndex& node) override {
        if (node == selected_) return;
        selected_ = node;
        changes.push_back(model_.name(node).toStdString());
        memory_.selectionChanged(*this);
    }
    void click(const QString& path) { selectNode(model_.find(path)); }
    // A key that moves the selection to path (Right into a folder, Down to the next one).
    void key(int key, const QString& path) {
        memory_.keyDown(key);
        selectNode(model_.find(path));
    }
    std::string selected() const { return model_.name(selected_).toStdString(); }

    std::vector<std::string> changes;

private:
    FakeTreeModel& model_;
    FolderTreeMemory& memory_;
    QPersistentModelIndex selected_;
};

class FolderTreeMemoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* p : {"Music/Jazz", "Music/Rock/Live", "Other/Sub"}) model.add(p);
        memory.reset(model.index(0, 0));
        memory.lastTreeLevel = 0;
    }
    FakeTreeModel model;
    FolderTreeMemory memory;
    FakeTree tree{model, memory};
};

} // namespace

TEST_F(FolderTreeMemoryTest, EnteringAFolderAgainReturnsToTheSubfolderLastUsed) {
    tree.click("Music");
    tree.click("Music/Rock");
    tree.click("Music");
    tree.changes.clear();
    tree.key(Qt::Key_Right, "Music/Jazz");
    EXPECT_EQ(tree.selected(), "Rock");
    // The jump is a change of its own, handled before the first one finishes.
    EXPECT_EQ(tree.changes, (std::vector<std::string>{"Jazz", "Rock"}));
    EXPECT_EQ(memory.lastTreeLevel, 2);

    // With the mouse too.
    tree.click("Music");
    tree.click("Music/Jazz");
    EXPECT_EQ(tree.selected(), "Rock");
}

TEST_F(FolderTreeMemoryTest, UpAndDownNeverJumpUntilAnotherKey) {
    tree.click("Music");
    tree.click("Music/Rock");
    tree.click("Music");
    tree.key(Qt::Key_Down, "Music/Jazz");
    EXPECT_EQ(tree.selected(), "Jazz");
    EXPECT_TRUE(memory.treeKeyFlag);

    // Jazz is now the remembered one; after Up the mouse does not jump either.
    tree.click("Music/Rock");
    tree.key(Qt::Key_Up, "Music");
    tree.click("Music/Jazz");
    EXPECT_EQ(tree.selected(), "Jazz");

    // Any other key ends it.
    tree.click("Music/Rock");
    tree.click("Music");
    tree.key(Qt::Key_Right, "Music/Jazz");
    EXPECT_EQ(tree.selected(), "Rock");
}

TEST_F(FolderTreeMemoryTest, ASubfolderOfAnotherFolderIsNotRemembered) {
    tree.click("Music");
    tree.click("Music/Rock");
    tree.click("Other");
    tree.click("Other/Sub");
    EXPECT_EQ(tree.selected(), "Sub");
    tree.click("Music");
    tree.click("Music/Jazz");
    EXPECT_EQ(tree.selected(), "Jazz");
}

TEST_F(FolderTreeMemoryTest, AFolderThatWentAwayIsForgotten) {
    tree.click("Music");
    tree.click("Music/Rock");
    tree.click("Music");
    model.remove("Music/Rock");
    EXPECT_EQ(memory.levelNodes(2), QModelIndex(memory.treeTopNode));
    tree.click("Music/Jazz");
    EXPECT_EQ(tree.selected(), "Jazz");
}

TEST_F(FolderTreeMemoryTest, FoldersDeeperThanTheMemoryAreNotRemembered) {
    QString deep = "Deep";
    for (int level = 2; level <= 14; ++level) deep += QString("/L%1").arg(level);
    model.add(deep);

    QString at;
    for (const QString& part : deep.split('/')) {
        at += (at.isEmpty() ? "" : "/") + part;
        tree.click(at);
    }
    EXPECT_EQ(memory.lastTreeLevel, 14);
    EXPECT_EQ(memory.levelNodes(14), QModelIndex(memory.treeTopNode));
    EXPECT_EQ(memory.levelNodes(10), model.find("Deep/L2/L3/L4/L5/L6/L7/L8/L9/L10"));

    // Back up to level 9 and down again: level 10 comes back; deeper ones do not jump.
    tree.click("Deep/L2/L3/L4/L5/L6/L7/L8/L9");
    tree.click("Deep/L2/L3/L4/L5/L6/L7/L8/L9/L10");
    tree.click("Deep/L2/L3/L4/L5/L6/L7/L8/L9/L10/L11");
    tree.click("Deep/L2/L3/L4/L5/L6/L7/L8/L9/L10");
    tree.click("Deep/L2/L3/L4/L5/L6/L7/L8/L9/L10/L11");
    EXPECT_EQ(tree.selected(), "L11");
    EXPECT_EQ(memory.levelNodes(-1), QModelIndex(memory.treeTopNode));
}
