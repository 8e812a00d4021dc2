#include "radio/StationFile.h"
#include "platform/RuntimeError.h"
#include "radio/StationList.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class StationFileTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath("mp3.snd"); }
    void writeBytes(const QByteArray& bytes) {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readBytes() {
        QFile f(path());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
    QList<Station> read() {
        StationList list;
        readStations(path(), list);
        return list.rows();
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(StationFileTest, PairsOfLinesInFileOrder) {
    writeBytes("A\r\nhttp://a/\r\nB\nhttp://b/\n");
    EXPECT_EQ(read(), (QList<Station>{{"A", "http://a/"}, {"B", "http://b/"}}));
}

TEST_F(StationFileTest, OddLineCountEndsWithEmptyUrl) {
    writeBytes("A\r\nhttp://a/\r\nC\r\n");
    EXPECT_EQ(read(), (QList<Station>{{"A", "http://a/"}, {"C", ""}}));
    writeBytes("A\r\nhttp://a/\r\nC");
    EXPECT_EQ(read(), (QList<Station>{{"A", "http://a/"}, {"C", ""}}));
}

TEST_F(StationFileTest, BlankLinesAndBlanksAreKept) {
    writeBytes("A\r\n\r\nB\r\nU\r\n");
    EXPECT_EQ(read(), (QList<Station>{{"A", ""}, {"B", "U"}}));
    writeBytes("  A \t\r\n  http://a/  \r\n");
    EXPECT_EQ(read(), (QList<Station>{{"  A \t", "  http://a/  "}}));
}

TEST_F(StationFileTest, MissingFileLeavesTheListAsItIs) {
    StationList list;
    list.append({"kept", "http://k/"});
    readStations(path(), list);
    EXPECT_EQ(list.rows(), (QList<Station>{{"kept", "http://k/"}}));
    // Reading appends: nothing already there is lost.
    writeBytes("A\r\nU\r\n");
    readStations(path(), list);
    EXPECT_EQ(list.rows(), (QList<Station>{{"kept", "http://k/"}, {"A", "U"}}));
}

TEST_F(StationFileTest, WritesCrLfLinesAndEmptyListAsEmptyFile) {
    StationList list;
    list.append({"A", "http://a/;x"});
    list.append({"", ""});
    list.append({" B ", "u"});
    writeStations(path(), list);
    EXPECT_EQ(readBytes(), QByteArray("A\r\nhttp://a/;x\r\n\r\n\r\n B \r\nu\r\n"));
    EXPECT_EQ(read(), list.rows());

    writeStations(path(), StationList());
    EXPECT_EQ(readBytes(), QByteArray());
    EXPECT_TRUE(read().isEmpty());
}

TEST_F(StationFileTest, FailedWriteThrowsAndLeavesNoFile) {
    StationList list;
    list.append({"A", "U"});
    const QString inMissingFolder = dir.filePath("missing/mp3.snd");
    try {
        writeStations(inMissingFolder, list);
        FAIL() << "no error";
    } catch (const InOutError& e) {
        EXPECT_EQ(e.message(), "Datei nicht gefunden");
    }
    EXPECT_FALSE(QFile::exists(inMissingFolder));
}

TEST(StationFilePath, IsInTheProgramFolder) {
    EXPECT_EQ(stationFilePath("/opt/p/"), "/opt/p/mp3.snd");
}
