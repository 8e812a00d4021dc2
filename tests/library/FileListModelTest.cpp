#include "library/FileListModel.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <sys/fsuid.h>
#include <sys/stat.h>

namespace {

// Sets TZ for one test and restores it afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) old_ = old, hadOld_ = true;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string old_;
    bool hadOld_ = false;
};

// Runs the calling thread's file accesses as an unprivileged user (root passes every permission
// check, so a test of unreadable files needs another user).
class ScopedUnprivileged {
public:
    ScopedUnprivileged() {
        setfsuid(65534);
        active_ = setfsuid(static_cast<uid_t>(-1)) == 65534;
    }
    ~ScopedUnprivileged() { setfsuid(0); }
    bool active() const { return active_; }

private:
    bool active_ = false;
};

void makeFile(const QString& path, const QDateTime& modified = QDateTime(), int size = 0) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(QByteArray(size, 'x'));
    f.flush(); // before the time stamp, which a later write would move
    if (modified.isValid()) {
        ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
    }
}

QDateTime at(int year, int month, int day, int hour = 12, int minute = 0, int second = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

using Strings = std::vector<std::string>;

Strings strings(const QStringList& list) {
    Strings out;
    for (const QString& s : list) out.push_back(s.toStdString());
    return out;
}

Strings captions(const FileListModel& m) {
    Strings list;
    for (int i = 0; i < m.count(); ++i) list.push_back(m.caption(i).toStdString());
    return list;
}

// The file list as the player sets it up.
void setUpAsPlayer(FileListModel& m) {
    m.setDisplayDirectory(false);
    m.setViewColumns({fiName, fiModified});
    m.setMask("*.mp3");
}

class FileListModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        FileListModel::setReverseOrder(false);
    }
    void TearDown() override { FileListModel::setReverseOrder(false); }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
};

} // namespace

TEST(FileDateText, LocalTimeDayMonthYearTwoBlanksHoursMinutes) {
    {
        ScopedTimeZone tz("UTC0");
        EXPECT_EQ(fileDateText(0).toStdString(), "01.01.1970  00:00");
        EXPECT_EQ(fileDateText(1796654100).toStdString(), "07.12.2026  14:35");
    }
    ScopedTimeZone tz("CET-1");
    EXPECT_EQ(fileDateText(1796654100).toStdString(), "07.12.2026  15:35");
}

TEST(FileDateKey, SortsByDateWhateverTheCentury) {
    EXPECT_LT(fileDateKey("31.12.1999  23:59"), fileDateKey("01.01.2001  00:00"));
    EXPECT_LT(fileDateKey("01.01.1980  00:00"), fileDateKey("01.01.2026  00:00"));
    EXPECT_LT(fileDateKey("02.01.2026  10:00"), fileDateKey("01.02.2026  09:00"));
    EXPECT_LT(fileDateKey("01.02.2026  09:59"), fileDateKey("01.02.2026  10:00"));
    // A two-digit year of the 1990s sorts before 2000 and later.
    EXPECT_LT(fileDateKey("31.12.99  23:59"), fileDateKey("01.01.00  00:00"));
    EXPECT_LT(fileDateKey("01.01.00  00:00"), fileDateKey("01.01.89  00:00"));
}

