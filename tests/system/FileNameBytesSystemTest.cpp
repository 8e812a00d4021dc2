// The real program with file names that are not UTF-8 (Latin-1 names from an old disk): a name on the
// command line plays, the file list lists its neighbours and "alle" takes them with their bytes, and
// a second start hands its name over unchanged.

#include "platform/ByteText.h"
#include "support/Mp3Fixtures.h"
#include "system/DesktopRun.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

QList<QByteArray> textBytesOf(const QStringList& texts) {
    QList<QByteArray> bytes;
    for (const QString& text : texts)
        bytes << textToBytes(text);
    return bytes;
}

TEST(FileNameBytesSystemTest, NamesThatAreNotUtf8PlayFromTheCommandLineTheFileListAndASecondStart) {
    DesktopRun desk;
    if (!desk.missing().isEmpty()) GTEST_SKIP() << desk.missing().toStdString();
    fixtures::TempDir media;
    const QByteArray folder = QByteArray::fromStdString(media.path()) + '/';
    const QByteArray cafe = folder + "caf\xe9.mp3";
    const QByteArray ete = folder + "\xe9t\xe9.mp3";
    const QByteArray handed = folder + "\xfc"
                                       "ber.mp3";
    std::string error;
    for (const QByteArray& path : {cafe, ete, handed})
        ASSERT_TRUE(fixtures::makeMp3(path.toStdString(), {.frequency = 440, .seconds = 20}, {}, &error))
            << error;

    ASSERT_TRUE(desk.start({bytesToText(cafe)}));
    // The song plays, and the tree went to its folder, whose names the file list shows.
    ASSERT_TRUE(desk.waitFor([&](const ProbeState& st) {
        return textBytesOf(st.values(ascii("song"))) == QList<QByteArray>{cafe} &&
               st.value(ascii("fileActive")) == u"1";
    })) << desk.now().dump();
    ASSERT_TRUE(desk.waitFor([&](const ProbeState& st) { return st.values(ascii("file")).size() == 3; }))
        << desk.now().dump();
    EXPECT_EQ(textBytesOf(desk.now().values(ascii("file"))),
              (QList<QByteArray>{"caf\xe9.mp3", "\xe9t\xe9.mp3",
                                 "\xfc"
                                 "ber.mp3"}));

    ASSERT_TRUE(desk.click(DesktopRun::addAllButton));
    EXPECT_TRUE(desk.waitFor([&](const ProbeState& st) {
        return textBytesOf(st.values(ascii("song"))) == QList<QByteArray>{cafe, ete, handed};
    })) << desk.now().dump();

    // An empty list and a paused song: the song handed over starts, so the engine opens its name.
    ASSERT_TRUE(desk.click(DesktopRun::clearButton));
    ASSERT_TRUE(desk.click(DesktopRun::playButton));
    ASSERT_TRUE(desk.waitFor([](const ProbeState& st) {
        return st.values(ascii("song")).isEmpty() && st.value(ascii("fileActive")) == u"3";
    })) << desk.now().dump();
    ProgramRun second(desk.run().runtimeDir(), &desk.x());
    EXPECT_EQ(second.run({bytesToText(handed)}, 10000), 0);
    EXPECT_TRUE(desk.waitFor([&](const ProbeState& st) {
        return textBytesOf(st.values(ascii("song"))) == QList<QByteArray>{handed} &&
               st.value(ascii("fileActive")) == u"1";
    })) << desk.now().dump();
    EXPECT_TRUE(desk.closeWithX());
}

} // namespace
