#include "ui/ShellTreeView.h"

#include <QDir>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <iostream>
#include <string>
#include <thread>
#include <unistd.h>

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

TEST_F(ShellTreeViewTest, ReadsNothingWhileShownUntilAskedThenStartsAtTheRoot) {
    EXPECT_FALSE(tree.topNode().isValid());
    EXPECT_TRUE(tree.path().isEmpty());
    tree.startReading();
    const QModelIndex root = tree.fileSystemModel()->index(QStringLiteral("/"));
    ASSERT_TRUE(tree.waitForLoad(root, 5000));
    EXPECT_EQ(tree.topNode(), root);
    EXPECT_GT(tree.childCount(root), 0);
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

namespace {

// Watches the window's thread from another: when the event loop stops answering for longer than
// giveUp, the process ends with a message, for a thread stuck in a read never comes back. Records the
// longest gap seen.
class StallWatch {
public:
    explicit StallWatch(std::chrono::milliseconds giveUp) : giveUp_(giveUp) {
        QObject::connect(&tick_, &QTimer::timeout, [this] { lastTick_ = now(); });
        tick_.start(20);
        watcher_ = std::thread([this] {
            while (!done_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                const qint64 gap = now() - lastTick_;
                longest_ = std::max<qint64>(longest_, gap);
                if (gap > giveUp_.count()) {
                    std::fprintf(stderr, "the window's thread has not answered for %lld ms\n",
                                 static_cast<long long>(gap));
                    std::_Exit(1);
                }
            }
        });
    }
    ~StallWatch() {
        done_ = true;
        watcher_.join();
    }
    qint64 longestGapMs() const { return longest_; }

private:
    static qint64 now() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    std::chrono::milliseconds giveUp_;
    QTimer tick_;
    std::atomic<qint64> lastTick_{now()};
    std::atomic<qint64> longest_{0};
    std::atomic<bool> done_{false};
    std::thread watcher_;
};

} // namespace

// The tree asks nothing of a file but its name and kind: a type look-up reads a file's first bytes on
// the window's thread, and some files never answer a read (/proc/kmsg, for root).
TEST(ShellTreeViewSystemFoldersTest, ListsProcAndDevWhileTheWindowKeepsAnswering) {
    // A read of /proc/kmsg returns at once while kernel messages wait in it: read them first, without
    // waiting, so that a read of the tree's would block. (dmesg still shows them.)
    const int kmsg = ::open("/proc/kmsg", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (kmsg < 0)
        std::cout << "*** /proc/kmsg cannot be opened (not root): a read of it cannot stall here ***\n";
    char drained[4096];
    while (kmsg >= 0 && ::read(kmsg, drained, sizeof drained) > 0) {
    }
    if (kmsg >= 0) ::close(kmsg);
    ShellTreeView tree;
    tree.resize(220, 150);
    tree.show();
    StallWatch watch(std::chrono::seconds(10));
    for (const char* folder : {"/proc", "/dev"}) {
        ASSERT_TRUE(tree.setPath(QString::fromLatin1(folder)));
        ASSERT_TRUE(tree.waitForLoad(tree.selectedNode())) << folder;
    }
    const QModelIndex proc = tree.fileSystemModel()->index(QStringLiteral("/proc"));
    const QModelIndex dev = tree.fileSystemModel()->index(QStringLiteral("/dev"));
    EXPECT_GT(tree.childCount(proc), 0);
    EXPECT_GT(tree.childCount(dev), 0);
    std::cout << "longest time the window's thread did not answer: " << watch.longestGapMs() << " ms\n";
    EXPECT_LT(watch.longestGapMs(), 2000);
}
