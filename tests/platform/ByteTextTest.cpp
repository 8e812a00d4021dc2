// Texts and paths that keep their bytes: the codec, the file-system calls on such paths, file URLs.

#include "platform/ByteText.h"
#include "platform/FileSystem.h"
#include "platform/FileUrl.h"
#include "support/QtPrinters.h"
#include "support/SongFiles.h"

#include <gtest/gtest.h>

namespace {

TEST(ByteTextTest, EveryByteStringComesBackUnchangedAndValidUtf8DecodesAsUsual) {
    // Every string of one and two bytes, and sequences that look like UTF-8 but are not: overlong
    // forms, surrogates, code points above U+10FFFF, cut-off sequences, and the UTF-8 form of the
    // private range that stands for kept bytes.
    QList<QByteArray> samples{
        "\xc0\x80",       "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xe2\x82",           "\xee\xbe\x80",
        "\xee\xbf\xbf x", "caf\xe9.mp3",  "\xf0\x9f\x8e\xb5", "a\xc3\xa9\xe9z\x80", "\xe2\x82\xac\xff\xfe"};
    for (int a = 0; a < 256; ++a) {
        samples << QByteArray(1, static_cast<char>(a));
        for (int b = 0; b < 256; ++b)
            samples << QByteArray(1, static_cast<char>(a)) + static_cast<char>(b);
    }
    for (const QByteArray& bytes : samples)
        ASSERT_EQ(textToBytes(bytesToText(bytes)), bytes) << bytes.toHex().constData();

    for (const QByteArray& utf8 : {QByteArray("Stra\xc3\x9f"
                                              "e \xe2\x82\xac \xf0\x9f\x8e\xb5"),
                                   QByteArray("plain")})
        EXPECT_EQ(bytesToText(utf8), QString::fromUtf8(utf8));
    // Qt's case rules leave kept bytes alone, so upper-cased paths still tell files apart.
    EXPECT_NE(bytesToText("caf\xe9").toUpper(), bytesToText("caf\xe8").toUpper());
}

TEST(ByteTextTest, KeptBytesShowAsLatin1) {
    EXPECT_EQ(displayText(bytesToText("Caf\xe9 \xc3\xa9t\xe9")), QString::fromLatin1("Caf\xe9 \xe9t\xe9"));
    EXPECT_EQ(displayText(QStringLiteral("ohne")), QStringLiteral("ohne"));

    const char* argv[] = {"mp3zx", "/m/caf\xe9.mp3", "/m/\xc3\xa9t\xc3\xa9.mp3"};
    const QStringList arguments = argumentTexts(3, argv);
    ASSERT_EQ(arguments.size(), 3);
    EXPECT_EQ(arguments[0], QStringLiteral("mp3zx"));
    EXPECT_EQ(textToBytes(arguments[1]), QByteArray("/m/caf\xe9.mp3"));
    EXPECT_EQ(arguments[2], QString::fromUtf8("/m/\xc3\xa9t\xc3\xa9.mp3"));
}

TEST(ByteTextTest, LinesTheUserLeftKeepTheirBytesTypedLinesAreNew) {
    const QString kept = bytesToText("Caf\xe9 ; http://a");
    const QString utf8 = QString::fromUtf8("Caf\xc3\xa9 ; http://a");
    // Both show as "Café ; http://a": each shown line takes the held line in its place, in order.
    const QStringList held{kept, QStringLiteral("B ; http://b"), utf8};
    const QStringList shown{displayText(kept), QStringLiteral("B ; http://b"), utf8,
                            QString::fromUtf8("Neu \xc3\xbc ; http://n")};
    const QStringList taken = linesFromDisplay(shown, held);
    ASSERT_EQ(taken.size(), 4);
    EXPECT_EQ(textToBytes(taken[0]), QByteArray("Caf\xe9 ; http://a"));
    EXPECT_EQ(textToBytes(taken[2]), QByteArray("Caf\xc3\xa9 ; http://a"));
    EXPECT_EQ(textToBytes(taken[3]), QByteArray("Neu \xc3\xbc ; http://n"));
    // An edited line is typed text, written as UTF-8.
    const QStringList edited = linesFromDisplay({displayText(kept) + u'x'}, held);
    EXPECT_EQ(textToBytes(edited[0]), QByteArray("Caf\xc3\xa9 ; http://ax"));
}

TEST(ByteTextTest, FileSystemCallsAndFileUrlsReachTheNameWithItsBytes) {
    SongFiles files;
    const QString song = files.makeBytes("caf\xe9.mp3");
    const QString folder = files.dir.path();
    EXPECT_TRUE(isFile(song));
    EXPECT_FALSE(isFolder(song));
    EXPECT_TRUE(isFolder(folder));
    EXPECT_FALSE(isFile(bytesToText(textToBytes(folder) + "/caf\xe8.mp3")));
    // The name the system would read only up to the zero character names no file.
    EXPECT_FALSE(pathExists(song + QChar(0) + QStringLiteral(".txt")));
    EXPECT_EQ(canonicalPath(folder + QStringLiteral("/./caf") + QChar(0xEFE9) + QStringLiteral(".mp3")),
              canonicalPath(folder) + QStringLiteral("/caf") + QChar(0xEFE9) + QStringLiteral(".mp3"));
    EXPECT_TRUE(canonicalPath(folder + QStringLiteral("/fehlt")).isEmpty());

    const QString url = fileUrlOfPath(song);
    EXPECT_TRUE(url.endsWith(QStringLiteral("/caf%E9.mp3"))) << url.toStdString();
    EXPECT_EQ(localPathOfUrl(QUrl::fromEncoded(url.toLatin1())), song);
    EXPECT_EQ(localPathOfUrl(QUrl(QStringLiteral("file:///m/%C3%A9 x.mp3"))),
              QString::fromUtf8("/m/\xc3\xa9 x.mp3"));
    EXPECT_TRUE(localPathOfUrl(QUrl(QStringLiteral("http://h/a.mp3"))).isEmpty());

    EXPECT_EQ(removeFile(song), 0);
    EXPECT_FALSE(pathExists(song));
    EXPECT_EQ(removeFile(song), ENOENT);
}

} // namespace
