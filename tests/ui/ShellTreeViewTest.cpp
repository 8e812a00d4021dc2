#include "ui/ShellTreeView.h"

#include <QDir>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <string>

namespace {

class ShellTreeViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // Made out of order, shown sorted.
        for (const char* p : {"Music/Rock/Live", "Music/Jazz", "Music/.hidden", "Empty", "Zed"})
            ASSERT_TRUE(QDir(dir.path()).mkpath(p));
        tree.resize(220, 150);
        tree.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    }
    // Selects a folder of the test and waits until the tree has read every folder on its way.
    void go(const QString& relative) {
        ASSERT_TRUE(tree.setPath(dir.filePath(relative)));
        ASSERT_TRUE(tree.waitForLoad(tree.selectedNode()));
    }
    QModelIndex node(const QString& relative) const {
        return tree.fileSystemModel()->index(dir.filePath(relative));
    }
    std::string name(const QModelIndex& i) const { return tree.nodeText(i).toStdString(); }

    QTemporaryDir dir;
    ShellTreeView tree;
};

} // namespace

TEST_F(ShellTreeViewTest, SelectsAFolderByPathAndWalksItAfterItsLoad) {
    QSignalSpy changes(&tree, &ShellTreeView::change);
    go("Music");
    const QModelIndex music = tree.selectedNode();
    EXPECT_EQ(tree.path().toStdString(), dir.filePath("Music").toStdString());
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(nodeLevel(music), dir.path().count('/') + 1);
    EXPECT_EQ(name(tree.fileSystemModel()->index("/")), "/");
    EXPECT_FALSE(tree.setPath(dir.filePath("missing")));
    EXPECT_EQ(tree.selectedNode(), music);

    // Hidden folders are shown, in the order of their names; a closed folder is stepped over.
    tree.expand(music);
    EXPECT_EQ(tree.childCount(music), 3);
    EXPECT_EQ(name(tree.nextNode(music)), ".hidden");
    EXPECT_EQ(name(tree.nextNode(tree.nextNode(music))), "Jazz");
    EXPECT_EQ(name(tree.nextNode(node("Music/Rock"))), "Zed");
    EXPECT_EQ(tree.nextNode(node("Empty")), music);

    EXPECT_TRUE(tree.hasSubfolders(node("Music/Rock")));
    EXPECT_FALSE(tree.hasSubfolders(node("Music/Jazz")));
}

TEST_F(ShellTreeViewTest, TopNodeCanBeReadAndSetAndRightClickSelects) {
    tree.resize(220, 60); // small enough to scroll a node to the top
    go("Music/Rock/Live");
    tree.setTopNode(node("Music"));
    EXPECT_EQ(name(tree.topNode()), "Music");
    const QModelIndex jazz = node("Music/Jazz");
    QTest::mouseClick(tree.viewport(), Qt::RightButton, Qt::NoModifier, tree.nodeTextRect(jazz).center());
    EXPECT_EQ(tree.selectedNode(), jazz);
    const QModelIndex root = tree.fileSystemModel()->index("/");
    tree.setTopNode(root);
    EXPECT_EQ(tree.topNode(), root);
}

// The tree and its memory wired as the window does it.
TEST_F(ShellTreeViewTest, RightReentersTheSubfolderLastUsedAndDownDoesNot) {
    FolderTreeMemory memory;
    memory.reset(tree.fileSystemModel()->index("/"));
    QObject::connect(&tree, &ShellTreeView::change, [&] { memory.selectionChanged(tree); });
    QObject::connect(&tree, &ShellTreeView::keyDown, [&](QKeyEvent* e) { memory.keyDown(e->key()); });

    go("Music");
    go("Music/Rock");
    go("Music");
    QTest::keyClick(&tree, Qt::Key_Right);
    EXPECT_EQ(tree.path().toStdString(), dir.filePath("Music/Rock").toStdString());

    go("Music");
    QTest::keyClick(&tree, Qt::Key_Down);
    EXPECT_EQ(tree.path().toStdString(), dir.filePath("Music/.hidden").toStdString());
}
