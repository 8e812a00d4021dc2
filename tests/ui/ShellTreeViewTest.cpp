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
    QModelIndex node(const QString& relative) const { return tree.fileSystemModel()->index(dir.filePath(relative)); }
    std::string name(const QModelIndex& i) const { return tree.nodeText(i).toStdString(); }

    QTemporaryDir dir;
    ShellTreeView tree;
};

} // namespace

TEST_F(ShellTreeViewTest, SelectsAFolderByPathAndWalksItAfterItsLoad) {
    QSignalSpy changes(&tree, &ShellTreeView::change);
    go("Music");
    EXPECT_EQ(tree.path().toStdString(), dir.filePath("Music").toStdString());
    EXPECT_EQ(changes.count(), 1);
    const int level = nodeLevel(tree.selectedNode());
    EXPECT_EQ(level, dir.path().count('/') + 1);
    EXPECT_EQ(nodeLevel(tree.fileSystemModel()->index("/")), 0);
    EXPECT_EQ(tree.nodeText(tree.fileSystemModel()->index("/")).toStdString(), "/");

    // Hidden folders are shown, files are not, and the order is the name's.
    tree.expand(tree.selectedNode());
    const QModelIndex music = tree.selectedNode();
    EXPECT_EQ(tree.childCount(music), 3);
    EXPECT_EQ(name(tree.nextNode(music)), ".hidden");
    EXPECT_EQ(name(tree.nextNode(tree.nextNode(music))), "Jazz");
    // Rock is closed: the walk goes on at the next folder of the nearest ancestor that has one.
    const QModelIndex rock = node("Music/Rock");
    EXPECT_FALSE(tree.isExpanded(rock));
    EXPECT_EQ(name(tree.nextNode(rock)), "Zed");
    EXPECT_EQ(tree.nextNode(node("Empty")), music);

    EXPECT_TRUE(tree.hasSubfolders(music));
    EXPECT_TRUE(tree.hasSubfolders(rock));
    EXPECT_FALSE(tree.hasSubfolders(node("Empty")));
    EXPECT_FALSE(tree.hasSubfolders(node("Music/Jazz")));

    EXPECT_TRUE(tree.nodeTextRect(music).isValid());
    EXPECT_FALSE(tree.setPath(dir.filePath("missing")));
    EXPECT_EQ(tree.selectedNode(), music);
}

TEST_F(ShellTreeViewTest, TopNodeCanBeReadAndSet) {
    tree.resize(220, 60); // so the tree can scroll a node to the top
    go("Music/Rock/Live");
    const QModelIndex music = node("Music");
    tree.setTopNode(music);
    EXPECT_EQ(name(tree.topNode()), "Music");
    const QModelIndex root = tree.fileSystemModel()->index("/");
    tree.setTopNode(root);
    EXPECT_EQ(tree.topNode(), root);
    EXPECT_EQ(tree.nextNode(root), tree.fileSystemModel()->index(0, 0, root));
}

TEST_F(ShellTreeViewTest, RightClickSelects) {
    go("Music");
    tree.expand(tree.selectedNode());
    const QModelIndex jazz = node("Music/Jazz");
    tree.scrollTo(jazz);
    QTest::mouseClick(tree.viewport(), Qt::RightButton, Qt::NoModifier, tree.nodeTextRect(jazz).center());
    EXPECT_EQ(tree.selectedNode(), jazz);
}

// The tree and its memory wired as the window does it.
TEST_F(ShellTreeViewTest, RightReentersTheSubfolderLastUsedAndDownDoesNot) {
    FolderTreeMemory memory;
    memory.reset(tree.fileSystemModel()->index("/"));
    memory.lastTreeLevel = 0;
    QObject::connect(&tree, &ShellTreeView::change, [&] { memory.selectionChanged(tree); });
    QObject::connect(&tree, &ShellTreeView::keyDown, [&](QKeyEvent* e) { memory.keyDown(e->key()); });

    go("Music");
    go("Music/Rock");
    go("Music");
    ASSERT_TRUE(tree.isExpanded(node("Music")));
    QTest::keyClick(&tree, Qt::Key_Right);
    EXPECT_EQ(tree.path().toStdString(), dir.filePath("Music/Rock").toStdString());

    go("Music");
    QTest::keyClick(&tree, Qt::Key_Down);
    EXPECT_EQ(tree.path().toStdString(), dir.filePath("Music/.hidden").toStdString());
}