TEST(CompareFileEntries, FoldersFirstThenUpperCasedNamesOrColumnThenNames) {
    const FileListEntry folder{"zeta", {""}, "/", {}};
    const FileListEntry lowerA{"a.mp3", {"1", "01.01.2001  10:00"}, "/", {}};
    const FileListEntry upperB{"B.mp3", {"2", "01.01.2001  10:00"}, "/", {}};
    const FileListEntry old{"c.mp3", {"3", "31.12.1999  10:00"}, "/", {}};
    const FileListEntry shortEntry{"d.mp3", {"4"}, "/", {}};

    // Folders stay on top in both directions and for every column.
    for (bool reverse : {false, true}) {
        EXPECT_LT(compareFileEntries(folder, lowerA, 0, false, reverse), 0);
        EXPECT_GT(compareFileEntries(lowerA, folder, 2, true, reverse), 0);
    }
    EXPECT_LT(compareFileEntries(lowerA, upperB, 0, false, false), 0);
    EXPECT_GT(compareFileEntries(lowerA, upperB, 0, false, true), 0);

    // Dates: newest first when not reversed; the same minute falls back to the names, turned round
    // with the dates.
    EXPECT_LT(compareFileEntries(lowerA, old, 2, true, false), 0);
    EXPECT_GT(compareFileEntries(lowerA, old, 2, true, true), 0);
    EXPECT_GT(compareFileEntries(lowerA, upperB, 2, true, false), 0);
    EXPECT_LT(compareFileEntries(lowerA, upperB, 2, true, true), 0);

    // A text column compares as text, ascending; a missing sub-item counts as empty.
    EXPECT_LT(compareFileEntries(lowerA, upperB, 1, false, false), 0);
    EXPECT_LT(compareFileEntries(shortEntry, lowerA, 2, false, false), 0);
}

