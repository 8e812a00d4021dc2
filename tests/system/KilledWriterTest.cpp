// The program's files written by a process that is killed at random moments: mp3.ini, mp3.snd and
// playlists all go through the same writer, so a child process runs that writer in a loop over a large
// file and is SIGKILLed again and again. After each kill the file must be one whole version, and the
// temporaries of cut writes must not pile up. Two writers at once must not take each other's temporaries.

#include "platform/RuntimeError.h"
#include "platform/TextFile.h"
#include "support/PeerProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Two versions of a file of some hundred kilobytes, each line naming its version and number, so a mix of
// the two, or a cut one, can never equal either.
QStringList version(const char* name, int lines) {
    QStringList out;
    out.reserve(lines);
    const QString filler(60, u'x');
    for (int i = 0; i < lines; ++i)
        out << QStringLiteral("%1 %2 %3").arg(QLatin1String(name)).arg(i, 7, 10, QChar(u'0')).arg(filler);
    return out;
}

QByteArray crLfBytesOf(const QStringList& lines) {
    QByteArray data;
    for (const QString& line : lines)
        data += line.toUtf8() + "\r\n";
    return data;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<cannot be read>");
}

// Everything in the folder except the file itself.
QStringList others(const QString& folder, const QString& name) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(name);
    return names;
}

ino_t inodeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

TEST(KilledWriterTest, EveryKillLeavesOneWholeVersionAndNoPileOfTemporaries) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = QStringLiteral("mp3.snd");
    const QString path = dir.filePath(name);
    // About 450 KB each: the kills are timed by one write's duration, so a larger file cuts no
    // more writes, it only makes each one (and each kill, which waits for a running fsync) longer.
    const QStringList older = version("alt", 6000);
    const QStringList newer = version("neu", 6000);
    const QByteArray olderBytes = crLfBytesOf(older);
    const QByteArray newerBytes = crLfBytesOf(newer);
    writeTextLinesAtomic(path, older);
    ASSERT_EQ(readAll(path), olderBytes);

    // Kills come anywhere within three writes' time, so some cut a write and some come after one.
    const auto begun = std::chrono::steady_clock::now();
    writeTextLinesAtomic(path, older);
    const auto oneWrite =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begun);
    std::uniform_int_distribution<long> delay(0, 3 * std::max<long>(oneWrite.count(), 1000));
    std::mt19937 random(20261208);
    constexpr int kills = 50;
    int cutWrites = 0; // kills that left a temporary behind: the kill came during a write
    int changes = 0;   // kills after which the file held the other version than before
    QByteArray last = olderBytes;
    for (int k = 0; k < kills; ++k) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0) << "fork failed";
        if (child == 0) {
            // Only the writer runs here, alternating the versions until killed.
            for (int i = 0;; ++i) {
                try {
                    writeTextLinesAtomic(path, (i + k) % 2 ? older : newer);
                } catch (...) {
                    ::_exit(3);
                }
            }
        }
        if (k % 5 == 4) {
            // Every fifth kill comes only after the writer has renamed a new version into place.
            const ino_t before = inodeOf(path);
            ASSERT_TRUE(waitUntil([&] { return inodeOf(path) != before; }, std::chrono::seconds(30)))
                << "the writer wrote nothing";
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status))
            << "the writer ended by itself (status " << status << ") at kill " << k;

        const QByteArray now = readAll(path);
        ASSERT_TRUE(now == olderBytes || now == newerBytes)
            << "kill " << k << " left a file of " << now.size() << " bytes that is neither version";
        if (now != last) ++changes;
        last = now;
        const QStringList left = others(dir.path(), name);
        // A write removes what the writes before it left, so at most the last cut write's file is there.
        ASSERT_LE(left.size(), 1) << left.join(u' ').toStdString();
        if (!left.isEmpty()) {
            ++cutWrites;
            EXPECT_TRUE(left.first().startsWith(u'.' + name + u'.')) << left.first().toStdString();
        }
    }
    std::cout << "killed writer: one write of " << olderBytes.size() << " bytes took " << oneWrite.count()
              << " us; " << kills << " kills, " << cutWrites << " during a write, " << changes
              << " after a new version\n";

    // The next ordinary write leaves the file alone in its folder.
    writeTextLinesAtomic(path, older);
    EXPECT_EQ(readAll(path), olderBytes);
    EXPECT_TRUE(others(dir.path(), name).isEmpty()) << others(dir.path(), name).join(u' ').toStdString();
}

// Two instances closing together write the same mp3.ini at once: neither write may remove the other's
// temporary while it is being written, or that write's rename fails and its settings are lost.
TEST(KilledWriterTest, TwoWritersAtOnceKeepEachOthersTemporaries) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mp3.ini"));
    const QStringList lines = version("ini", 5000); // about 370 KB: the two loops' writes overlap at any size
    constexpr int writers = 2;
    constexpr int writes = 40;
    pid_t children[writers];
    for (pid_t& child : children) {
        child = ::fork();
        ASSERT_GE(child, 0) << "fork failed";
        if (child == 0) {
            for (int i = 0; i < writes; ++i) {
                try {
                    writeTextLinesAtomic(path, lines);
                } catch (const RuntimeError& e) {
                    std::fprintf(stderr, "write %d failed: %s\n", i, e.what());
                    ::_exit(3);
                }
            }
            ::_exit(0);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        const bool ended = waitUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 120s);
        if (!ended) ::kill(child, SIGKILL);
        ASSERT_TRUE(ended) << "a writer did not end";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "a write failed (status " << status << ")";
    }
    EXPECT_EQ(readAll(path), crLfBytesOf(lines));
    EXPECT_TRUE(others(dir.path(), QStringLiteral("mp3.ini")).isEmpty());
}

// The cleaning touches only the temporaries of the file being written: other hidden files, other
// files' temporaries and names that merely look alike stay.
TEST(KilledWriterTest, OnlyThisFilesTemporariesAreRemoved) {
    QTemporaryDir dir;
    const QStringList keep{QStringLiteral(".mp3.ini.keep"), QStringLiteral(".mp3.snd.Ab12Cd"),
                           QStringLiteral(".mp3.ini.Ab12Cd7"), QStringLiteral("mp3.ini.Ab12Cd"),
                           QStringLiteral(".mp3.ini.Ab-2Cd")};
    for (const QString& n : keep) {
        QFile f(dir.filePath(n));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    {
        QFile f(dir.filePath(QStringLiteral(".mp3.ini.Zz09aB")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("half a file");
    }
    writeTextLinesAtomic(dir.filePath(QStringLiteral("mp3.ini")), {QStringLiteral("eins")});
    QStringList expected = keep;
    expected << QStringLiteral("mp3.ini");
    expected.sort();
    QStringList present = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    present.sort();
    EXPECT_EQ(present, expected);
}

} // namespace
