#include "support/FileListing.h"
#include "ui/FileList.h"

#include <QDateTime>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class FileListWidgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        FileListModel::setReverseOrder(false);
        int year = 2001; // a.mp3 oldest ... e.mp3 newest
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"}) {
            QFile f(dir.filePath(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_TRUE(f.setFileTime(QDateTime(QDate(year++, 3, 1), QTime(9, 0)),
                                      QFileDevice::FileModificationTime));
        }
        list.resize(217, 150);
        list.files().setDisplayDirectory(false);
        list.files().setViewColumns({NameColumn, ModifiedColumn});
        list.files().setMask("*.mp3");
        list.setColumnWidth(0, 300);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
        list.files().setDirectory(dir.path());
        ASSERT_TRUE(waitForListing(list.files()));
        ASSERT_EQ(list.files().count(), 5);
    }
    void TearDown() override { FileListModel::setReverseOrder(false); }

    // The captions from the top of the screen down.
    std::string shown() const {
        std::vector<std::pair<int, QString>> rows;
        for (int i = 0; i < list.files().count(); ++i)
            rows.emplace_back(list.visualRect(list.files().index(i, 0)).top(), list.files().caption(i));
        std::sort(rows.begin(), rows.end());
        std::string out;
        for (const auto& r : rows)
            out += r.second.left(1).toStdString();
        return out;
    }
    QPoint rowCentre(int i) const { return list.visualRect(list.files().index(i, 0)).center(); }

    QTemporaryDir dir;
    FileListWidget list;
};

} // namespace

TEST_F(FileListWidgetTest, DatumTwiceReversesAndTheNameColumnKeepsItsWidth) {
    // The header is hidden, but its click is the same assignment the sort labels make.
    emit list.header()->sectionClicked(2);
    EXPECT_EQ(shown(), "edcba");
    emit list.header()->sectionClicked(2);
    EXPECT_EQ(shown(), "abcde");

    list.files().refresh();
    ASSERT_TRUE(waitForListing(list.files()));
    EXPECT_EQ(list.columnWidth(0), 300);
    EXPECT_TRUE(list.isColumnHidden(1));
    EXPECT_FALSE(list.isColumnHidden(2));
}

TEST_F(FileListWidgetTest, SeveralEntriesCanBeSelectedWithTheMouse) {
    QSignalSpy clicks(&list, &FileListWidget::click);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(1));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(4));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(0));
    EXPECT_EQ(list.files().selectedRows(), (QList<int>{0, 1, 4}));
    EXPECT_EQ(list.files().selectedIndex(), 0);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(1));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ShiftModifier, rowCentre(3));
    EXPECT_EQ(list.files().selectedRows(), (QList<int>{1, 2, 3}));
    EXPECT_EQ(clicks.count(), 5);

    const QRect r1 = list.entryRect(1);
    EXPECT_EQ(r1.bottom() + 1, list.entryRect(2).top());
    EXPECT_GE(r1.width(), 300);
}

TEST_F(FileListWidgetTest, KeysGoToTheWindowFirstAndAcceptedOnesAreConsumed) {
    list.files().select(0);
    std::vector<int> keys;
    QObject::connect(&list, &FileListWidget::keyDown, &list, [&](QKeyEvent* e) {
        keys.push_back(e->key());
        if (e->key() == Qt::Key_Right) e->accept();
    });
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Right);
    EXPECT_EQ(list.files().selectedIndex(), 1);
    EXPECT_EQ(keys, (std::vector<int>{Qt::Key_Down, Qt::Key_Right}));
}

TEST_F(FileListWidgetTest, WaitCursorWhileListing) {
    list.files().refresh();
    const QCursor* during = QGuiApplication::overrideCursor();
    EXPECT_EQ(during ? during->shape() : Qt::ArrowCursor, Qt::WaitCursor);
    // A listing replaced by another leaves no wait cursor behind.
    list.files().refresh();
    ASSERT_TRUE(waitForListing(list.files()));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