TEST_F(FileListModelTest, ListsMatchingFilesSortedByNameIgnoringCase) {
    makeFile(path("b.MP3"));
    makeFile(path("a.mp3"));
    makeFile(path("c.txt"));
    makeFile(path(".d.mp3"));
    makeFile(path("x.mp3.mp3"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.mp3"));

    FileListModel m;
    setUpAsPlayer(m);
    m.setDirectory(dir.path());
    EXPECT_EQ(captions(m), (Strings{"a.mp3", "b.MP3"}));
    EXPECT_EQ(m.Directory().toStdString(), (dir.path() + "/").toStdString());
    EXPECT_EQ(m.entry(0).folder.toStdString(), (dir.path() + "/").toStdString());

    // Hidden files show with ftHidden; folders with DisplayDirectory, on top; ".." only on request.
    m.setFileTypes({ftArchive, ftReadonly, ftHidden});
    EXPECT_EQ(captions(m), (Strings{".d.mp3", "a.mp3", "b.MP3"}));
    m.setDisplayDirectory(true);
    EXPECT_EQ(captions(m), (Strings{"folder.mp3", ".d.mp3", "a.mp3", "b.MP3"}));
    m.setDisplayParentDir(true);
    EXPECT_EQ(captions(m), (Strings{"..", "folder.mp3", ".d.mp3", "a.mp3", "b.MP3"}));
    m.setMask("");
    EXPECT_EQ(m.count(), 7);
}

TEST_F(FileListModelTest, ColumnsAndSubItems) {
    ScopedTimeZone tz("UTC0");
    makeFile(path("a.mp3"), QDateTime::fromSecsSinceEpoch(1796654100), 1234);

    FileListModel m;
    // A new list shows all but the rarer columns.
    ASSERT_EQ(m.columns().size(), 4);
    EXPECT_EQ(m.columns()[2].caption.toStdString(), "Type");
    EXPECT_EQ(m.columns()[3].caption.toStdString(), "Datum");

    setUpAsPlayer(m);
    ASSERT_EQ(m.columns().size(), 3);
    EXPECT_EQ(m.columns()[0].caption.toStdString(), "Name");
    EXPECT_EQ(m.columns()[0].width, 190);
    EXPECT_EQ(m.columns()[1].caption.toStdString(), "Size");
    EXPECT_EQ(m.columns()[1].width, 0);
    EXPECT_EQ(m.columns()[2].caption.toStdString(), "Datum");
    EXPECT_EQ(m.columns()[2].width, 70);
    EXPECT_EQ(m.columnPosition(fiModified), 2);
    EXPECT_EQ(m.columnPosition(fiType), -1);

    m.setDirectory(dir.path());
    ASSERT_EQ(m.count(), 1);
    EXPECT_EQ(strings(m.entry(0).subItems), (Strings{"      1234", "07.12.2026  14:35"}));
    EXPECT_EQ(m.data(m.index(0, 2)).toString().toStdString(), "07.12.2026  14:35");

    m.setViewColumns({fiAll});
    EXPECT_EQ(m.columns().size(), 10);
    EXPECT_EQ(m.columnPosition(fiPath), 9);
    ASSERT_EQ(m.count(), 1);
    EXPECT_EQ(m.entry(0).subItems.size(), 9);
    EXPECT_EQ(m.entry(0).subItems[8].toStdString(), (dir.path() + "/").toStdString());
}

TEST_F(FileListModelTest, SortLabelsToggleDirectionAndShareIt) {
    makeFile(path("a.mp3"), at(2001, 5, 1));
    makeFile(path("b.mp3"), at(1999, 5, 1));
    makeFile(path("c.mp3"), at(2026, 5, 1));
    makeFile(path("d.mp3"), at(2026, 5, 1, 12, 0, 30)); // the same minute as c.mp3

    FileListModel m;
    setUpAsPlayer(m);
    // Start-up: date, then name.
    m.setSortColumn(fiModified);
    m.setSortColumn(fiName);
    m.setDirectory(dir.path());
    EXPECT_EQ(captions(m), (Strings{"a.mp3", "b.mp3", "c.mp3", "d.mp3"}));

    m.setSortColumn(fiModified);
    EXPECT_EQ(captions(m), (Strings{"d.mp3", "c.mp3", "a.mp3", "b.mp3"}));
    m.setSortColumn(fiModified);
    EXPECT_EQ(captions(m), (Strings{"b.mp3", "a.mp3", "c.mp3", "d.mp3"}));
    m.setSortColumn(fiName);
    EXPECT_EQ(captions(m), (Strings{"d.mp3", "c.mp3", "b.mp3", "a.mp3"}));

    // Another list shares the direction.
    FileListModel other;
    setUpAsPlayer(other);
    other.setDirectory(dir.path());
    EXPECT_EQ(captions(other), (Strings{"d.mp3", "c.mp3", "b.mp3", "a.mp3"}));

    m.setSortColumn(fiName);
    EXPECT_EQ(captions(m), (Strings{"a.mp3", "b.mp3", "c.mp3", "d.mp3"}));
    // Columns not shown, and fiAll, change nothing.
    m.setSortColumn(fiType);
    m.setSortColumn(fiAll);
    EXPECT_EQ(m.SortColumn(), fiName);
    EXPECT_FALSE(FileListModel::reverseOrder());
}

TEST_F(FileListModelTest, DirectoryHoldsSortedFoldersAndAlwaysListsAgain) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("one"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("two"));
    makeFile(path("one/x.mp3"));
    makeFile(path("two/y.mp3"));

    FileListModel m;
    setUpAsPlayer(m);
    m.setDirectory(path("two") + ";" + path("one/") + ";" + path("two"));
    EXPECT_EQ(m.Directory().toStdString(), (path("one/") + ";" + path("two/")).toStdString());
    EXPECT_EQ(captions(m), (Strings{"x.mp3", "y.mp3"}));

    makeFile(path("one/w.mp3"));
    m.setDirectory(path("one"));
    EXPECT_EQ(captions(m), (Strings{"w.mp3", "x.mp3"}));
    m.setDirectory("");
    EXPECT_EQ(m.count(), 0);
    EXPECT_EQ(m.Directory().toStdString(), "");
}

TEST_F(FileListModelTest, FolderThatCannotBeReadGivesAnEmptyList) {
    makeFile(path("a.mp3"));
    FileListModel m;
    setUpAsPlayer(m);
    m.setDirectory(dir.path());
    ASSERT_EQ(m.count(), 1);

    m.setDirectory(path("missing"));
    EXPECT_EQ(m.count(), 0);
    m.setDirectory(path("a.mp3"));
    EXPECT_EQ(m.count(), 0);

    ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
    makeFile(path("locked/b.mp3"));
    ASSERT_EQ(::chmod(QFile::encodeName(path("locked")).constData(), 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    {
        ScopedUnprivileged user;
        if (!user.active()) GTEST_SKIP() << "cannot drop privileges; unreadable folder not tested";
        m.setDirectory(path("locked"));
    }
    EXPECT_EQ(m.count(), 0);
    ::chmod(QFile::encodeName(path("locked")).constData(), 0700);
}

TEST_F(FileListModelTest, ReadOnlyFilesNeedFtReadonly) {
    makeFile(path("mine.mp3"));
    makeFile(path("theirs.mp3"));
    ASSERT_EQ(::chmod(QFile::encodeName(path("mine.mp3")).constData(), 0666), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path("theirs.mp3")).constData(), 0644), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);

    FileListModel m;
    setUpAsPlayer(m);
    ScopedUnprivileged user;
    if (!user.active()) GTEST_SKIP() << "cannot drop privileges; read-only files not tested";
    m.setDirectory(dir.path());
    EXPECT_EQ(captions(m), (Strings{"mine.mp3", "theirs.mp3"}));
    m.setFileTypes({ftArchive});
    EXPECT_EQ(captions(m), Strings{"mine.mp3"});
    m.setViewColumns({fiName, fiAttributes});
    m.setFileTypes({ftAll});
    ASSERT_EQ(m.count(), 2);
    EXPECT_EQ(m.entry(1).subItems.value(1).toStdString(), "R");
}

TEST_F(FileListModelTest, ListingStartedMeanwhileReplacesTheRunningOne) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("big"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("small"));
    for (int i = 0; i < 50; ++i) makeFile(path(QString("big/%1.mp3").arg(i, 3, 10, QChar('0'))));
    makeFile(path("small/only.mp3"));

    FileListModel m;
    setUpAsPlayer(m);
    m.setYieldInterval(0);
    int started = 0;
    int finished = 0;
    int countSeenInside = -1;
    QObject::connect(&m, &FileListModel::listingStarted, [&] { ++started; });
    QObject::connect(&m, &FileListModel::listingFinished, [&] { ++finished; });
    // Runs inside the first listing's turn of the event loop, like a click on another folder.
    QTimer::singleShot(0, &m, [&] {
        countSeenInside = m.count();
        m.setDirectory(path("small"));
    });
    m.setDirectory(path("big"));

    EXPECT_EQ(countSeenInside, 0);
    EXPECT_EQ(captions(m), Strings{"only.mp3"});
    EXPECT_EQ(m.Directory().toStdString(), (path("small") + "/").toStdString());
    EXPECT_EQ(started, 2);
    EXPECT_EQ(finished, 2);
    EXPECT_FALSE(m.isListing());
}

