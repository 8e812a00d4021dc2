#include "ui/FileList.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

class FileListWidgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        FileListModel::setReverseOrder(false);
        // Oldest first: a.mp3 from 2001 ... e.mp3 from 2005.
        int year = 2001;
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"}) {
            QFile f(dir.filePath(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_TRUE(f.setFileTime(QDateTime(QDate(year++, 3, 1), QTime(9, 0)), QFileDevice::FileModificationTime));
        }
        list.resize(217, 150);
        list.files().setDisplayDirectory(false);
        list.files().setViewColumns({fiName, fiModified});
        list.files().setMask("*.mp3");
        list.setColumnWidth(0, 300);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
        list.files().setDirectory(dir.path());
        ASSERT_EQ(list.files().count(), 5);
    }
    void TearDown() override { FileListModel::setReverseOrder(false); }

    Strings shown() const {
        // In the order the rows appear on the screen.
        std::vector<std::pair<int, std::string>> rows;
        for (int i = 0; i < list.files().count(); ++i)
            rows.emplace_back(list.visualRect(list.files().index(i, 0)).top(), list.files().caption(i).toStdString());
        std::sort(rows.begin(), rows.end());
        Strings out;
        for (const auto& r : rows) out.push_back(r.second);
        return out;
    }
    QPoint rowCentre(int i) const { return list.visualRect(list.files().index(i, 0)).center(); }

    QTemporaryDir dir;
    TFileList list;
};

} // namespace

TEST_F(FileListWidgetTest, ShowsOnlyTheNamesOfAReportWithoutHeader) {
    EXPECT_TRUE(list.isHeaderHidden());
    EXPECT_EQ(list.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(list.selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(list.editTriggers(), QAbstractItemView::NoEditTriggers);
    // Name keeps the width set at start-up over a new listing; Size takes no room; Datum is there.
    list.files().refresh();
    EXPECT_EQ(list.columnWidth(0), 300);
    EXPECT_TRUE(list.isColumnHidden(1));
    EXPECT_FALSE(list.isColumnHidden(2));
    EXPECT_EQ(list.columnWidth(2), 70);
    EXPECT_EQ(list.model()->data(list.model()->index(0, 2)).toString().size(), 17);
}

TEST_F(FileListWidgetTest, DatumTwiceReversesAndNameKeepsTheDirection) {
    // The header is hidden, but its click is the same assignment the sort labels make.
    emit list.header()->sectionClicked(2);
    EXPECT_EQ(shown(), (Strings{"e.mp3", "d.mp3", "c.mp3", "b.mp3", "a.mp3"}));
    emit list.header()->sectionClicked(2);
    EXPECT_EQ(shown(), (Strings{"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"}));
    emit list.header()->sectionClicked(0);
    EXPECT_EQ(shown(), (Strings{"e.mp3", "d.mp3", "c.mp3", "b.mp3", "a.mp3"}));
    emit list.header()->sectionClicked(0);
    EXPECT_EQ(shown(), (Strings{"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"}));
}

TEST_F(FileListWidgetTest, SeveralEntriesCanBeSelectedWithTheMouse) {
    QSignalSpy clicks(&list, &TFileList::click);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(1));
    EXPECT_EQ(list.files().selectedIndex(), 1);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(4));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(0));
    EXPECT_EQ(list.files().selCount(), 3);
    EXPECT_EQ(list.files().selectedRows(), (QList<int>{0, 1, 4}));
    EXPECT_EQ(list.files().selectedIndex(), 0);
    EXPECT_TRUE(list.files().isSelected(4));
    EXPECT_FALSE(list.files().isSelected(2));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(1));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ShiftModifier, rowCentre(3));
    EXPECT_EQ(list.files().selectedRows(), (QList<int>{1, 2, 3}));
    EXPECT_EQ(clicks.count(), 5);

    // The frame of the focus mark spans the row; the entries' rectangles follow each other.
    const QRect r1 = list.entryRect(1);
    const QRect r2 = list.entryRect(2);
    EXPECT_EQ(r1.bottom() + 1, r2.top());
    EXPECT_GE(r1.width(), 300);
    EXPECT_TRUE(list.entryRect(5).isNull());
}

TEST_F(FileListWidgetTest, KeysGoToTheWindowFirstAndAcceptedOnesAreConsumed) {
    list.files().select(0);
    std::vector<int> keys;
    QObject::connect(&list, &TFileList::keyDown, &list, [&](QKeyEvent* e) {
        keys.push_back(e->key());
        if (e->key() == Qt::Key_Right) e->accept();
    });
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.files().selectedIndex(), 1);
    QTest::keyClick(&list, Qt::Key_Right);
    EXPECT_EQ(list.files().selectedIndex(), 1);
    EXPECT_EQ(keys, (std::vector<int>{Qt::Key_Down, Qt::Key_Right}));
}

TEST_F(FileListWidgetTest, WaitCursorWhileListing) {
    list.files().setYieldInterval(0);
    Qt::CursorShape during = Qt::ArrowCursor;
    QTimer::singleShot(0, &list, [&] {
        if (const QCursor* c = QGuiApplication::overrideCursor()) during = c->shape();
    });
    list.files().refresh();
    EXPECT_EQ(during, Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