TEST_F(FileListModelTest, ModelDestroyedWhileListingStopsCleanly) {
    for (int i = 0; i < 20; ++i) makeFile(path(QString("%1.mp3").arg(i)));
    auto* m = new FileListModel;
    setUpAsPlayer(*m);
    m->setYieldInterval(0);
    QTimer::singleShot(0, [&] { delete m; });
    m->setDirectory(dir.path());
    SUCCEED();
}

TEST_F(FileListModelTest, SelectionFollowsTheSortAndEntriesCanBeFoundAndRemoved) {
    for (const char* name : {"a.mp3", "b.MP3", "c.mp3"}) makeFile(path(name));
    FileListModel m;
    setUpAsPlayer(m);
    m.setDirectory(dir.path());
    EXPECT_EQ(m.selectedIndex(), -1);
    EXPECT_EQ(m.selCount(), 0);

    m.select(0);
    m.selectionModel()->select(m.index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(m.selCount(), 2);
    EXPECT_EQ(m.selectedRows(), (QList<int>{0, 2}));
    m.setSortColumn(fiName); // Z to A: a.mp3 and c.mp3 now at 2 and 0
    EXPECT_EQ(captions(m), (Strings{"c.mp3", "b.MP3", "a.mp3"}));
    EXPECT_EQ(m.selectedRows(), (QList<int>{0, 2}));
    EXPECT_EQ(m.selectedIndex(), 0);
    EXPECT_FALSE(m.isSelected(1));

    EXPECT_EQ(m.findCaption("b.mp3"), 1);
    EXPECT_EQ(m.findCaption("B"), 1);
    EXPECT_EQ(m.findCaption("zz"), -1);
    m.removeEntry(1);
    EXPECT_EQ(captions(m), (Strings{"c.mp3", "a.mp3"}));
    EXPECT_EQ(m.selectedRows(), (QList<int>{0, 1}));
    m.select(-1);
    EXPECT_EQ(m.selCount(), 0);
}
